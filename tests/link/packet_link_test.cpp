// Framing on the way out, and the receive state machine with its ring and
// queue on the way in.
#include "link/packet_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/test_frames.h"
#include "serial/fake_serial_device.h"
#include "serial/serial_port.h"
#include "support/test_support.h"

namespace {

void feed(const Bytes& bytes) {
    for (uint8_t b : bytes) linkReceiveByte(b);
}

struct Taken {
    uint16_t id;
    Bytes payload;
    int32_t valid;
    bool operator==(const Taken&) const = default;
};

Taken takeOne() {
    uint8_t buffer[255];
    uint16_t id = 0;
    int32_t length = -1;
    const int32_t valid = linkTakePacket(id, buffer, length);
    return {id, Bytes(buffer, buffer + length), valid};
}

std::vector<Taken> takeAll() {
    std::vector<Taken> all;
    while (linkPacketWaiting()) all.push_back(takeOne());
    return all;
}

// A payload of `n` bytes free of DLE.
Bytes plainPayload(size_t n, uint8_t seed) {
    Bytes p(n);
    for (size_t i = 0; i < n; ++i) {
        p[i] = static_cast<uint8_t>(seed + i * 3);
        if (p[i] == 0x10)
            p[i] = 0x11;
    }
    return p;
}

void resetLink() {
    linkSetOverflow(0);
    linkResetReceiver();
}

class PacketLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetLink();
        ASSERT_EQ(serialOpen(1), 1);
    }
    void TearDown() override { resetLink(); }
    Bytes sent(uint16_t id, const Bytes& payload) {
        fake.device.writes.clear();
        EXPECT_EQ(linkSendPacket(id, payload.data(), static_cast<uint32_t>(payload.size())), 0);
        EXPECT_EQ(fake.device.writes.size(), 1u) << "one write per frame";
        return fake.device.writes.empty() ? Bytes{} : fake.device.writes[0];
    }
    ScopedSleepRecorder sleeps;  // closing the port pauses
    ScopedFakeSerial fake;
};

// --- Sending -------------------------------------------------------------------

TEST_F(PacketLinkTest, FramesGoOutByteForByteWithEveryDleDoubled) {
    for (const ReferenceFrame& v : kReferenceFrames)
        EXPECT_EQ(sent(v.id, v.payload), v.wire) << v.name;
    EXPECT_EQ(sent(0x110A, {}), (Bytes{0x10, 0x0A, 0x00, 0xF6, 0x10, 0x03}))
        << "only the low byte of the ID goes out";
    // A doubled size byte, and the longest frame: 255 doubled payload bytes.
    for (const Bytes& payload : {Bytes(16, 0x01), Bytes(255, 0x10)})
        EXPECT_EQ(sent(69, payload), frameOf(69, payload));
}

TEST_F(PacketLinkTest, NothingIsSentWithoutAPortOrForAnOverlongPayload) {
    fake.device.writes.clear();
    const Bytes payload(256, 0);
    EXPECT_EQ(linkSendPacket(69, payload.data(), 256), -1);
    serialClose();
    EXPECT_EQ(linkSendPacket(254, payload.data(), 1), -1);
    EXPECT_TRUE(fake.device.writes.empty());
}

// --- Receiving: the state machine as a table --------------------------------------

struct RxCase {
    std::string name;
    Bytes wire;
    std::vector<Taken> expected;
};

TEST_F(PacketLinkTest, FramesAreTakenAsTheStateMachineSays) {
    std::vector<RxCase> cases = {
        // clang-format off
        {"doubled size 16", frameOf(0x45, plainPayload(16, 0x40)),
         {{0x45, plainPayload(16, 0x40), 1}}},
        {"garbage before the frame",
         {0x00, 0xFF, 0x03, 0x39, 0x10, 0x06, 0x02, 0xFC, 0x00, 0xFC, 0x10, 0x03},
         {{6, {0xFC, 0}, 1}}},
        {"wrong checksum", {0x10, 0x0A, 0x02, 0x39, 0x00, 0xBC, 0x10, 0x03}, {{10, {0x39, 0}, 0}}},
        {"fewer bytes than the size says", {0x10, 0x0A, 0x03, 0x39, 0x00, 0xBB, 0x10, 0x03},
         {{10, {0x39, 0, 0xBB}, 0}}},
        {"more bytes than the size says", {0x10, 0x0A, 0x01, 0x39, 0x00, 0xBB, 0x10, 0x03},
         {{10, {0x39}, 0}}},
        {"frame cut by a new start",
         {0x10, 0x0A, 0x02, 0x39, 0x10, 0x06, 0x02, 0xFC, 0x00, 0xFC, 0x10, 0x03},
         {{6, {0xFC, 0}, 1}}},
        {"two frames back to back",
         {0x10, 0x0A, 0x02, 0x39, 0x00, 0xBB, 0x10, 0x03,
          0x10, 0xFF, 0x04, 0xD2, 0x00, 0xFA, 0x00, 0x31, 0x10, 0x03},
         {{10, {0x39, 0}, 1}, {255, {0xD2, 0, 0xFA, 0}, 1}}},
        // A frame end with no frame open gives no packet.
        {"a stray frame end after a whole frame",
         {0x10, 0x0A, 0x02, 0x39, 0x00, 0xBB, 0x10, 0x03, 0x10, 0x03}, {{10, {0x39, 0}, 1}}},
        {"the tail of a frame cut by a reset", {0x0A, 0x02, 0x39, 0x10, 0x03}, {}},
        // clang-format on
    };
    for (const ReferenceFrame& v : kReferenceFrames)
        cases.push_back({v.name, v.wire, {{v.id, v.payload, 1}}});
    for (const RxCase& c : cases) {
        SCOPED_TRACE(c.name);
        linkResetReceiver();
        feed(c.wire);
        EXPECT_EQ(takeAll(), c.expected);
        EXPECT_EQ(linkReceiveState(), RxHunt);
        // The queue is empty now: taking from it gives nothing.
        uint8_t buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        uint16_t id = 0;
        int32_t length = 99;
        EXPECT_EQ(linkTakePacket(id, buffer, length), 0);
        EXPECT_EQ(id, 65535);
        EXPECT_EQ(length, 0);
        EXPECT_THAT(buffer, ::testing::Each(0xAA)) << "nothing copied";
    }
}

