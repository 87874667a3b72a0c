#pragma once
// The decoded, editable configuration of one radio, and its raw EEPROM image.

#include <cstdint>

// Per-channel arrays hold channels 1..8 at 0..7 and channel R at 8,
// except `ph`, which holds channel R at 0 and channels 1..8 at 1..8.
constexpr int RS_CHANNELS = 9;
constexpr int RS_CHANNEL_R = 8;     // index of channel R in f_prd, f_prm, koder
constexpr int RS_PH_CHANNEL_R = 0;  // index of channel R in ph

struct RS_CONF {
    uint8_t diapazon_code;
    int32_t f_prd[RS_CHANNELS];  // kHz, 0 = not set
    int32_t f_prm[RS_CHANNELS];  // kHz, 0 = not set
    uint8_t n_rab_kanala;        // 1..8
    uint8_t koder[RS_CHANNELS];  // 0 = off, 1..8 = key
    uint8_t ph[RS_CHANNELS];     // squelch level 0..5
    double ctcss_prd;            // Hz, 65.0..260.0
    double ctcss_prm;            // Hz, 65.0..260.0
    uint8_t microphone;          // 24 or 31
    double vt_prd;               // Hz, 350..2150
    double vt_prm;               // Hz, 350..2150
    uint8_t ur_gromk;            // 18..26
    uint8_t zapret;              // 0 or 1
};

// The radio's configuration: 153 bytes at addresses 0..152 of a zero-filled 1024-byte buffer.
constexpr int RS_IMAGE_SIZE = 153;
constexpr int RS_IMAGE_BUFFER_SIZE = 1024;

struct RS_EEPROM_IMAGE {
    uint8_t bytes[RS_IMAGE_BUFFER_SIZE];
};
