#include "interrupt.h"

#include <csignal>
#include <cstring>
#include <iterator>

#include <unistd.h>

namespace {

std::atomic<bool> stop_requested{false};
std::atomic<bool> only_waiting{false};
// A closed terminal or a lost ssh session must not cut a run either.
constexpr int SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[std::size(SIGNALS)] = {};

void write_stderr(const char *text)
{
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void on_signal(int sig)
{
    if (stop_requested.exchange(true)) {
        write_stderr("\nk40: прервано повторно, выход немедленно\n");
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    if (only_waiting.load())
        write_stderr("\nk40: прерывание: ожидание закончено\n");
    else
        write_stderr("\nk40: прерывание: текущий пакет будет дописан, дальше ничего не "
                     "записывается (повторное прерывание - выход немедленно)\n");
}

}  // namespace

RadioRunInterrupts::RadioRunInterrupts()
{
    stop_requested.store(false);
    only_waiting.store(false);
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    for (size_t i = 0; i < std::size(SIGNALS); ++i)
        ::sigaction(SIGNALS[i], &sa, &previous[i]);
}

RadioRunInterrupts::~RadioRunInterrupts()
{
    for (size_t i = 0; i < std::size(SIGNALS); ++i)
        ::sigaction(SIGNALS[i], &previous[i], nullptr);
}

void RadioRunInterrupts::set_waiting(bool waiting) const { only_waiting.store(waiting); }

const std::atomic<bool> &RadioRunInterrupts::requested() const { return stop_requested; }
