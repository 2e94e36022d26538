#include "link/packet_link.h"

#include <cstring>

#include "serial/serial_port.h"

namespace {

constexpr uint16_t kRingSize = 65535;
constexpr uint16_t kQueueSize = 65535;
// DLE, ID, size, payload, checksum (each possibly doubled), DLE ETX.
constexpr uint32_t kMaxFrame = 2 + 2 * (1 + frame::MaxPayload + 1) + 2;

struct PacketQueueEntry {
    uint16_t identifier;
    uint16_t start;
    uint16_t length;
    int32_t valid;
};

struct Receiver {
    uint16_t ringWrite = 0;
    uint16_t queueWrite = 0;
    uint16_t queueRead = 0;
    ReceiveState state = RxHunt;
    uint8_t sum = 0;
    uint16_t remaining = 0;
    uint8_t overflow = 0;
    // A packet start has been seen since the last frame end or reset: the
    // entry at the write index then describes bytes being stored now.
    bool frameOpen = false;
};

uint8_t gReceiveRing[kRingSize];
PacketQueueEntry gPacketQueue[kQueueSize];
Receiver gRx;
// Every entry starts out free.
[[maybe_unused]] const bool gQueueCleared = [] {
    linkResetReceiver();
    return true;
}();

uint16_t nextRing(uint16_t position) {
    return position + 1 == kRingSize ? 0 : position + 1;
}
uint16_t nextQueue(uint16_t index) {
    return index + 1 == kQueueSize ? 0 : index + 1;
}

// True when storing the next byte would reach the first byte of the oldest
// packet not yet taken. With an empty queue and no frame arriving no packet
// is unread, and the start left in the read entry from its last use is stale:
// nothing can be overwritten then.
bool ringFull() {
    const bool unread = gRx.queueRead != gRx.queueWrite || gRx.frameOpen;
    return unread && nextRing(gRx.ringWrite) == gPacketQueue[gRx.queueRead].start;
}

void store(uint8_t byte) {
    gReceiveRing[gRx.ringWrite] = byte;
    gRx.ringWrite = nextRing(gRx.ringWrite);
    gRx.sum = static_cast<uint8_t>(gRx.sum + byte);
    --gRx.remaining;
}

void startPacket(uint8_t id) {
    PacketQueueEntry& entry = gPacketQueue[gRx.queueWrite];
    entry.identifier = id;
    entry.start = gRx.ringWrite;
    gRx.sum = id;
    gRx.remaining = 0;
    gRx.frameOpen = true;
}

void endFrame() {
    gPacketQueue[gRx.queueWrite].valid = (gRx.remaining == 0 && gRx.sum == 0) ? 1 : 0;
    gRx.queueWrite = nextQueue(gRx.queueWrite);
    if (gRx.queueWrite == gRx.queueRead)
        gRx.queueRead = nextQueue(gRx.queueRead);
    gRx.frameOpen = false;
}

void takeSize(uint8_t size) {
    gPacketQueue[gRx.queueWrite].length = size;
    gRx.remaining = static_cast<uint16_t>(size + 1);
    gRx.sum = static_cast<uint8_t>(gRx.sum + size);
}

ReceiveState afterDle(uint8_t byte) {
    if (byte == frame::Etx) {
        // A frame end with no frame open (the tail of a frame cut by a reset,
        // or noise) would commit an entry that describes nothing.
        if (gRx.frameOpen)
            endFrame();
        return RxHunt;
    }
    if (byte == frame::Dle) {
        store(byte);
        return RxData;
    }
    startPacket(byte);
    return RxSize;
}

ReceiveState inSize(uint8_t byte) {
    if (byte == frame::Dle && gRx.remaining == 0) {
        gRx.remaining = 1;  // first half of a doubled size byte
        return RxSize;
    }
    takeSize(byte);
    return RxData;
}

ReceiveState inData(uint8_t byte) {
    if (byte == frame::Dle)
        return RxAfterDle;
    store(byte);
    return RxData;
}

// Appends `byte` to the frame, doubling a DLE.
uint32_t putStuffed(uint8_t* out, uint32_t at, uint8_t byte) {
    out[at++] = byte;
    if (byte == frame::Dle)
        out[at++] = byte;
    return at;
}

}  // namespace

