#pragma once
// Sealing of an edited station file: the program refuses a station file whose DIAPAZON_FREQ
// and TUN texts do not hash to STATION_CONF_SEAL. Sealing rewrites one markup comment,
// "<!-- seal XXXX -->", at the end of the TUN value (adding it when there is none) so that
// the file passes; the comment is not an element and changes no band or tuning point.

#include <string>

// text: the whole station file with LF line ends. On success `sealed` is the new text and
// `word` the chosen seal word; otherwise `error` says why.
bool station_seal_text(const std::string &text, std::string &sealed, std::string &word,
                       std::string &error);

// True when the station file text passes the checksum gate; `checksum` receives its value.
bool station_text_is_sealed(const std::string &text, unsigned &checksum);
