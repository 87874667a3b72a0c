#pragma once
// A temporary station directory and builders for station file texts.

#include "station_loader.h"
#include "station_seal.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <string>

inline std::string station_text(const std::string &band, const std::string &tun)
{
    return "[DIAPAZON_FREQ]= [" + band + "]\n[TUN]= [" + tun + "]\n";
}

// The text with its seal comment chosen; empty when sealing fails.
inline std::string sealed(const std::string &text)
{
    std::string out, word, error;
    return station_seal_text(text, out, word, error) ? out : std::string();
}

inline std::string points(int n)
{
    std::string t = "\n";
    for (int i = 0; i < n; ++i)
        t += "<POINT Freq=\"" + std::to_string(146000 + i * 25) + "\" U=\"2\" id=\"1\" Adress=\""
             + std::to_string(i % 150) + "\" />\n";
    return t;
}

inline std::string band_row(int id, int start, int end, const std::string &shag)
{
    return "<DIAPAZON id=\"" + std::to_string(id) + "\" freq_start=\"" + std::to_string(start)
           + "\" freq_end=\"" + std::to_string(end)
           + "\" delta_freq_enc_prm=\"-21400\" delta_freq_dec_prm=\"21400\""
             " delta_freq_enc_prd=\"0\" delta_freq_dec_prd=\"0\" shag_setki=\""
           + shag + "\" />\n";
}

inline std::string bands(int n)
{
    std::string t = "\n";
    for (int i = 0; i < n; ++i)
        t += band_row(1, 146000 + i * 100, 146075 + i * 100, "25");
    return t;
}

struct StationDir {
    QTemporaryDir dir;

    std::string path() const { return dir.path().toStdString(); }
    QString file(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    bool exists(const char *name) const { return QFile::exists(file(name)); }

    void write(const char *name, const std::string &bytes) const
    {
        QFile f(file(name));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes.data(), qint64(bytes.size()));
    }

    QByteArray read(const char *name) const
    {
        QFile f(file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    StationLoadResult load(STATION_CONFIG &conf) const
    {
        std::memset(&conf, 0, sizeof conf);
        return read_station_conf_from_file(&conf, path());
    }
};
