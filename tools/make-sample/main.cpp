// Encodes the sample channel plans over plausible factory images with the model's own
// encoder and writes them as configuration images.
// Usage: k40_make_sample [output directory]   (default: the source tree's data/)

#include "image_codec.h"
#include "sample_image.h"
#include "shipped_station.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

bool write_sample(const std::string &path, uint8_t band, RS_CONF conf)
{
    const STATION_CONFIG st = shipped_station();
    const ModelContext ctx{&st, Reporter()};
    const RS_EEPROM_IMAGE base = sample_base_image(band);
    RS_EEPROM_IMAGE out{};
    if (!encode_image(ctx, conf, base, out, true)) {
        std::fprintf(stderr, "band %d sample does not encode\n", band);
        return false;
    }
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(out.bytes), RS_IMAGE_SIZE);
    f.close();
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string dir = argc > 1 ? argv[1] : K40_SOURCE_DIR "/data";
    const bool ok = write_sample(dir + "/sample.eep", 1, sample_conf_band1())
                    && write_sample(dir + "/sample-band2.eep", 2, sample_conf_band2());
    return ok ? 0 : 1;
}
