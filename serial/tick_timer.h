// The 5 ms tick by which every time-out of the device link is counted.
//
// How it works. tickStart() arms a thread that stores 1 into a tick flag
// every 5 ms, on an absolute schedule so that ticks do not drift; tickStop()
// disarms it. The waiting operation reads the flag with tickPending() and
// lowers it with tickClear(). The flag is a flag, not a counter: any number of
// ticks between two looks count as one. Start and stop are called from the
// one thread that runs device operations; starts and stops never nest.
//
// Waiting without spinning. Instead of spinning on tickPending(), a waiter
// blocks in one of the two waits below; each returns at once when a tick is
// already pending, so the loops count exactly the passes and ticks they would
// count while spinning:
//
//   Paced loop (one pass per tick):          Free-running loop (download):
//     tickStart();                             tickStart();
//     for (;;) {                               for (;;) {
//         tickWaitPending();                       if (tickPending()) { count; tickClear(); }
//         ... one pass: poll, take ...             int n = serialPoll(); ... take ...
//         tickClear();                             if (nothing read, nothing queued)
//         if (done) break;                             tickWaitForTickOrData();
//     }                                        }
//     tickStop();                              tickStop();
//
// No wait can hang. When the thread cannot be armed (the warning "ERROR:
// Multi-Media Timer Init Failed" is shown through platformMessageBox),
// tickPending() itself raises the flag from the clock every 5 ms and the
// waits sleep until the next such tick. A wait while the timer is stopped
// also sleeps at most 5 ms and then raises the flag.
//
// Tests replace the thread with a manual source (ScopedManualTicks): every
// wait then delivers one tick at once, so a loop of 400 idle ticks runs in
// microseconds, and a hook can act on a given tick number.
#pragma once

#include <cstdint>
#include <functional>

constexpr uint32_t kTickPeriodMs = 5;

void tickStart();
void tickStop();
// 1 when at least one tick has passed since the last tickClear(), else 0.
int32_t tickPending();
void tickClear();
// What the timer thread runs every tick: raises the flag, nothing else. The
// arguments are those of a periodic timer notification and are ignored.
void tickCallback(uint32_t timerId = 0, uint32_t message = 0, uintptr_t user = 0,
                  uintptr_t reserved1 = 0, uintptr_t reserved2 = 0);

// Blocks until tickPending() returns 1.
void tickWaitPending();
// Blocks until tickPending() returns 1 or data (or a hang-up) arrives on the
// open serial port. Without a port it waits for the tick only.
void tickWaitForTickOrData();

// True between tickStart() and tickStop().
bool tickRunning();

// --- Test sources -----------------------------------------------------------
// With the manual source, tickStart() arms nothing and each wait that finds
// no tick pending delivers one: the tick counter goes up, the hook runs with
// the new count, then the flag rises.
void tickUseManualSource(bool manual);
uint64_t tickManualCount();
void tickSetManualHook(std::function<void(uint64_t tick)> hook);
// Makes the next arming of the real source fail, as when no thread can be
// started, so that the warning and the clock fallback can be exercised.
void tickForceArmingFailure(bool fail);

// Switches to the manual source for its lifetime (count 0, no hook).
class ScopedManualTicks {
  public:
    ScopedManualTicks() { tickUseManualSource(true); }
    ~ScopedManualTicks() { tickUseManualSource(false); }
    ScopedManualTicks(const ScopedManualTicks&) = delete;
    ScopedManualTicks& operator=(const ScopedManualTicks&) = delete;
    uint64_t count() const { return tickManualCount(); }
};
