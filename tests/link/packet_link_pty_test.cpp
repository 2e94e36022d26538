// Frames sent through the real serial layer come back whole: linkSendPacket
// writes to a pseudo-terminal, the test echoes the line back, serialPoll
// feeds the state machine and linkTakePacket gives the packet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <vector>

#include "link/packet_link.h"
#include "serial/pty_pair.h"
#include "serial/serial_port.h"
#include "support/test_support.h"

namespace {

// DLE, ID, size, payload, checksum, DLE ETX, with every DLE among size,
// payload and checksum sent twice.
size_t wireLength(uint16_t id, const std::vector<uint8_t>& payload) {
    uint8_t sum = static_cast<uint8_t>(id + payload.size());
    size_t dles = payload.size() == 0x10 ? 1 : 0;
    for (uint8_t b : payload) {
        sum = static_cast<uint8_t>(sum + b);
        dles += b == 0x10 ? 1 : 0;
    }
    dles += static_cast<uint8_t>(-sum) == 0x10 ? 1 : 0;
    return 6 + payload.size() + dles;
}

TEST(PacketLinkPty, RandomPayloadsRoundTripThroughThePort) {
    PtyPair pty;
    ScopedSleepRecorder sleeps;
    const std::string saved = serialPortDevice(2);
    serialSetPortDevice(2, pty.slavePath());
    serialInit();
    serialSetByteHandler(linkReceiveByte);
    linkSetOverflow(0);
    linkResetReceiver();
    ASSERT_EQ(serialOpen(2), 1) << serialLastOpenError();

    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        uint16_t id;
        do {
            id = static_cast<uint16_t>(random() & 0xFF);
        } while (id == 0x10 || id == 0x03);  // never received as IDs
        std::vector<uint8_t> payload(random() % 256);
        for (uint8_t& b : payload) b = (random() % 4 == 0) ? 0x10 : static_cast<uint8_t>(random());

        ASSERT_EQ(linkSendPacket(id, payload.data(), static_cast<uint32_t>(payload.size())), 0);
        const std::vector<uint8_t> frame = pty.receive(wireLength(id, payload));
        pty.send(frame);

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!linkPacketWaiting() && std::chrono::steady_clock::now() < deadline) {
            if (serialPoll() == 0)
                usleep(500);
        }
        Packet p;
        ASSERT_EQ(linkTakePacket(p), 1) << "round " << round;
        EXPECT_EQ(p.id, id);
        ASSERT_EQ(p.length, static_cast<int32_t>(payload.size()));
        EXPECT_EQ(std::vector<uint8_t>(p.payload, p.payload + p.length), payload);
        EXPECT_EQ(linkPacketWaiting(), 0);
    }
    serialClose();
    serialShutdown();
    serialSetPortDevice(2, saved);
}

}  // namespace
