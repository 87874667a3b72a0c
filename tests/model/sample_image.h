#pragma once
// A realistic radio: factory bytes as a radio carries them and a typical channel plan.
// data/sample.eep and data/sample-band2.eep are these, encoded (tools/make-sample).

#include "image_map.h"
#include "rs_conf.h"

#include <cstring>

// Base image of a radio of band 1 or 2: plausible, non-zero factory data in every kept
// byte, the radio's own tuning voltages at 114..119 (units of 3.15/255 V) and old values in
// the parameter bytes.
inline RS_EEPROM_IMAGE sample_base_image(uint8_t band)
{
    RS_EEPROM_IMAGE img;
    std::memset(&img, 0, sizeof img);
    uint32_t x = 0x4B40u + band;
    for (int a = 0; a < RS_IMAGE_SIZE; ++a) {
        x = x * 1103515245u + 12345u;
        img.bytes[a] = static_cast<uint8_t>((x >> 16) % 254 + 1);
    }
    img.bytes[ADDR_BAND_CODE] = band;
    img.bytes[ADDR_ZAPRET] = 0x05;
    img.bytes[ADDR_MICROPHONE] = 0xA0 | 24;
    img.bytes[ADDR_UR_GROMK] = 0x40 | 20;
    img.bytes[ADDR_N_RAB_KANALA] = 2;
    // 1.75 V, 2.40 V, 2.80 V (band 1) and 1.20 V, 2.00 V, 2.70 V (band 2).
    const uint8_t volts[] = {142, 194, 227, 97, 162, 219};
    std::memcpy(img.bytes + 114, volts, sizeof volts);
    return img;
}

inline RS_CONF sample_conf_band1()
{
    RS_CONF c{};
    c.diapazon_code = 1;
    const int32_t prm[RS_CHANNELS] = {150025, 151500, 152750, 160100, 163425,
                                      168000, 171300, 173975, 146100};
    const int32_t prd[RS_CHANNELS] = {150025, 151500, 156750, 160100, 163425,
                                      168000, 171300, 173975, 146100};
    const uint8_t koder[RS_CHANNELS] = {0, 1, 0, 3, 0, 0, 8, 0, 0};
    const uint8_t ph[RS_CHANNELS] = {1, 1, 2, 3, 0, 4, 5, 1, 2};  // channel R first
    std::memcpy(c.f_prm, prm, sizeof prm);
    std::memcpy(c.f_prd, prd, sizeof prd);
    std::memcpy(c.koder, koder, sizeof koder);
    std::memcpy(c.ph, ph, sizeof ph);
    c.n_rab_kanala = 1;
    c.ctcss_prd = 88.5;
    c.ctcss_prm = 88.5;
    c.vt_prd = 1450;
    c.vt_prm = 1450;
    c.microphone = 24;
    c.ur_gromk = 22;
    c.zapret = 0;
    return c;
}

inline RS_CONF sample_conf_band2()
{
    RS_CONF c{};
    c.diapazon_code = 2;
    const int32_t prm[RS_CHANNELS] = {33500, 35000, 38250, 40000, 41025,
                                      43500, 45000, 47750, 34000};
    const uint8_t koder[RS_CHANNELS] = {0, 0, 2, 0, 0, 5, 0, 0, 0};
    const uint8_t ph[RS_CHANNELS] = {1, 1, 1, 2, 0, 3, 1, 1, 1};
    std::memcpy(c.f_prm, prm, sizeof prm);
    std::memcpy(c.f_prd, prm, sizeof prm);
    std::memcpy(c.koder, koder, sizeof koder);
    std::memcpy(c.ph, ph, sizeof ph);
    c.n_rab_kanala = 3;
    c.ctcss_prd = 94.8;
    c.ctcss_prm = 94.8;
    c.vt_prd = 2100;
    c.vt_prm = 2100;
    c.microphone = 31;
    c.ur_gromk = 20;
    c.zapret = 1;
    return c;
}
