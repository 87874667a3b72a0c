#include "station_seal.h"

#include "crc16.h"
#include "key_value_file.h"
#include "station_loader.h"
#include "utils.h"

namespace {

const std::string seal_open = "<!-- seal ";
const std::string seal_close = " -->";
// Letters and digits only: nothing that URL decoding or the markup scanner would touch.
const std::string seal_alphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

uint16_t checksum_of(const std::string &text)
{
    KEY_VALUE_FILE kv;
    kv.kv_parse(text);
    std::string band, tun;
    kv.kv_get("DIAPAZON_FREQ", band);
    kv.kv_get("TUN", tun);
    return station_conf_checksum(band, tun);
}

std::string decoded(std::string raw)
{
    url_decode(raw);
    return raw;
}

}  // namespace

bool station_text_is_sealed(const std::string &text, unsigned &checksum)
{
    checksum = checksum_of(text);
    return checksum == STATION_CONF_SEAL;
}

bool station_seal_text(const std::string &text, std::string &sealed, std::string &word,
                       std::string &error)
{
    size_t vb = 0, ve = 0;
    if (!kv_find_raw_value(text, "TUN", vb, ve)) {
        error = "no [TUN]= [...] pair in the file";
        return false;
    }
    KEY_VALUE_FILE kv;
    kv.kv_parse(text);
    std::string band;
    kv.kv_get("DIAPAZON_FREQ", band);

    // The old seal comment, if the value ends with one; otherwise a new one goes before
    // the value's trailing blanks and line feeds.
    const std::string raw = text.substr(vb, ve - vb);
    size_t end = raw.size();
    while (end > 0 && static_cast<unsigned char>(raw[end - 1]) <= 0x20)
        --end;
    size_t cut_begin = end, cut_end = end;
    std::string lead = "\n";
    const size_t old = raw.rfind(seal_open);
    if (old != std::string::npos && end >= seal_close.size()
        && raw.compare(end - seal_close.size(), seal_close.size(), seal_close) == 0
        && end - seal_close.size() >= old + seal_open.size()) {
        cut_begin = old;
        lead.clear();
    }
    const std::string prefix = raw.substr(0, cut_begin) + lead + seal_open;
    const std::string suffix = seal_close + raw.substr(cut_end);

    const uint16_t base = crc16_arc(crc16_arc(0, band), decoded(prefix));
    const std::string tail = decoded(suffix);
    const size_t n = seal_alphabet.size();
    std::string w(4, ' ');
    for (size_t i = 0; i < n * n * n * n; ++i) {
        size_t k = i;
        for (char &c : w) {
            c = seal_alphabet[k % n];
            k /= n;
        }
        if (crc16_arc(crc16_arc(base, w), tail) != STATION_CONF_SEAL)
            continue;
        std::string candidate = text.substr(0, vb) + prefix + w + suffix + text.substr(ve);
        if (checksum_of(candidate) != STATION_CONF_SEAL)
            break;  // a "%" escape next to the comment changed the decoded text
        sealed = candidate;
        word = w;
        return true;
    }
    error = "no seal word found (check the characters around the end of the TUN value)";
    return false;
}
