#include "serial/tick_timer.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "serial/serial_port.h"
#include "serial/tick_wait.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPeriod = std::chrono::milliseconds(kTickPeriodMs);
// After a stall this long (a suspended machine) the schedule restarts from now
// instead of firing a burst of late ticks.
constexpr auto kResync = std::chrono::milliseconds(100);

enum class Source { Thread, Clock, Manual };

struct TickState {
    // Shared with the timer thread: the flag (which waiters block on), the
    // time of the next tick and the stop request. Nothing else.
    std::atomic<int> flag{0};
    std::atomic<Clock::rep> nextTick{0};
    std::atomic<bool> stopRequested{false};
    std::thread thread;

    bool running = false;
    Source source = Source::Clock;
    Clock::time_point nextClockTick{};
    bool manual = false;
    bool failArming = false;
    uint64_t manualCount = 0;
    std::function<void(uint64_t)> manualHook;
};

TickState gTick;

void tickThreadMain() {
    auto next = Clock::now();
    while (!gTick.stopRequested.load(std::memory_order_relaxed)) {
        next += kPeriod;
        gTick.nextTick.store(next.time_since_epoch().count());
        tickSleepUntil(next);
        if (gTick.stopRequested.load(std::memory_order_relaxed))
            break;
        tickCallback();
        gTick.flag.notify_all();
        const auto now = Clock::now();
        if (now - next > kResync)
            next = now;
    }
}

bool armThread() {
    if (gTick.failArming)
        return false;
    gTick.stopRequested = false;
    gTick.nextTick.store((Clock::now() + kPeriod).time_since_epoch().count());
    try {
        gTick.thread = std::thread(tickThreadMain);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

// Without a running timer thread the flag follows the clock, so that a
// waiting loop still counts time and ends.
void raiseFromClock() {
    const auto now = Clock::now();
    if (now < gTick.nextClockTick)
        return;
    gTick.flag.store(1);
    gTick.nextClockTick = now + kPeriod;
}

void deliverManualTick() {
    ++gTick.manualCount;
    if (gTick.manualHook)
        gTick.manualHook(gTick.manualCount);
    tickCallback();
}

// Sleeps until the next clock tick is due, or `fd` has data, then raises the
// flag if the tick is due.
void waitForClockTick(int fd) {
    tickWaitReadable(fd, gTick.nextClockTick - Clock::now());
    raiseFromClock();
}

// Blocks until the timer thread raises the flag or `fd` has data. With a
// descriptor, it sleeps on it until the next tick is due, then on the flag.
void waitForThreadTick(int fd) {
    if (fd >= 0) {
        const auto left = Clock::time_point(Clock::duration(gTick.nextTick.load())) - Clock::now();
        if (tickWaitReadable(fd, left))
            return;
    }
    while (gTick.flag.load() == 0) gTick.flag.wait(0);
}

void waitForTick(int fd) {
    if (tickPending())
        return;
    const Source source = gTick.manual    ? Source::Manual
                          : gTick.running ? gTick.source
                                          : Source::Clock;
    switch (source) {
        case Source::Manual:
            deliverManualTick();
            return;
        case Source::Thread:
            waitForThreadTick(fd);
            return;
        case Source::Clock:
            waitForClockTick(fd);
            return;
    }
}

}  // namespace

void tickStart() {
    if (gTick.running)
        tickStop();
    if (gTick.manual) {
        gTick.source = Source::Manual;
    } else if (armThread()) {
        gTick.source = Source::Thread;
    } else {
        gTick.source = Source::Clock;
        gTick.nextClockTick = Clock::now() + kPeriod;
        platformMessageBox("ERROR: Multi-Media Timer Init Failed", "Lumagrab",
                           msgbox::Ok | msgbox::IconExclamation);
    }
    gTick.running = true;
    // Cleared after arming: a tick that fired meanwhile is not counted.
    gTick.flag.store(0);
}

void tickStop() {
    if (gTick.thread.joinable()) {
        gTick.stopRequested = true;
        gTick.thread.join();
    }
    gTick.running = false;
}

int32_t tickPending() {
    if (gTick.running && gTick.source == Source::Clock)
        raiseFromClock();
    return gTick.flag.load();
}

void tickClear() {
    gTick.flag.store(0);
}

void tickCallback(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
    gTick.flag.store(1);
}

void tickWaitPending() {
    waitForTick(-1);
}

void tickWaitForTickOrData() {
    waitForTick(serialWaitDescriptor());
}

bool tickRunning() {
    return gTick.running;
}

void tickUseManualSource(bool manual) {
    if (gTick.running)
        tickStop();
    gTick.manual = manual;
    gTick.manualCount = 0;
    gTick.manualHook = nullptr;
}

uint64_t tickManualCount() {
    return gTick.manualCount;
}

void tickSetManualHook(std::function<void(uint64_t tick)> hook) {
    gTick.manualHook = std::move(hook);
}

void tickForceArmingFailure(bool fail) {
    gTick.failArming = fail;
}