int32_t linkSendPacket(uint16_t id, const uint8_t* payload, uint32_t length) {
    if (length > frame::MaxPayload)
        return -1;
    uint8_t out[kMaxFrame];
    uint32_t at = 0;
    const uint8_t id8 = static_cast<uint8_t>(id);
    out[at++] = frame::Dle;
    out[at++] = id8;
    uint8_t sum = static_cast<uint8_t>(id8 + length);
    at = putStuffed(out, at, static_cast<uint8_t>(length));
    for (uint32_t i = 0; i < length; ++i) {
        sum = static_cast<uint8_t>(sum + payload[i]);
        at = putStuffed(out, at, payload[i]);
    }
    at = putStuffed(out, at, static_cast<uint8_t>(-sum));
    out[at++] = frame::Dle;
    out[at++] = frame::Etx;
    return serialWrite(out, at);
}

int32_t linkSendWord(uint16_t id, uint16_t value) {
    const uint8_t payload[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    return linkSendPacket(id, payload, sizeof payload);
}

void linkReceiveByte(uint8_t byte) {
    if (gRx.overflow)
        return;
    if (ringFull()) {
        gRx.overflow = 1;
        return;
    }
    switch (gRx.state) {
        case RxHunt:
            gRx.state = (byte == frame::Dle) ? RxAfterDle : RxHunt;
            break;
        case RxAfterDle:
            gRx.state = afterDle(byte);
            break;
        case RxSize:
            gRx.state = inSize(byte);
            break;
        case RxData:
            gRx.state = inData(byte);
            break;
        default:
            gRx.state = RxHunt;
            break;
    }
}

int32_t linkPacketWaiting() {
    return gRx.queueRead != gRx.queueWrite ? 1 : 0;
}

int32_t linkTakePacket(uint16_t& id, uint8_t* buffer, int32_t& length) {
    if (gRx.queueRead == gRx.queueWrite) {
        id = PacketId::None;
        length = 0;
        return 0;
    }
    PacketQueueEntry& entry = gPacketQueue[gRx.queueRead];
    id = entry.identifier;
    // The size field only ever holds a size byte; the bound keeps the copy
    // inside the caller's 255 bytes whatever happens.
    const uint16_t count = entry.length <= frame::MaxPayload ? entry.length : frame::MaxPayload;
    length = count;
    const uint16_t start = entry.start < kRingSize ? entry.start : 0;
    const int32_t valid = entry.valid;
    entry.identifier = PacketId::None;
    entry.valid = 0;
    gRx.queueRead = nextQueue(gRx.queueRead);
    const uint16_t firstPart = (kRingSize - start) < count ? kRingSize - start : count;
    std::memcpy(buffer, gReceiveRing + start, firstPart);
    std::memcpy(buffer + firstPart, gReceiveRing, count - firstPart);
    return valid;
}

int32_t linkTakePacket(Packet& packet) {
    packet.valid = linkTakePacket(packet.id, packet.payload, packet.length);
    return packet.valid;
}

void linkResetReceiver() {
    gRx.state = RxHunt;
    gRx.remaining = 0;
    gRx.queueRead = 0;
    gRx.queueWrite = 0;
    gRx.ringWrite = 0;
    gRx.frameOpen = false;
    for (PacketQueueEntry& entry : gPacketQueue) {
        entry.identifier = PacketId::None;
        entry.valid = 0;
    }
}

uint8_t linkOverflow() {
    return gRx.overflow;
}

void linkSetOverflow(uint8_t value) {
    gRx.overflow = value;
}

ReceiveState linkReceiveState() {
    return gRx.state;
}
