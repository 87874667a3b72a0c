#pragma once
// End-to-end fixture: the real main window, offscreen, talking through the real serial
// channel to a simulated radio on a pseudo-terminal; dialogs answered by a script.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <cstring>
#include <memory>

#include "../link/link_fixture.h"
#include "dbug_form.h"
#include "image_codec.h"
#include "image_map.h"
#include "main_window.h"
#include "scripted_dialogs.h"
#include "station_loader.h"

inline QByteArray read_file(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QByteArray sample_image(const char *name = "sample.eep")
{
    return read_file(QStringLiteral(K40_SOURCE_DIR "/data/") + QString::fromLatin1(name));
}

// The shipped station, loaded by the real loader from a scratch copy.
inline STATION_CONFIG shipped_station(const QString &scratch_dir)
{
    QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/torvel.configuration.K40"),
                scratch_dir + QStringLiteral("/torvel.configuration.K40"));
    STATION_CONFIG st;
    std::memset(&st, 0, sizeof st);
    read_station_conf_from_file(&st, scratch_dir.toStdString());
    return st;
}

// The texts the window showed on its strip, in order, read back from its log dialog.
inline QStringList strip_messages(const PROGRAMMATOR_K40 &w)
{
    QStringList out;
    const QString marker = QStringLiteral(" :      ");
    for (const QString &line : w.log_dialog->browser()->toPlainText().split(QLatin1Char('\n'))) {
        const int at = line.indexOf(marker);
        if (at >= 0 && at + marker.size() < line.size())
            out << line.mid(at + marker.size());
    }
    return out;
}

struct WindowFixture {
    QTemporaryDir dir;
    // The radio's own waits (up to the 300 ms before the restoring mode command) stay real,
    // the message pauses and the long scrambler wait are cut.
    TestSleeper sleeper{400};
    ScriptedDialogs dialogs;
    std::unique_ptr<SimulatedRadio> radio;
    STATION_CONFIG station;
    std::unique_ptr<PROGRAMMATOR_K40> window;
    QString old_cwd = QDir::currentPath();

    // The read's first state reply must arrive within its seven bytes' line time plus the
    // margin every read allows for adapters and slow radios. `adapter_ms` puts a USB serial adapter with that latency timer on the line,
    // `start_ms` is the radio's start delay before every answer.
    explicit WindowFixture(const QByteArray &image = sample_image(), int sost = 0,
                           const SimFaults &faults = SimFaults(), int baud = 19200,
                           int adapter_ms = 0, int start_ms = 0)
    {
        set_default_sleeper(&sleeper);
        QDir::setCurrent(dir.path());
        SimRadioConfig config;
        config.image = image;
        config.baud = baud;
        config.sost = sost;
        config.faults = faults;
        config.adapter_latency_ms = adapter_ms;
        config.reply_latency_ms = start_ms;
        radio = std::make_unique<SimulatedRadio>(config);
        radio->start();
        station = shipped_station(dir.path());
        std::strncpy(station.Com_Port_Name, radio->device_name().toLocal8Bit().constData(),
                     sizeof station.Com_Port_Name - 1);
        station.Com_Port_BaudRate = baud;
        window = std::make_unique<PROGRAMMATOR_K40>(nullptr, &station, &dialogs, &sleeper);
    }
    ~WindowFixture()
    {
        window.reset();
        radio->stop();
        QDir::setCurrent(old_cwd);
        set_default_sleeper(nullptr);
    }

    PROGRAMMATOR_K40 &w() { return *window; }
    QStringList messages() const { return strip_messages(*window); }
    QString last_message() const
    {
        const QStringList m = messages();
        return m.isEmpty() ? QString() : m.last();
    }
    QString cell(int row, int column) { return window->cell_item(row, column)->text(); }

    // The image the window's form encodes over the radio's current image.
    QByteArray encoded_form()
    {
        RS_EEPROM_IMAGE base{}, out{};
        const QByteArray now = radio->image();
        std::memcpy(base.bytes, now.constData(), RS_IMAGE_SIZE);
        RS_CONF conf{};
        window->read_form(conf);
        if (!encode_image(window->model_context(), conf, base, out, true))
            return QByteArray();
        out.bytes[ADDR_N_RAB_KANALA] = base.bytes[ADDR_N_RAB_KANALA];
        return QByteArray(reinterpret_cast<const char *>(out.bytes), RS_IMAGE_SIZE);
    }
};
