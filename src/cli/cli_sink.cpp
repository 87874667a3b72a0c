#include "cli_sink.h"

#include <unistd.h>

CliSink::CliSink(std::FILE *err) : err_(err), terminal_(::isatty(::fileno(err)) == 1) {}

CliSink::~CliSink() { end_progress(); }

void CliSink::end_progress()
{
    if (!progress_shown_)
        return;
    std::fputs("\r\033[K", err_);
    std::fflush(err_);
    progress_shown_ = false;
}

void CliSink::line(const QString &text)
{
    end_progress();
    std::fputs(text.toUtf8().constData(), err_);
    std::fputc('\n', err_);
    std::fflush(err_);
}

// The window blanks its strip before an error; a terminal needs no blank lines.
void CliSink::show_text(const QString &text)
{
    if (!text.isEmpty())
        line(text);
}

void CliSink::show_note(const QString &text) { line(text); }

void CliSink::show_progress(ProgressStep step, int n, int total)
{
    if (step == ProgressStep::WriteRound)
        round_ = n;
    if (!terminal_)
        return;
    QString text;
    switch (step) {
    case ProgressStep::WakeUp:
        text = QStringLiteral("… открытие порта и пробуждение радиостанции");
        break;
    case ProgressStep::Dump:
        text = QStringLiteral("… чтение памяти радиостанции, копия %1 из %2").arg(n).arg(total);
        break;
    case ProgressStep::WriteRound:
        text = QStringLiteral("… запись, проход %1: 0 из %2 байт").arg(n).arg(total);
        break;
    case ProgressStep::WriteBatch:
        text = QStringLiteral("… запись, проход %1: %2 из %3 байт").arg(round_).arg(n).arg(total);
        break;
    case ProgressStep::ReadBack:
        text = QStringLiteral("… проверка записи, проход %1").arg(n);
        break;
    }
    std::fputs("\r\033[K", err_);
    std::fputs(text.toUtf8().constData(), err_);
    std::fflush(err_);
    progress_shown_ = true;
}
