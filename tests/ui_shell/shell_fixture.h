#pragma once
// What the shell tests share: a sleeper that only records, a small station, and a window
// whose five operations record when they start and end instead of doing their work.

#include <QList>
#include <QStringList>
#include <cstring>
#include <functional>

#include "main_window.h"
#include "messages.h"
#include "recording.h"
#include "station_config.h"

// Band 1 of 146.000-174.000 MHz on a 25 kHz grid, two tuning points, a port that is absent.
inline STATION_CONFIG test_station()
{
    STATION_CONFIG s;
    std::memset(&s, 0, sizeof s);
    std::strcpy(s.Com_Port_Name, "/dev/k40-test-no-such-port");
    s.Com_Port_BaudRate = 9600;
    s.bands[0] = STATION_BAND{1, 146000, 174000, -21400, 21400, 0, 0, 25};
    s.band_count = 1;
    s.tun[0] = TUN_POINT{146000, 1.0, 1, 255};
    s.tun[1] = TUN_POINT{174000, 4.0, 1, 255};
    s.tun_count = 2;
    return s;
}

class RecordingWindow : public PROGRAMMATOR_K40 {
public:
    explicit RecordingWindow(const STATION_CONFIG *station) : PROGRAMMATOR_K40(nullptr, station) {}

    QStringList ran;                              // "<operation>:start", "<operation>:end"
    std::function<void(const QString &)> during;  // runs between start and end

    void read_rs_conf_from_file() override { record(QStringLiteral("read_rs_conf_from_file")); }
    void write_rs_conf_to_file() override { record(QStringLiteral("write_rs_conf_to_file")); }
    void prn_conf_from_form() override { record(QStringLiteral("prn_conf_from_form")); }
    void send_program_to_rs() override { record(QStringLiteral("send_program_to_rs")); }
    void load_conf_from_rs() override { record(QStringLiteral("load_conf_from_rs")); }

private:
    void record(const QString &name)
    {
        ran << name + QStringLiteral(":start");
        if (during)
            during(name);
        ran << name + QStringLiteral(":end");
    }
};
