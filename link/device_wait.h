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
// idle counters of the operations from ever rising; a wait therefore also
// ends after kMaxPasses passes (10 s), far beyond every budget that the
// operations count.
class TickPacer {
  public:
    static constexpr uint32_t kPassesPerSecond = 200;
    static constexpr uint32_t kMaxPasses = 10 * kPassesPerSecond;

    TickPacer();
    ~TickPacer();
    TickPacer(const TickPacer&) = delete;
    TickPacer& operator=(const TickPacer&) = delete;

    // Blocks until the tick of the next pass is pending.
    void beginPass();
    // Clears the tick; a tick that fell during the pass goes with it.
    void endPass();
    uint32_t passes() const { return passes_; }

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

// The wait for the answer to a request, counting the passes whose poll read
// nothing against the operation's budget.
//
// A receiver whose screen was being downloaded when the capture stopped goes
// on sending it to the end (about a minute and a half for the largest at
// 9600 bit/s) and hears no request meanwhile. So a wait given a request to
// repeat, that has taken nothing but screen records, outwaits them: they are
// not its answer, its passes are not idle and the 10 s cap does not apply;
// once the line has been quiet for kStreamQuietPasses after them, the request
// goes out again and the wait starts afresh with its whole budget, so the
// receiver is found as soon as it is done. kStreamPasses bounds such a wait,
// and a stop request still ends it at the next pass. Noise that never forms a
// packet starts no stream and ends at the 10 s cap.
class RequestWait {
  public:
    // Quiet after a screen record that tells the stream is over: the receiver
    // sends its screen without pauses. A longer pause costs only a request
    // that goes unheard; the records that follow are outwaited afresh.
    static constexpr uint32_t kStreamQuietPasses = 50;
    // The largest screens, those of the 256-colour products, are 240 x 320 at
    // 8 bits a pixel: 76800 bytes in 311 records of 247 behind an 8-byte
    // head, a header and 4 palette records, each framed in 6 bytes: about
    // 82 kB, 86 s at 960 bytes a second (9600 bit/s). Three minutes leave
    // room for every 0x10 sent twice.
    static constexpr uint32_t kStreamPasses = 180 * TickPacer::kPassesPerSecond;

    // Starts the tick timer; the caller has sent the request. The wait ends
    // unanswered after `noDataPasses` idle passes. With `resend`, the
    // function that sends the request again, a screen stream is outwaited;
    // without it, screen records are packets like any other.
    explicit RequestWait(uint32_t noDataPasses, void (*resend)() = nullptr);

    void beginPass() { pacer_.beginPass(); }
    // Records whether the pass read bytes. True when it counted as idle.
    bool countPass(bool readBytes);
    uint32_t idlePasses() const { return idle_; }
    // takeWaitingUntil, keeping the records of a stream from `handle`.
    template <typename Handle>
    bool takeUntil(Handle handle) {
        return takeWaitingUntil([&](const Packet& p) { return !outwaits(p) && handle(p); });
    }
    // Ends the pass; false when the wait is over. Sends the request again
    // when a stream has ended.
    bool endPass();

  private:
    bool outwaits(const Packet& packet);
    void restart();

    uint32_t budget_;
    void (*resend_)();
    TickPacer pacer_;
    uint32_t idle_ = 0;
    uint32_t quiet_ = 0;
    uint32_t freshFrom_ = 0;  // the pass at which the present wait began
    bool streaming_ = false;  // taken screen records and nothing else
    bool otherTaken_ = false;
};

// Reads a little-endian value of `width` bytes at `offset` of a payload.
// Bytes past the payload's length read as 0, never as an older packet's.
uint32_t payloadValue(const Packet& packet, int32_t offset, int32_t width);
