#include "interrupt.h"

#include <csignal>
#include <cstring>

#include <unistd.h>

namespace {

std::atomic<bool> stop_requested{false};
struct sigaction previous_int {};
struct sigaction previous_term {};

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
    write_stderr("\nk40: прерывание: текущий пакет будет дописан, дальше ничего не "
                 "записывается (повторное прерывание - выход немедленно)\n");
}

}  // namespace

RadioRunInterrupts::RadioRunInterrupts()
{
    stop_requested.store(false);
    struct sigaction sa {};
    sa.sa_handler = on_signal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, &previous_int);
    ::sigaction(SIGTERM, &sa, &previous_term);
}

RadioRunInterrupts::~RadioRunInterrupts()
{
    ::sigaction(SIGINT, &previous_int, nullptr);
    ::sigaction(SIGTERM, &previous_term, nullptr);
}

const std::atomic<bool> &RadioRunInterrupts::requested() const { return stop_requested; }
