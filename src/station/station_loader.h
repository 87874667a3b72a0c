#pragma once
// Loads STATION_CONFIG from the two station files of a directory:
//   "torvel.configuration.K40"  DIAPAZON_FREQ (band rows) and TUN (tuning points), both
//                               markup texts, sealed by a CRC-16/ARC of 0xFD58 over the
//                               DIAPAZON_FREQ text followed by the TUN text;
//   "torvel.txt"                Com_Port_Name and Com_Port_BaudRate.
// A file holding no pair is replaced by its template. The loader only reports its verdict;
// the entry point ends the program (status 0, no message) on ExitSilently.
//
// Decisions on malformed files:
// - A POINT or DIAPAZON lacking an attribute: the value lists are read at the same
//   positions and a value past the end of its list reads as 0.
// - A port name longer than STATION_PORT_NAME_MAX is refused: Com_Port_Name stays empty, so
//   opening the port fails with its usual message instead of silently opening a shortened
//   name.
// - A U value that reads as infinite or not-a-number ("inf", "nan", "1e99") is stored as 0.
// - A band row whose shag_setki is 0 or negative is dropped (frequencies are divided by
//   it); the other rows are kept in file order.

#include "station_config.h"

#include <cstdint>
#include <string>

enum class StationLoadResult {
    Loaded,        // the record is filled; the program runs on
    ExitSilently,  // unsealed file, no tuning point, too many points, or no band row
};

constexpr const char *STATION_CONF_FILE_NAME = "torvel.configuration.K40";
constexpr const char *STATION_PORT_FILE_NAME = "torvel.txt";
constexpr uint16_t STATION_CONF_SEAL = 0xFD58;

// The TUN text of the template written when the station file holds no pair.
extern const char *const STATION_DEFAULT_TUN_TEXT;

// conf must be zero-filled by the caller. A null conf does nothing (Loaded).
StationLoadResult read_station_conf_from_file(STATION_CONFIG *conf, const std::string &dir = ".");

// The same files for a program that must say what is wrong instead of ending silently:
// never writes a template. A missing port file leaves the port name empty.
enum class StationFileCheck {
    Loaded,
    Missing,   // the station file does not exist or holds no pair
    Unsealed,  // its texts do not carry the seal
    Unusable,  // sealed, but no tuning point, too many points or no band row
};
StationFileCheck read_station_files(STATION_CONFIG *conf, const std::string &conf_path,
                                    const std::string &port_path);

// The checksum the gate compares with STATION_CONF_SEAL.
uint16_t station_conf_checksum(const std::string &band_text, const std::string &tun_text);

// The part after the gate: fills conf from already read texts (no file access).
StationLoadResult station_conf_from_texts(STATION_CONFIG *conf, const std::string &band_text,
                                          const std::string &tun_text, const std::string &port_name,
                                          const std::string &baud_text);
