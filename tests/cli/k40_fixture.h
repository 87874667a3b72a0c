#pragma once
// Runs the k40 executable in a scratch working directory holding the shipped station file,
// optionally against a simulated radio on a pseudo-terminal.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

#include "simulated_radio.h"
#include "station_loader.h"

struct K40Result {
    int status = -1;
    QString out;  // standard output
    QString err;  // standard error
};

inline QByteArray file_bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool put_file(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

inline QByteArray shipped_sample()
{
    return file_bytes(QStringLiteral(K40_SOURCE_DIR "/data/sample.eep"));
}

struct K40Fixture {
    QTemporaryDir dir;
    std::unique_ptr<SimulatedRadio> radio;
    static constexpr int BAUD = 9600;  // the slowest line leaves the most slack for a busy machine

    K40Fixture()
    {
        QFile::copy(QStringLiteral(K40_SOURCE_DIR "/data/torvel.configuration.K40"),
                    path(QStringLiteral("torvel.configuration.K40")));
    }
    ~K40Fixture()
    {
        if (radio)
            radio->stop();
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    // A radio holding `image`; torvel.txt names its device, or `link` to it when given.
    // `adapter_ms` puts a USB serial adapter with that latency timer on the line, `start_ms`
    // is the radio's start delay.
    bool start_radio(const QByteArray &image, const SimFaults &faults = SimFaults(),
                     int adapter_ms = 0, int start_ms = 0, const QString &link = QString())
    {
        SimRadioConfig config;
        config.image = image;
        config.faults = faults;
        config.adapter_latency_ms = adapter_ms;
        config.reply_latency_ms = start_ms;
        config.link_path = link;
        return start_radio(config);
    }
    // Any radio; the line speed is the fixture's. torvel.txt names its link, if it has one.
    bool start_radio(SimRadioConfig config)
    {
        config.baud = BAUD;
        radio = std::make_unique<SimulatedRadio>(config);
        if (!radio->start())
            return false;
        return put_file(path(QStringLiteral("torvel.txt")),
                        QStringLiteral("[Com_Port_Name]= [%1]\n[Com_Port_BaudRate]= [%2]\n")
                            .arg(radio->port_name())
                            .arg(BAUD)
                            .toUtf8());
    }

    // `wrapper` runs k40 through another program (as another user, say).
    K40Result run(const QStringList &arguments, const QStringList &wrapper = {}) const
    {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        if (wrapper.isEmpty())
            p.start(QStringLiteral(K40_CLI), arguments);
        else
            p.start(wrapper.first(),
                    wrapper.mid(1) + QStringList{QStringLiteral(K40_CLI)} + arguments);
        p.waitForFinished(120000);
        K40Result r;
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    // A radio command that should succeed. The read's first state reply has to arrive within
    // its line time plus the adapter margin; a machine stalled by other builds for longer
    // still misses that, which the programmer reports as no answer before anything else
    // happened. Only that is retried.
    K40Result run_radio(const QStringList &arguments) const
    {
        K40Result r;
        for (int attempt = 0; attempt < 3; ++attempt) {
            r = run(arguments);
            if (!r.err.contains(QStringLiteral("Ответ не получен.")))
                break;
        }
        return r;
    }

    QByteArray radio_image() const { return radio->image(); }

    QStringList backups() const
    {
        return QDir(path(QStringLiteral("backups")))
            .entryList({QStringLiteral("*.eep")}, QDir::Files, QDir::Name);
    }
};

// The fixture's station, read as k40 reads it.
inline STATION_CONFIG station_of(const K40Fixture &f)
{
    STATION_CONFIG st{};
    read_station_files(&st, f.path(QStringLiteral("torvel.configuration.K40")).toStdString(),
                       f.path(QStringLiteral("none.txt")).toStdString());
    return st;
}
