#pragma once
// What every model operation needs from its caller: the station's band and tuning tables
// and the place its messages go. The window builds one from its own copy of the station
// constants and its message strip; tests build one over a fixture station and a recorder.

#include "messages.h"
#include "station_config.h"

struct ModelContext {
    const STATION_CONFIG *station = nullptr;  // null acts as a station without bands
    Reporter reporter;

    const STATION_CONFIG &config() const;
};
