#pragma once
// How the model and the radio link talk to the person and wait: a message sink that the
// window's strip implements, and one sleeper through which every pause goes, so tests can
// record texts and skip real time.

#include <QString>

// Steps of the long radio work, for a sink that shows progress (the window does not).
enum class ProgressStep {
    WakeUp,      // the port is being opened and the radio's interface woken
    Dump,        // an image dump is requested: n = 1 or 2 of a pair
    WriteRound,  // n = the round, total = the packets it sends
    WriteBatch,  // n = packets sent so far in the round, total = the round's packets
    ReadBack,    // the round's read-back
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Replaces the one line the user sees (an empty text blanks it).
    virtual void show_text(const QString &text) = 0;
    virtual void show_progress(ProgressStep, int /*n*/, int /*total*/) {}
    // A technical detail for the record (why a port did not open, where a backup went):
    // kept beside the messages without replacing the line the user sees.
    virtual void show_note(const QString &) {}
    // False where every line stays in view and there are no buttons (a terminal): the
    // pauses for reading a failure and the hints at the window's buttons are left out.
    virtual bool is_window() const { return true; }
};

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void sleep_ms(int ms) = 0;
};

// Blocks the calling thread for real.
class RealSleeper final : public Sleeper {
public:
    void sleep_ms(int ms) override;
};

// The process-wide sleeper; RealSleeper unless a test installs another.
Sleeper &default_sleeper();
void set_default_sleeper(Sleeper *sleeper);  // nullptr restores the real one

// The sources are UTF-8; this says so where a literal becomes a message.
inline QString utf8_text(const char *utf8) { return QString::fromUtf8(utf8); }

// The reason behind a failed system call, in Russian for the usual cases.
QString system_error_text(int error_number);

// A line for the technician's console, beside the window: written at once, exactly as
// given (the caller adds any line end).
void write_diagnostic(const char *text);
void write_diagnostic(const QString &text);

// Posting and reporting texts. A null sink drops the texts (pauses still happen).
class Reporter {
public:
    Reporter(MessageSink *sink = nullptr, Sleeper *sleeper = nullptr)
        : sink_(sink), sleeper_(sleeper)
    {
    }

    // A check or progress message: shown alone, without pauses.
    void post(const QString &text) const;
    // A step the user should not miss: blank line, 50 ms, the message.
    void post_after_blank(const QString &text) const;
    // A failure: the same, then 2000 ms to read it.
    void report(const QString &text) const;
    // What to press in the window next, with 2000 ms to read it; a terminal gets neither.
    void hint(const QString &text) const;
    // Time to read what is shown; none for a terminal. Timing of the line uses pause().
    void reading_pause(int ms) const;
    void pause(int ms) const;
    void progress(ProgressStep step, int n = 0, int total = 0) const;
    void note(const QString &text) const;

    MessageSink *sink() const { return sink_; }
    Sleeper &sleeper() const { return sleeper_ ? *sleeper_ : default_sleeper(); }

private:
    MessageSink *sink_;
    Sleeper *sleeper_;
};
