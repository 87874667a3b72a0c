#pragma once
// Where the command-line programmer's texts go: every message of the sequences and every
// note to standard error, in order; on a terminal also one progress line that the next
// message replaces.

#include "messages.h"

#include <cstdio>

class CliSink final : public MessageSink {
public:
    explicit CliSink(std::FILE *err);
    ~CliSink() override;

    void show_text(const QString &text) override;
    void show_note(const QString &text) override;
    void show_progress(ProgressStep step, int n, int total) override;
    bool is_window() const override { return false; }

    // A line of the program's own (results, errors), after any progress line.
    void line(const QString &text);
    void end_progress();

private:
    std::FILE *err_;
    bool terminal_;
    bool progress_shown_ = false;
    int round_ = 0;
};
