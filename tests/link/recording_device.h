#pragma once
// A serial device that writes every call the channel makes into a journal shared with a
// sleeper, so a test sees line calls and waits in the order the radio would.

#include "messages.h"
#include "serial_device.h"

#include <QByteArray>
#include <QStringList>

#include <cstring>
#include <mutex>

class LineJournal {
public:
    void add(const QString &line)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_ << line;
    }
    QStringList lines() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void clear()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    QStringList lines_;
};

// Records each wait and returns at once.
class JournalSleeper final : public Sleeper {
public:
    explicit JournalSleeper(LineJournal &journal) : journal_(journal) {}
    void sleep_ms(int ms) override { journal_.add(QStringLiteral("wait %1").arg(ms)); }

private:
    LineJournal &journal_;
};

// Answers every read with the bytes queued in `replies` (shared by all devices of one
// journal's test), accepts every write.
class RecordingDevice final : public SerialDevice {
public:
    RecordingDevice(LineJournal &journal, QByteArray &replies)
        : journal_(journal), replies_(replies)
    {
    }

    bool open(const char *name, int speed) override
    {
        journal_.add(QStringLiteral("open %1 %2").arg(QString::fromLocal8Bit(name)).arg(speed));
        return QByteArray(name) != "/dev/refuses";
    }
    void close() override { journal_.add(QStringLiteral("close")); }
    int read(uint8_t *buffer, int length, int timeout_ms) override
    {
        journal_.add(QStringLiteral("read %1 in %2 ms").arg(length).arg(timeout_ms));
        std::memset(buffer, 0, static_cast<size_t>(length));
        const QByteArray part = replies_.left(length);
        replies_.remove(0, part.size());
        std::memcpy(buffer, part.constData(), static_cast<size_t>(part.size()));
        return static_cast<int>(part.size());
    }
    int write(const uint8_t *data, int length, int timeout_ms) override
    {
        journal_.add(QStringLiteral("write %1 in %2 ms")
                         .arg(QString::fromLatin1(
                             QByteArray(reinterpret_cast<const char *>(data), length).toHex()))
                         .arg(timeout_ms));
        return length;
    }
    bool purge_rx() override
    {
        journal_.add(QStringLiteral("purge rx"));
        return true;
    }
    void purge_tx() override { journal_.add(QStringLiteral("purge tx")); }
    void set_dtr(bool level) override { journal_.add(QStringLiteral("dtr %1").arg(int(level))); }
    void set_rts(bool level) override { journal_.add(QStringLiteral("rts %1").arg(int(level))); }
    int bytes_waiting() override
    {
        journal_.add(QStringLiteral("bytes waiting"));
        return static_cast<int>(replies_.size());
    }

private:
    LineJournal &journal_;
    QByteArray &replies_;
};
