// The two blocking waits under the tick timer, one file per system:
// tick_wait_posix.cpp (clock_nanosleep, ppoll) and tick_wait_win32.cpp.
#pragma once

#include <chrono>

// Sleeps until `when` on the steady clock; an absolute deadline, so that a
// periodic schedule built on it does not drift.
void tickSleepUntil(std::chrono::steady_clock::time_point when);

// Sleeps up to `timeout`, returning true at once when descriptor `fd` has
// input or has hung up; with fd -1, or where the system has no such
// descriptors, it just sleeps and returns false.
bool tickWaitReadable(int fd, std::chrono::steady_clock::duration timeout);
