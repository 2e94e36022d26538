// Arbitrary bytes through the receive state machine, with packets taken now
// and then into a buffer of exactly 255 bytes; then the same bytes framed by
// linkSendPacket must come back whole.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "link/packet_link.h"
#include "serial/fake_serial_device.h"
#include "serial/serial_port.h"

namespace {

FakeSerialDevice gDevice;  // keeps every frame the port writes

bool openCapturePort() {
    serialSetBackend(&gDevice);
    serialInit();
    return serialOpen(1) == 1;
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

// Takes one packet into a heap block of exactly 255 bytes, so that any write
// past it is caught.
void takeOne() {
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[frame::MaxPayload]);
    const bool waiting = linkPacketWaiting() != 0;
    uint16_t id = 0;
    int32_t length = -1;
    const int32_t valid = linkTakePacket(id, buffer.get(), length);
    check(length >= 0 && length <= 255);
    check(valid == 0 || valid == 1);
    // Every queued packet began with a DLE and an ID byte: none is a phantom.
    check(waiting ? id <= 255 : id == PacketId::None);
}

void drainQueue() {
    for (int i = 0; i < 65535 && linkPacketWaiting(); ++i) takeOne();
}

// Ends or abandons any frame in progress, so that the next DLE and ID start a
// packet, and empties the queue. A full reset walks all 65535 queue entries;
// once per input it would cut the run rate tenfold, so the ring and queue
// positions carry over from input to input instead, which also moves the
// wrap points around.
void freshReceiver() {
    linkSetOverflow(0);
    linkReceiveByte(frame::Dle);
    linkReceiveByte(frame::Etx);
    drainQueue();
}

void roundTrip(const uint8_t* data, size_t size) {
    const uint8_t id = data[0];
    if (id == 0x10 || id == 0x03)
        return;  // cannot be received as IDs
    const uint32_t length = size - 1 < 255 ? static_cast<uint32_t>(size - 1) : 255;
    freshReceiver();
    gDevice.writes.clear();
    check(linkSendPacket(id, data + 1, length) == 0 && gDevice.writes.size() == 1);
    for (uint8_t b : gDevice.writes[0]) linkReceiveByte(b);
    Packet p;
    check(linkTakePacket(p) == 1);
    check(p.id == id && p.length == static_cast<int32_t>(length));
    check(std::memcmp(p.payload, data + 1, length) == 0);
    check(linkPacketWaiting() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = openCapturePort() && (linkResetReceiver(), true);
    check(ready);
    if (size == 0)
        return 0;
    freshReceiver();
    const size_t takeEvery = (data[0] % 32) + 1;
    for (size_t i = 1; i < size; ++i) {
        linkReceiveByte(data[i]);
        if (i % takeEvery == 0)
            takeOne();
        if (data[i] == 0xA5 && i % 7 == 0)
            linkSetOverflow(0);
    }
    drainQueue();
    roundTrip(data, size);
    return 0;
}
