#include "startup_hook.h"

namespace {
std::function<void()> &splash_closer()
{
    static std::function<void()> closer;
    return closer;
}
}  // namespace

void set_startup_splash_closer(std::function<void()> closer)
{
    splash_closer() = std::move(closer);
}

void close_startup_splash()
{
    if (splash_closer())
        splash_closer()();
}
