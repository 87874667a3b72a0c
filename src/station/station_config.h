#pragma once
// Constants of one physical station: port settings, band table, tuning points.
// Plain fixed-size records, zero-filled by their owner and loaded once at start-up.

#include <cstdint>

struct STATION_BAND {
    uint8_t id;                  // band code; several rows may share one code
    int32_t freq_start;          // kHz, inclusive
    int32_t freq_end;            // kHz, inclusive
    int32_t delta_freq_enc_prm;  // receive offset, encoding
    int32_t delta_freq_dec_prm;  // receive offset, decoding
    int32_t delta_freq_enc_prd;  // transmit offset, encoding
    int32_t delta_freq_dec_prd;  // transmit offset, decoding
    int32_t shag_setki;          // grid step, kHz
};

struct TUN_POINT {
    int32_t Freq;    // kHz
    double U;        // volts, single-precision value
    uint8_t id;      // band code
    uint8_t Adress;  // image address of the radio's own voltage byte; 255 = none
};

constexpr int STATION_MAX_BANDS = 100;
constexpr int STATION_MAX_TUN = 128;

// Stable device names (/dev/serial/by-id/usb-...-if00-port0) run to 80 characters; the
// channel takes any path Linux takes (PATH_MAX less its terminating zero).
constexpr int STATION_PORT_NAME_MAX = 4095;

struct STATION_CONFIG {
    char Com_Port_Name[STATION_PORT_NAME_MAX + 1];
    int32_t Com_Port_BaudRate;
    STATION_BAND bands[STATION_MAX_BANDS];
    int32_t band_count;
    TUN_POINT tun[STATION_MAX_TUN];
    int32_t tun_count;
};
