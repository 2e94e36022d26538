#include <poll.h>
#include <time.h>

#include <cerrno>

#include "serial/tick_wait.h"

namespace {

using Clock = std::chrono::steady_clock;

timespec toTimespec(Clock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d);
    return {static_cast<time_t>(ns.count() / 1000000000),
            static_cast<long>(ns.count() % 1000000000)};
}

}  // namespace

// steady_clock is CLOCK_MONOTONIC.
void tickSleepUntil(Clock::time_point when) {
    const timespec t = toTimespec(when.time_since_epoch());
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

bool tickWaitReadable(int fd, Clock::duration timeout) {
    if (timeout <= Clock::duration::zero())
        return false;
    pollfd p{fd, POLLIN, 0};
    const timespec t = toTimespec(timeout);
    return ppoll(&p, fd >= 0 ? 1 : 0, &t, nullptr) > 0;
}
