#pragma once
// The band rows of the station the program ships with.

#include "station_config.h"

inline const STATION_BAND k_shipped_bands[4] = {
    {1, 146000, 159975, -21400, 21400, 0, 0, 25},
    {1, 160000, 174000, -21400, 21400, 0, 0, 25},
    {2, 33000, 40975, -10700, 10700, 0, 0, 25},
    {2, 41000, 48500, -10700, 10700, 0, 0, 25},
};