// --- Ring, queue and overflow ------------------------------------------------------

TEST_F(PacketLinkTest, TheRingHolds65534BytesBeforeTheOldestUnreadPacket) {
    // The oldest packet starts at ring position 0 and stays unread. Bytes may
    // be stored up to position 65533: 2 + 256 * 255 + 252 stored bytes.
    feed(frameOf(0x20, {0x01}));
    const Bytes payload = plainPayload(254, 0x30);
    for (int i = 0; i < 256; ++i) feed(frameOf(0x21, payload));
    ASSERT_EQ(linkOverflow(), 0);
    const Bytes last = frameOf(0x22, payload);
    size_t fedPayload = 0;
    for (size_t i = 0; i < last.size() && !linkOverflow(); ++i) {
        linkReceiveByte(last[i]);
        if (i >= 3 && !linkOverflow())
            ++fedPayload;
    }
    EXPECT_EQ(linkOverflow(), 1);
    EXPECT_EQ(fedPayload, 252u) << "the 253rd payload byte would reach the unread packet";

    // Every complete packet survived intact.
    const std::vector<Taken> got = takeAll();
    ASSERT_EQ(got.size(), 257u);
    EXPECT_EQ(got[0].payload, Bytes{0x01});
    for (size_t i = 1; i < got.size(); ++i) ASSERT_EQ(got[i].payload, payload) << i;
}

TEST_F(PacketLinkTest, OverflowIsStickyAcrossResetUntilCleared) {
    feed({0x10, 0x0A, 0x02, 0x39});
    linkSetOverflow(1);
    feed({0x55, 0x10, 0x03});
    EXPECT_EQ(linkPacketWaiting(), 0) << "bytes are dropped while the flag is up";
    linkSetOverflow(0);
    EXPECT_EQ(linkReceiveState(), RxData) << "clearing resumes where reception stopped";
    feed({0x00, 0xBB, 0x10, 0x03});
    EXPECT_EQ(takeOne().payload, (Bytes{0x39, 0x00}));

    linkSetOverflow(1);
    linkResetReceiver();
    feed(frameOf(0x20, {1}));
    EXPECT_EQ(linkPacketWaiting(), 0) << "a reset does not clear the flag";
    EXPECT_EQ(linkOverflow(), 1);
    linkSetOverflow(0);
    feed(frameOf(0x20, {1}));
    EXPECT_EQ(takeOne(), (Taken{0x20, {1}, 1}));
}

TEST_F(PacketLinkTest, TheRingAndQueueWrapAtTheirSizeWithoutLoss) {
    // More frames than queue entries and several times the ring's bytes,
    // each taken as it arrives: every packet, also those spanning the ring's
    // end, must come out whole.
    for (int i = 0; i < 70000; ++i) {
        const uint8_t id = static_cast<uint8_t>(0x20 + i % 200);
        const size_t length = (i % 16 == 0) ? 255 - i % 3 : static_cast<size_t>(i % 7);
        const Bytes payload = plainPayload(length, static_cast<uint8_t>(i));
        feed(frameOf(id, payload));
        ASSERT_EQ(takeOne(), (Taken{id, payload, 1})) << i;
    }
    EXPECT_EQ(linkOverflow(), 0);
}

TEST_F(PacketLinkTest, AFullQueueDropsItsOldestPacket) {
    // Frames with no checksum byte store nothing, so only the queue fills.
    for (int i = 0; i < 65535; ++i)
        feed({0x10, static_cast<uint8_t>(0x20 + i % 200), 0x00, 0x10, 0x03});
    EXPECT_EQ(linkOverflow(), 0);
    const std::vector<Taken> got = takeAll();
    ASSERT_EQ(got.size(), 65534u);
    EXPECT_EQ(got.front().id, 0x21) << "the first frame was dropped";
    EXPECT_EQ(got.back().id, 0x20 + 65534 % 200);
    EXPECT_EQ(got.front().valid, 0);
}

TEST_F(PacketLinkTest, AFrameThatNeverEndsAndA64KibBurstOfNoiseAreSurvived) {
    feed({0x10, 0x45, 0xFF});
    for (int i = 0; i < 70000 && !linkOverflow(); ++i) linkReceiveByte(0x55);
    EXPECT_EQ(linkOverflow(), 1) << "the arriving packet's own start is protected";
    EXPECT_EQ(linkPacketWaiting(), 0);

    resetLink();
    uint32_t x = 12345;
    for (int i = 0; i < 65536; ++i) {
        x = x * 1103515245u + 12345u;
        linkReceiveByte(static_cast<uint8_t>(x >> 16));
    }
    for (int i = 0; i < 70000 && linkPacketWaiting(); ++i)
        ASSERT_LE(takeOne().payload.size(), 255u);
    resetLink();
    feed(frameOf(0x45, {1, 2, 3}));
    EXPECT_EQ(takeOne().payload, (Bytes{1, 2, 3}));
}

}  // namespace
