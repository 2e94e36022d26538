// Frames sent through the real serial layer come back whole: linkSendPacket
// writes to a pseudo-terminal, the test echoes the line back, serialPoll
// feeds the state machine and linkTakePacket gives the packet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <vector>

#include "link/packet_link.h"
#include "link/test_frames.h"
#include "serial/pty_pair.h"
#include "serial/serial_port.h"
#include "support/test_support.h"

namespace {

TEST(PacketLinkPty, RandomPayloadsRoundTripThroughThePort) {
    PtyPair pty;
    ScopedSleepRecorder sleeps;
    ScopedOpenPort port(pty.slavePath());
    ASSERT_TRUE(port.opened()) << serialLastOpenError();

    std::mt19937 random(20240611);
    for (int round = 0; round < 200; ++round) {
        uint16_t id;
        do {
            id = static_cast<uint16_t>(random() & 0xFF);
        } while (id == 0x10 || id == 0x03);  // never received as IDs
        Bytes payload(random() % 256);
        for (uint8_t& b : payload) b = (random() % 4 == 0) ? 0x10 : static_cast<uint8_t>(random());

        ASSERT_EQ(linkSendPacket(id, payload.data(), static_cast<uint32_t>(payload.size())), 0);
        const Bytes expected = frameOf(static_cast<uint8_t>(id), payload);
        const Bytes frame = pty.receive(expected.size());
        ASSERT_EQ(frame, expected) << "round " << round;
        pty.send(frame);

        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!linkPacketWaiting() && std::chrono::steady_clock::now() < deadline) {
            if (serialPoll() == 0)
                usleep(500);
        }
        Packet p;
        ASSERT_EQ(linkTakePacket(p), 1) << "round " << round;
        EXPECT_EQ(p.id, id);
        EXPECT_EQ(Bytes(p.payload, p.payload + p.length), payload);
        EXPECT_EQ(linkPacketWaiting(), 0);
    }
}

}  // namespace
