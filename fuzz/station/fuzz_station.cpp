// Key/value parser and station loading on arbitrary bytes: the input is parsed as a
// key/value text, its band, tuning and port values are loaded past the checksum gate, and
// the input is also loaded as a station file from a private temporary directory.

#include "key_value_file.h"
#include "station_loader.h"
#include "utils.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

void require(bool ok)
{
    if (!ok)
        __builtin_trap();
}

void check_conf(const STATION_CONFIG &conf, StationLoadResult verdict)
{
    require(conf.Com_Port_Name[sizeof conf.Com_Port_Name - 1] == '\0');
    if (verdict != StationLoadResult::Loaded)
        return;
    require(conf.tun_count >= 1 && conf.tun_count <= STATION_MAX_TUN);
    require(conf.band_count >= 0 && conf.band_count <= STATION_MAX_BANDS);
    for (int i = 0; i < conf.band_count; ++i)
        require(conf.bands[i].shag_setki > 0);
    for (int i = 0; i < conf.tun_count; ++i) {
        require(conf.tun[i].Adress <= 152 || conf.tun[i].Adress == 255);
        require(std::isfinite(conf.tun[i].U));
    }
}

const std::string &temp_dir()
{
    static std::string dir;
    if (dir.empty()) {
        // Memory-backed when possible: every run writes and reads the station files.
        const bool shm = access("/dev/shm", W_OK) == 0;
        std::string tmpl = std::string(shm ? "/dev/shm" : "/tmp") + "/k40-fuzz-station-XXXXXX";
        const char *made = mkdtemp(&tmpl[0]);
        require(made != nullptr);
        dir = made;
        std::atexit([] {
            std::remove((dir + "/" + STATION_CONF_FILE_NAME).c_str());
            std::remove((dir + "/" + STATION_PORT_FILE_NAME).c_str());
            std::remove(dir.c_str());
        });
    }
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);

    KEY_VALUE_FILE kv;
    kv.kv_parse(text);
    std::string band, tun, port, baud, none;
    kv.kv_get("DIAPAZON_FREQ", band);
    kv.kv_get("TUN", tun);
    kv.kv_get("Com_Port_Name", port);
    kv.kv_get("Com_Port_BaudRate", baud);
    require(!kv.kv_get("", none) && none.empty());

    STATION_CONFIG conf;
    std::memset(&conf, 0, sizeof conf);
    check_conf(conf, station_conf_from_texts(&conf, band, tun, port, baud));

    const std::string &dir = temp_dir();
    write_string_to_file(text, dir + "/" + STATION_CONF_FILE_NAME);
    std::memset(&conf, 0, sizeof conf);
    check_conf(conf, read_station_conf_from_file(&conf, dir));
    return 0;
}
