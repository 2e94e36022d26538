// Windows has no descriptor to wait on for serial input (the port is polled
// through ClearCommError), so a wait for data is a sleep to the next tick.
//
// Sleep() counts in the system timer's resolution, which is 15.6 ms unless a
// program asks for finer: the first wait asks for 1 ms for the rest of the
// process, as the multimedia timer this tick stands for would.
#include <windows.h>

#include "serial/tick_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

void sleepFor(Clock::duration d) {
    static const bool fineResolution = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fineResolution;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(d).count();
    if (ms > 0)
        Sleep(static_cast<DWORD>(ms));
}

}  // namespace

void tickSleepUntil(Clock::time_point when) {
    sleepFor(when - Clock::now());
}

bool tickWaitReadable(int, Clock::duration timeout) {
    sleepFor(timeout);
    return false;
}
