#include "deadline.h"

#include <chrono>

DEADLINE deadline_now()
{
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
    return DEADLINE{ms / 1000, static_cast<int>(ms % 1000)};
}

DEADLINE deadline_after(const DEADLINE &now, int ms)
{
    if (ms < 0)
        ms = 0;
    DEADLINE d{now.seconds + ms / 1000, now.ms + ms % 1000};
    if (d.ms >= 1000) {
        d.seconds += 1;
        d.ms -= 1000;
    }
    return d;
}

DEADLINE deadline_in(int ms) { return deadline_after(deadline_now(), ms); }

int64_t deadline_overdue_ms(const DEADLINE &deadline, const DEADLINE &now)
{
    return (now.seconds - deadline.seconds) * 1000 + now.ms - deadline.ms;
}

bool deadline_passed(const DEADLINE &deadline)
{
    return deadline_overdue_ms(deadline, deadline_now()) >= 0;
}

int deadline_remaining_ms(const DEADLINE &deadline)
{
    const int64_t left = -deadline_overdue_ms(deadline, deadline_now());
    return left > 0 ? static_cast<int>(left) : 0;
}
