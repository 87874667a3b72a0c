#pragma once
// What each of the 153 EEPROM addresses holds. One table serves the encoder (which writes
// only the bits a field owns), the decoder, the tests and the programming link (which never
// writes the factory addresses).
//
//   0..1  rx code R    2 kept     3+3k..4+3k rx code ch k+1   5+3k kept      (k = 0..7)
//   27    kept         28 bit 7 zapret, bits 0..6 kept       29 band code (never written)
//   30..32 kept        33..34 tx code R   35 kept   36+3k..37+3k tx code ch k+1  38+3k kept
//   60    working channel               61..70 kept    71 bits 0..4 microphone, 5..7 kept
//   72..73 kept   74..75 call tone tx code   76..77 call tone rx timer   78 rx window count
//   79..80 CTCSS tx code   81..82 CTCSS rx code   83 squelch R   84..91 squelch ch 1..8
//   92..95 kept   96 key R   97..104 key ch 1..8   105 tuning R   106..113 tuning ch 1..8
//   114..129 kept (the radio's own tuning voltages live here)
//   130 bits 0..4 volume, 5..7 kept   131..152 kept
//
// Channel slots follow the image: slot 0 is channel R, slots 1..8 are channels 1..8.

#include "rs_conf.h"

#include <array>
#include <cstdint>

enum class ImageField : uint8_t {
    kept,       // factory data: never decoded, copied from the base
    band_code,  // read by the decoder, never written
    zapret,     // bit 7 of 28
    f_prm,      // synthesizer code, high byte first
    f_prd,
    n_rab_kanala,
    microphone,     // bits 0..4 of 71
    vt_prd,         // call tone transmit code
    vt_prm_timer,   // call tone receive timer value
    vt_prm_window,  // call tone receive window count (written only)
    ctcss_prd,
    ctcss_prm,
    ph,        // squelch code byte
    koder,     // scrambler key byte
    tuning,    // tuning voltage byte
    ur_gromk,  // bits 0..4 of 130
};

struct ImageAddress {
    ImageField field = ImageField::kept;
    int8_t slot = -1;          // channel slot (0 = R) for per-channel fields, else -1
    uint8_t part = 0;          // byte of a 16-bit value: 0 high, 1 low
    uint8_t kept_mask = 0xFF;  // bits copied unchanged from the base image
    bool programmable = true;  // programming may write this address to the radio
};

// Addresses of the per-channel fields by slot (0 = R, 1..8 = channels 1..8).
constexpr int addr_f_prm(int slot) { return 3 * slot; }
constexpr int addr_f_prd(int slot) { return 33 + 3 * slot; }
constexpr int addr_ph(int slot) { return 83 + slot; }
constexpr int addr_koder(int slot) { return 96 + slot; }
constexpr int addr_tuning(int slot) { return 105 + slot; }

constexpr int ADDR_ZAPRET = 28;
constexpr int ADDR_BAND_CODE = 29;
constexpr int ADDR_N_RAB_KANALA = 60;
constexpr int ADDR_MICROPHONE = 71;
constexpr int ADDR_VT_PRD = 74;
constexpr int ADDR_VT_PRM_TIMER = 76;
constexpr int ADDR_VT_PRM_WINDOW = 78;
constexpr int ADDR_CTCSS_PRD = 79;
constexpr int ADDR_CTCSS_PRM = 81;
constexpr int ADDR_UR_GROMK = 130;

constexpr uint8_t ZAPRET_BIT = 0x80;
constexpr uint8_t KODER_ON_BIT = 0x80;  // a scrambler key byte holds a key only with this bit
constexpr uint8_t LEVEL_BITS = 0x1F;    // microphone and volume share the low five bits

// Index of an image slot in the f_prm, f_prd and koder arrays of RS_CONF (ph uses the slot).
constexpr int conf_index_of_slot(int slot) { return slot == 0 ? RS_CHANNEL_R : slot - 1; }

// Factory addresses the programming link must never write, even where the encoder owns bits.
constexpr int IMAGE_FACTORY_ADDRESSES[] = {2,   5,   8,   11,  14,  17,  20,  23,  26,
                                           28,  29,  72,  92,  93,  114, 115, 116, 117,
                                           118, 119, 120, 129, 135, 136, 151, 152};

namespace image_map_detail {

constexpr void set(std::array<ImageAddress, RS_IMAGE_SIZE> &m, int addr, ImageField f,
                   int slot = -1, int part = 0, uint8_t kept = 0x00)
{
    m[addr].field = f;
    m[addr].slot = static_cast<int8_t>(slot);
    m[addr].part = static_cast<uint8_t>(part);
    m[addr].kept_mask = kept;
}

constexpr void set16(std::array<ImageAddress, RS_IMAGE_SIZE> &m, int addr, ImageField f,
                     int slot = -1)
{
    set(m, addr, f, slot, 0);
    set(m, addr + 1, f, slot, 1);
}

constexpr std::array<ImageAddress, RS_IMAGE_SIZE> build()
{
    std::array<ImageAddress, RS_IMAGE_SIZE> m{};
    for (int slot = 0; slot < RS_CHANNELS; ++slot) {
        set16(m, addr_f_prm(slot), ImageField::f_prm, slot);
        set16(m, addr_f_prd(slot), ImageField::f_prd, slot);
        set(m, addr_ph(slot), ImageField::ph, slot);
        set(m, addr_koder(slot), ImageField::koder, slot);
        set(m, addr_tuning(slot), ImageField::tuning, slot);
    }
    set(m, ADDR_ZAPRET, ImageField::zapret, -1, 0, static_cast<uint8_t>(~ZAPRET_BIT));
    set(m, ADDR_BAND_CODE, ImageField::band_code, -1, 0, 0xFF);
    set(m, ADDR_N_RAB_KANALA, ImageField::n_rab_kanala);
    set(m, ADDR_MICROPHONE, ImageField::microphone, -1, 0, static_cast<uint8_t>(~LEVEL_BITS));
    set16(m, ADDR_VT_PRD, ImageField::vt_prd);
    set16(m, ADDR_VT_PRM_TIMER, ImageField::vt_prm_timer);
    set(m, ADDR_VT_PRM_WINDOW, ImageField::vt_prm_window);
    set16(m, ADDR_CTCSS_PRD, ImageField::ctcss_prd);
    set16(m, ADDR_CTCSS_PRM, ImageField::ctcss_prm);
    set(m, ADDR_UR_GROMK, ImageField::ur_gromk, -1, 0, static_cast<uint8_t>(~LEVEL_BITS));
    for (int a : IMAGE_FACTORY_ADDRESSES)
        m[a].programmable = false;
    return m;
}

}  // namespace image_map_detail

inline constexpr std::array<ImageAddress, RS_IMAGE_SIZE> IMAGE_MAP = image_map_detail::build();

constexpr bool image_address_valid(int addr) { return addr >= 0 && addr < RS_IMAGE_SIZE; }

// Bits of addr the encoder leaves as the base has them; 0xFF outside the image.
constexpr uint8_t image_kept_mask(int addr)
{
    return image_address_valid(addr) ? IMAGE_MAP[addr].kept_mask : 0xFF;
}

// True for addresses 0..152 outside the factory list.
constexpr bool image_address_programmable(int addr)
{
    return image_address_valid(addr) && IMAGE_MAP[addr].programmable;
}
