#include "platform/stop_request.h"

#include <atomic>

namespace {
std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "a signal handler sets the stop request");
}  // namespace

void stopRequest() {
    gStop.store(true, std::memory_order_relaxed);
}

bool stopRequested() {
    return gStop.load(std::memory_order_relaxed);
}

void stopClear() {
    gStop.store(false, std::memory_order_relaxed);
}
