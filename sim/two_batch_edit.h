#pragma once
// The edit the fault matrix and the hostile-radio fuzzer both program over the sample
// radio: two channels moved, one key and the volume changed, the working channel switched.
// Up to eight frequency bytes, two tuning bytes, the key and the volume: two batches.

#include "rs_conf.h"

#include <cstdint>

inline void apply_two_batch_edit(RS_CONF &conf, uint8_t &working_channel)
{
    const int32_t moved[] = {146025, 173900};
    for (int i = 0; i < 2; ++i)
        conf.f_prm[i] = conf.f_prd[i] = moved[i];
    conf.koder[5] = conf.koder[5] == 3 ? 4 : 3;
    conf.ur_gromk = conf.ur_gromk == 20 ? 24 : 20;
    working_channel = conf.n_rab_kanala == 5 ? 6 : 5;
}
