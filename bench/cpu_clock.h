// Processor time used so far, for benchmarks that report CPU load as a share
// of the wall time they waited.
#pragma once

#include <time.h>

inline double cpuSecondsOf(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Every thread of the process: the waiter, the tick thread, a virtual receiver.
inline double processCpuSeconds() { return cpuSecondsOf(CLOCK_PROCESS_CPUTIME_ID); }

// The calling thread alone.
inline double threadCpuSeconds() { return cpuSecondsOf(CLOCK_THREAD_CPUTIME_ID); }
