#pragma once
// CRC-16/ARC: reflected polynomial 0x8005, no final XOR. Start with 0; pass the running
// value back in to continue over a further buffer.

#include <cstddef>
#include <cstdint>
#include <string>

uint16_t crc16_arc(uint16_t initial, const void *data, size_t length);

inline uint16_t crc16_arc(uint16_t initial, const std::string &bytes)
{
    return crc16_arc(initial, bytes.data(), bytes.size());
}
