#include "model_context.h"

const STATION_CONFIG &ModelContext::config() const
{
    static const STATION_CONFIG empty{};
    return station ? *station : empty;
}
