#pragma once
// An absolute point in time as whole seconds plus milliseconds, for the channel's read
// time-outs. Taken from a monotonic clock, so a change of the wall clock cannot stretch or
// cut a read.

#include <cstdint>

struct DEADLINE {
    int64_t seconds;
    int ms;  // 0..999
};

DEADLINE deadline_now();
// `now` advanced by `ms` milliseconds, the millisecond overflow carried into the seconds.
DEADLINE deadline_after(const DEADLINE &now, int ms);
DEADLINE deadline_in(int ms);
// now - deadline in ms: >= 0 once the deadline has passed.
int64_t deadline_overdue_ms(const DEADLINE &deadline, const DEADLINE &now);
bool deadline_passed(const DEADLINE &deadline);
// Milliseconds left, never negative.
int deadline_remaining_ms(const DEADLINE &deadline);
