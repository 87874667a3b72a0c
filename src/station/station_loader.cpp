#include "station_loader.h"

#include "crc16.h"
#include "key_value_file.h"
#include "markup.h"
#include "utils.h"

#include <cmath>
#include <cstring>
#include <vector>

const char *const STATION_DEFAULT_TUN_TEXT = "\n"
                                             "<POINT Freq=\"148000\" U=\"1.75\" />\n"
                                             "<POINT Freq=\"161000\" U=\"2.4\" />\n"
                                             "<POINT Freq=\"173000\" U=\"2.8\" />\n";

namespace {

using Values = std::vector<std::string>;

// Attribute lists of every top-level element of one name, one list per attribute.
std::vector<Values> select_lists(const std::string &text, const char *element,
                                 const std::vector<const char *> &attributes)
{
    MARKUP_DOC doc;
    doc.set_text(text);
    doc.parse();
    std::vector<Values> lists(attributes.size());
    const std::string path = std::string("/") + element;
    for (size_t i = 0; i < attributes.size(); ++i)
        doc.select_attribute_values(path, attributes[i], lists[i]);
    return lists;
}

// i-th value of a list; a value past its end reads as missing.
const std::string &at(const Values &list, size_t i)
{
    static const std::string missing;
    return i < list.size() ? list[i] : missing;
}

int32_t int_at(const Values &list, size_t i) { return str_to_int(at(list, i)); }

uint8_t low_byte_at(const Values &list, size_t i)
{
    return uint8_t(uint32_t(str_to_int(at(list, i))) & 0xFFu);
}

// Loads a key/value file, writing the template pairs first when it holds none.
KEY_VALUE_FILE open_or_template(const std::string &path,
                                const std::vector<std::pair<const char *, std::string>> &tmpl)
{
    KEY_VALUE_FILE file(path);
    if (file.pair_count() == 0) {
        for (const auto &p : tmpl)
            file.kv_set(p.first, p.second);
        file.kv_save();
        file.kv_load();
    }
    return file;
}

}  // namespace

uint16_t station_conf_checksum(const std::string &band_text, const std::string &tun_text)
{
    return crc16_arc(crc16_arc(0, band_text), tun_text);
}

StationLoadResult read_station_conf_from_file(STATION_CONFIG *conf, const std::string &dir)
{
    if (!conf)
        return StationLoadResult::Loaded;
    const std::string base = dir.empty() ? std::string(".") : dir;

    KEY_VALUE_FILE station = open_or_template(
        base + "/" + STATION_CONF_FILE_NAME,
        {{"DIAPAZON_FREQ", std::string()}, {"TUN", STATION_DEFAULT_TUN_TEXT}});
    std::string band_text, tun_text;
    station.kv_get("DIAPAZON_FREQ", band_text);
    station.kv_get("TUN", tun_text);
    if (station_conf_checksum(band_text, tun_text) != STATION_CONF_SEAL)
        return StationLoadResult::ExitSilently;

    KEY_VALUE_FILE port = open_or_template(
        base + "/" + STATION_PORT_FILE_NAME,
        {{"Com_Port_Name", "COM1"}, {"Com_Port_BaudRate", "9600"}});
    std::string port_name, baud_text;
    port.kv_get("Com_Port_Name", port_name);
    port.kv_get("Com_Port_BaudRate", baud_text);

    return station_conf_from_texts(conf, band_text, tun_text, port_name, baud_text);
}

StationFileCheck read_station_files(STATION_CONFIG *conf, const std::string &conf_path,
                                    const std::string &port_path)
{
    if (!conf)
        return StationFileCheck::Loaded;
    KEY_VALUE_FILE station(conf_path);
    if (station.pair_count() == 0)
        return StationFileCheck::Missing;
    std::string band_text, tun_text;
    station.kv_get("DIAPAZON_FREQ", band_text);
    station.kv_get("TUN", tun_text);
    if (station_conf_checksum(band_text, tun_text) != STATION_CONF_SEAL)
        return StationFileCheck::Unsealed;
    KEY_VALUE_FILE port(port_path);
    std::string port_name, baud_text;
    port.kv_get("Com_Port_Name", port_name);
    port.kv_get("Com_Port_BaudRate", baud_text);
    return station_conf_from_texts(conf, band_text, tun_text, port_name, baud_text)
                   == StationLoadResult::Loaded
               ? StationFileCheck::Loaded
               : StationFileCheck::Unusable;
}

StationLoadResult station_conf_from_texts(STATION_CONFIG *conf, const std::string &band_text,
                                          const std::string &tun_text, const std::string &port_name,
                                          const std::string &baud_text)
{
    if (!conf)
        return StationLoadResult::Loaded;

    const std::vector<Values> tun = select_lists(tun_text, "POINT", {"Freq", "U", "id", "Adress"});

    conf->Com_Port_BaudRate = str_to_int(baud_text);
    std::memset(conf->Com_Port_Name, 0, sizeof conf->Com_Port_Name);
    if (port_name.size() < sizeof conf->Com_Port_Name)
        std::memcpy(conf->Com_Port_Name, port_name.data(), port_name.size());

    const Values &adress = tun[3];
    if (adress.empty() || adress.size() > size_t(STATION_MAX_TUN))
        return StationLoadResult::ExitSilently;
    conf->tun_count = int32_t(adress.size());
    for (size_t i = 0; i < adress.size(); ++i) {
        TUN_POINT &p = conf->tun[i];
        p.Freq = int_at(tun[0], i);
        p.U = str_to_float(at(tun[1], i));
        if (!std::isfinite(p.U))
            p.U = 0.0;  // "nan" or "inf" is no voltage; later arithmetic must not see it
        p.id = low_byte_at(tun[2], i);
        p.Adress = low_byte_at(adress, i);
        if (p.Adress > 152)
            p.Adress = 255;
    }

    std::memset(conf->bands, 0, sizeof conf->bands);
    conf->band_count = 0;
    const std::vector<Values> bands = select_lists(
        band_text, "DIAPAZON",
        {"id", "freq_start", "freq_end", "delta_freq_enc_prm", "delta_freq_dec_prm",
         "delta_freq_enc_prd", "delta_freq_dec_prd", "shag_setki"});
    const Values &shag = bands[7];
    if (shag.empty())
        return StationLoadResult::ExitSilently;
    if (shag.size() > size_t(STATION_MAX_BANDS))
        return StationLoadResult::Loaded;
    for (size_t i = 0; i < shag.size(); ++i) {
        STATION_BAND b{};
        b.id = low_byte_at(bands[0], i);
        b.freq_start = int_at(bands[1], i);
        b.freq_end = int_at(bands[2], i);
        b.delta_freq_enc_prm = int_at(bands[3], i);
        b.delta_freq_dec_prm = int_at(bands[4], i);
        b.delta_freq_enc_prd = int_at(bands[5], i);
        b.delta_freq_dec_prd = int_at(bands[6], i);
        b.shag_setki = int_at(shag, i);
        if (b.shag_setki <= 0)
            continue;  // the grid step divides every frequency
        conf->bands[conf->band_count++] = b;
    }
    return StationLoadResult::Loaded;
}
