// The form round trip runs on the GUI thread: one decode and one encode must stay well under
// a millisecond, although the tone decodings scan every candidate tone.

#include "image_codec.h"
#include "sample_image.h"
#include "shipped_station.h"

#include <benchmark/benchmark.h>

namespace {

const STATION_CONFIG station = shipped_station();

void decode_sample(benchmark::State &state)
{
    const ModelContext ctx{&station, Reporter()};
    RS_EEPROM_IMAGE img{};
    RS_CONF conf = sample_conf_band1();
    encode_image(ctx, conf, sample_base_image(1), img, true);
    for (auto _ : state) {
        benchmark::DoNotOptimize(decode_image(ctx, img, conf));
        benchmark::ClobberMemory();
    }
}

void encode_sample(benchmark::State &state)
{
    const ModelContext ctx{&station, Reporter()};
    const RS_EEPROM_IMAGE base = sample_base_image(1);
    RS_EEPROM_IMAGE out{};
    for (auto _ : state) {
        RS_CONF conf = sample_conf_band1();
        benchmark::DoNotOptimize(encode_image(ctx, conf, base, out, true));
        benchmark::ClobberMemory();
    }
}

// The whole round trip the form does after every read: encode, then decode.
void round_trip(benchmark::State &state)
{
    const ModelContext ctx{&station, Reporter()};
    const RS_EEPROM_IMAGE base = sample_base_image(1);
    RS_EEPROM_IMAGE out{};
    for (auto _ : state) {
        RS_CONF conf = sample_conf_band1();
        encode_image(ctx, conf, base, out, true);
        benchmark::DoNotOptimize(decode_image(ctx, out, conf));
    }
}

}  // namespace

BENCHMARK(decode_sample)->Unit(benchmark::kMicrosecond);
BENCHMARK(encode_sample)->Unit(benchmark::kMicrosecond);
BENCHMARK(round_trip)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
