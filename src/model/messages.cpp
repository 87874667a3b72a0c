#include "messages.h"

#include <QThread>

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
    pause(50);
    post(text);
}

void Reporter::report(const QString &text) const
{
    post_after_blank(text);
    pause(2000);
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
