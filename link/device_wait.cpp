#include "link/device_wait.h"

#include "platform/stop_request.h"
#include "serial/tick_timer.h"

TickPacer::TickPacer() {
    tickStart();
}

TickPacer::~TickPacer() {
    tickStop();
}

void TickPacer::beginPass() {
    tickWaitPending();
}

bool TickPacer::exhausted() const {
    return passes_ >= kMaxPasses || stopRequested();
}

void TickPacer::endPass() {
    tickClear();
    ++passes_;
}

uint32_t payloadValue(const Packet& packet, int32_t offset, int32_t width) {
    uint32_t value = 0;
    for (int32_t i = width - 1; i >= 0; --i) {
        const int32_t at = offset + i;
        const uint8_t byte = (at >= 0 && at < packet.length) ? packet.payload[at] : 0;
        value = (value << 8) | byte;
    }
    return value;
}
