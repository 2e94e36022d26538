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

void TickPacer::endPass() {
    tickClear();
    ++passes_;
}

RequestWait::RequestWait(uint32_t noDataPasses, void (*resend)())
    : budget_(noDataPasses), resend_(resend) {}

bool RequestWait::countPass(bool readBytes) {
    if (streaming_) {
        quiet_ = readBytes ? 0 : quiet_ + 1;
        return false;
    }
    if (readBytes)
        return false;
    ++idle_;
    return true;
}

bool RequestWait::outwaits(const Packet& packet) {
    if (resend_ == nullptr || otherTaken_ || packet.id != PacketId::ScreenRecord) {
        otherTaken_ = true;
        streaming_ = false;
        return false;
    }
    streaming_ = true;
    quiet_ = 0;
    return true;
}

void RequestWait::restart() {
    streaming_ = false;
    idle_ = 0;
    quiet_ = 0;
    freshFrom_ = pacer_.passes();
    resend_();
}

bool RequestWait::endPass() {
    pacer_.endPass();
    if (stopRequested() || pacer_.passes() >= kStreamPasses)
        return false;
    if (streaming_) {
        if (quiet_ >= kStreamQuietPasses)
            restart();
        return true;
    }
    return idle_ < budget_ && pacer_.passes() - freshFrom_ < TickPacer::kMaxPasses;
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
