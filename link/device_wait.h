// What the device operations share: pacing one pass per tick, and taking the
// packets that wait in the receive queue.
#pragma once

#include <cstdint>

#include "link/packet_link.h"

// One pass per 5 ms tick, with the tick timer held from construction to
// destruction, so that every exit stops it. The wait sleeps until the tick
// (tickWaitPending) instead of spinning.
//
// A line that never falls quiet (noise, or a device that streams) keeps the
// idle counters of the operations from ever rising; the pacer therefore also
// ends any wait after kMaxPasses passes (10 s), far beyond every budget that
// the operations count. A stop request ends it at the next pass.
class TickPacer {
  public:
    static constexpr uint32_t kMaxPasses = 2000;

    TickPacer();
    ~TickPacer();
    TickPacer(const TickPacer&) = delete;
    TickPacer& operator=(const TickPacer&) = delete;

    // Blocks until the tick of the next pass is pending.
    void beginPass();
    // Clears the tick; a tick that fell during the pass goes with it.
    void endPass();
    // Out of passes, or asked to stop: either way the wait ends unanswered.
    bool exhausted() const;

  private:
    uint32_t passes_ = 0;
};

// Takes waiting packets one by one and hands each to `handle` until it
// returns true (that packet answered the caller) or the queue is empty.
// Returns whether a packet answered.
template <typename Handle>
bool takeWaitingUntil(Handle handle) {
    Packet packet;
    while (linkPacketWaiting()) {
        linkTakePacket(packet);
        if (handle(packet))
            return true;
    }
    return false;
}

// Reads a little-endian value of `width` bytes at `offset` of a payload.
// Bytes past the payload's length read as 0, never as an older packet's.
uint32_t payloadValue(const Packet& packet, int32_t offset, int32_t width);
