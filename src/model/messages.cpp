#include "messages.h"

#include <QThread>

#include <cerrno>
#include <cstdio>

void RealSleeper::sleep_ms(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

namespace {
RealSleeper real_sleeper;
Sleeper *current_sleeper = &real_sleeper;
}  // namespace

Sleeper &default_sleeper() { return *current_sleeper; }

void set_default_sleeper(Sleeper *sleeper) { current_sleeper = sleeper ? sleeper : &real_sleeper; }

void Reporter::post(const QString &text) const
{
    if (sink_)
        sink_->show_text(text);
}

void Reporter::post_after_blank(const QString &text) const
{
    post(QString());
    reading_pause(50);
    post(text);
}

void Reporter::report(const QString &text) const
{
    post_after_blank(text);
    reading_pause(2000);
}

void Reporter::hint(const QString &text) const
{
    if (sink_ && !sink_->is_window())
        return;
    post(text);
    pause(2000);
}

void Reporter::reading_pause(int ms) const
{
    if (!sink_ || sink_->is_window())
        pause(ms);
}

void Reporter::pause(int ms) const { sleeper().sleep_ms(ms); }

void Reporter::progress(ProgressStep step, int n, int total) const
{
    if (sink_)
        sink_->show_progress(step, n, total);
}

void Reporter::note(const QString &text) const
{
    if (sink_)
        sink_->show_note(text);
}

void write_diagnostic(const char *text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void write_diagnostic(const QString &text) { write_diagnostic(text.toLocal8Bit().constData()); }

QString system_error_text(int error_number)
{
    switch (error_number) {
    case ENOENT: return QStringLiteral("нет такого файла или папки");
    case EACCES:
    case EPERM: return QStringLiteral("нет прав доступа");
    case EROFS: return QStringLiteral("файловая система только для чтения");
    case ENOSPC: return QStringLiteral("нет места на диске");
    case EDQUOT: return QStringLiteral("превышена квота диска");
    case ENOTDIR: return QStringLiteral("часть пути не является папкой");
    case EISDIR: return QStringLiteral("это папка");
    case EEXIST: return QStringLiteral("файл уже существует");
    case EBUSY: return QStringLiteral("устройство занято");
    case ENODEV:
    case ENXIO: return QStringLiteral("нет такого устройства");
    case ENOTTY: return QStringLiteral("устройство не является терминалом");
    case EPIPE: return QStringLiteral("канал закрыт читающей стороной");
    case EIO: return QStringLiteral("ошибка ввода-вывода");
    default: return QStringLiteral("системная ошибка %1").arg(error_number);
    }
}
