#include "crc16.h"

#include <array>

namespace {

constexpr std::array<uint16_t, 256> make_table()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
        table[i] = uint16_t(crc);
    }
    return table;
}

constexpr std::array<uint16_t, 256> crc_table = make_table();

}  // namespace

uint16_t crc16_arc(uint16_t initial, const void *data, size_t length)
{
    const auto *p = static_cast<const unsigned char *>(data);
    unsigned crc = initial;
    for (size_t i = 0; i < length; ++i)
        crc = (crc >> 8) ^ crc_table[(crc ^ p[i]) & 0xFFu];
    return uint16_t(crc);
}
