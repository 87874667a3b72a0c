#include "trace_device.h"

#include "messages.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <unistd.h>
#include <deque>
#include <mutex>
#include <thread>

class TraceLog {
public:
    explicit TraceLog(std::unique_ptr<QFile> file)
        : file_(std::move(file)), writer_([this] { run(); })
    {
    }
    ~TraceLog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        ready_.notify_one();
        writer_.join();
    }

    void add(const char *direction, const QString &text)
    {
        const QString line = trace_line(
            QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
            direction, text);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line.toUtf8());
        }
        ready_.notify_one();
    }

private:
    std::unique_ptr<QFile> file_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<QByteArray> lines_;
    bool stopping_ = false;
    std::thread writer_;

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            ready_.wait(lock, [this] { return stopping_ || !lines_.empty(); });
            std::deque<QByteArray> batch;
            batch.swap(lines_);
            const bool last = stopping_;
            lock.unlock();
            for (const QByteArray &line : batch)
                file_->write(line);
            file_->flush();
            lock.lock();
            if (last && lines_.empty())
                return;
        }
    }
};

namespace {

constexpr int BYTES_PER_LINE = 24;  // four 6-byte records

QString event(const char *text) { return QString::fromUtf8(text); }

std::mutex trace_mutex;
std::shared_ptr<TraceLog> current_log;

}  // namespace

QString trace_line(const QString &stamp, const char *direction, const QString &text)
{
    const QString lead = stamp + QLatin1Char(' ') + QLatin1String(direction) + QLatin1Char(' ');
    QString out;
    const QStringList parts = text.split(QLatin1Char('\n'));
    for (int i = 0; i < parts.size(); ++i)
        out += (i == 0 ? lead : QString(lead.size(), QLatin1Char(' '))) + parts[i]
               + QLatin1Char('\n');
    return out;
}

QString trace_frame(const uint8_t *data, int length)
{
    QStringList lines;
    for (int from = 0; from < length; from += BYTES_PER_LINE) {
        QString hex, printable;
        for (int i = from; i < from + BYTES_PER_LINE; ++i) {
            if (i < length) {
                hex += QString::number(data[i], 16).rightJustified(2, QLatin1Char('0'))
                       + QLatin1Char(' ');
                printable += data[i] >= 0x20 && data[i] < 0x7F ? QLatin1Char(char(data[i]))
                                                               : QLatin1Char('.');
            } else if (length > BYTES_PER_LINE) {
                hex += QStringLiteral("   ");
            }
        }
        lines << hex + QLatin1Char('|') + printable + QLatin1Char('|');
    }
    if (lines.isEmpty())
        lines << QStringLiteral("|");
    return lines.join(QLatin1Char('\n'));
}

TraceDevice::TraceDevice(std::unique_ptr<SerialDevice> inner, std::shared_ptr<TraceLog> log)
    : inner_(std::move(inner)), log_(std::move(log))
{
}

TraceDevice::~TraceDevice() { close(); }

bool TraceDevice::open(const char *name, int speed)
{
    const bool ok = inner_->open(name, speed);
    open_ = ok;
    log_->add("--", QStringLiteral("открытие %1: %2 бит/с, 8N1, без управления потоком: %3")
                        .arg(QString::fromLocal8Bit(name))
                        .arg(speed)
                        .arg(ok ? event("открыт") : event("ошибка: ") + inner_->last_error()));
    if (ok && !inner_->open_note().isEmpty())
        log_->add("--", inner_->open_note());
    return ok;
}

void TraceDevice::close()
{
    inner_->close();
    if (open_)
        log_->add("--", event("закрытие порта"));
    open_ = false;
}

int TraceDevice::read(uint8_t *buffer, int length, int timeout_ms)
{
    const int got = inner_->read(buffer, length, timeout_ms);
    if (got > 0)
        log_->add("<-", trace_frame(buffer, got));
    if (got == SERIAL_LOST)
        log_->add("--", event("чтение: устройство пропало"));
    else if (got < length)
        log_->add("--", QStringLiteral("чтение: время ожидания %1 мс истекло, получено %2 из %3 "
                                       "байт")
                            .arg(timeout_ms)
                            .arg(got)
                            .arg(length));
    return got;
}

int TraceDevice::write(const uint8_t *data, int length, int timeout_ms)
{
    const int sent = inner_->write(data, length, timeout_ms);
    log_->add("->", trace_frame(data, length));
    if (sent == SERIAL_LOST)
        log_->add("--", event("запись: устройство пропало"));
    else if (sent != length)
        log_->add(
            "--",
            QStringLiteral("запись не удалась или время ожидания %1 мс истекло").arg(timeout_ms));
    return sent;
}

bool TraceDevice::purge_rx()
{
    const bool ok = inner_->purge_rx();
    log_->add("--", ok ? event("очистка приема") : event("очистка приема: устройство пропало"));
    return ok;
}

void TraceDevice::purge_tx()
{
    inner_->purge_tx();
    log_->add("--", event("очистка передачи"));
}

void TraceDevice::set_dtr(bool level)
{
    inner_->set_dtr(level);
    log_->add("--", QStringLiteral("DTR %1").arg(level ? 1 : 0));
}

void TraceDevice::set_rts(bool level)
{
    inner_->set_rts(level);
    log_->add("--", QStringLiteral("RTS %1").arg(level ? 1 : 0));
}

int TraceDevice::bytes_waiting()
{
    const int n = inner_->bytes_waiting();
    if (n == SERIAL_LOST)
        log_->add("--", event("устройство пропало"));
    return n;
}

bool com_start_trace(const QString &path, QString *error)
{
    // Opened by hand for the system's reason of a failure; Qt's text of it is English.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    auto file = std::make_unique<QFile>(path);
    if (fd < 0
        || !file->open(fd, QIODevice::WriteOnly | QIODevice::Append,
                       QFileDevice::AutoCloseHandle)) {
        const int e = errno;
        if (fd >= 0)
            ::close(fd);
        if (error)
            *error = system_error_text(fd < 0 ? e : EIO);
        return false;
    }
    auto log = std::make_shared<TraceLog>(std::move(file));
    {
        std::lock_guard<std::mutex> lock(trace_mutex);
        current_log = log;
    }
    com_set_device_factory([log] {
        return std::unique_ptr<SerialDevice>(new TraceDevice(make_qt_serial_device(), log));
    });
    return true;
}

void com_stop_trace()
{
    com_set_device_factory({});
    std::lock_guard<std::mutex> lock(trace_mutex);
    current_log.reset();
}
