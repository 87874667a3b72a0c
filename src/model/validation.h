#pragma once
// The checks that keep settings the radio cannot use away from it.

#include "model_context.h"
#include "rs_conf.h"

#include <cstdint>

// Frequencies (kHz) refused while the forbidden-frequency flag is on.
constexpr int32_t FORBIDDEN_FREQUENCIES[] = {148600, 148625, 148650, 148675,
                                             148700, 171225, 171250, 171275};

// flags has the layout of image address 28: bit 7 is the forbidden-frequency flag.
bool is_allowed_frequency(uint8_t flags, int32_t f);

// True when f lies in a row of the band, on that row's grid, and is allowed; otherwise posts
// one message and returns false.
bool check_frequency(const ModelContext &ctx, uint8_t flags, int32_t f, uint8_t band);

// True when it found an error (after posting one message); false when conf may be encoded.
bool check_conf_before_encode(const ModelContext &ctx, const RS_CONF &conf, uint8_t flags);

// True when every member is acceptable; sets each rejected member to 0. Posts a message per
// rejected frequency only.
bool validate_conf(const ModelContext &ctx, RS_CONF &conf);

// True when band 1 or 2 has at least two tuning points; reports when it has not. Other band
// codes give false silently.
bool check_tun_points(const ModelContext &ctx, uint8_t band);
