#pragma once
// The station constants of the shipped data/torvel.configuration.K40, built in code so that
// model tests do not depend on the loader; one test compares the two.

#include "station_config.h"

#include <cstring>

inline void add_band(STATION_CONFIG &st, uint8_t id, int32_t start, int32_t end, int32_t enc_prm,
                     int32_t dec_prm, int32_t enc_prd, int32_t dec_prd, int32_t shag)
{
    st.bands[st.band_count++] = {id, start, end, enc_prm, dec_prm, enc_prd, dec_prd, shag};
}

inline void add_tun(STATION_CONFIG &st, int32_t freq, float u, uint8_t id, uint8_t adress)
{
    st.tun[st.tun_count++] = {freq, static_cast<double>(u), id, adress};
}

inline STATION_CONFIG shipped_station()
{
    STATION_CONFIG st;
    std::memset(&st, 0, sizeof st);
    add_band(st, 1, 146000, 159975, -21400, 21400, 0, 0, 25);
    add_band(st, 1, 160000, 174000, -21400, 21400, 0, 0, 25);
    add_band(st, 2, 33000, 40975, -10700, 10700, 0, 0, 25);
    add_band(st, 2, 41000, 48500, -10700, 10700, 0, 0, 25);
    add_tun(st, 146000, 1.75f, 1, 114);
    add_tun(st, 160000, 2.4f, 1, 115);
    add_tun(st, 174000, 2.8f, 1, 116);
    add_tun(st, 33000, 1.2f, 2, 117);
    add_tun(st, 40000, 2.0f, 2, 118);
    add_tun(st, 48500, 2.7f, 2, 119);
    return st;
}
