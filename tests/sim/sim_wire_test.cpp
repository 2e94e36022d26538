#include "sim/sim_wire.h"

#include <gtest/gtest.h>

namespace {

using sim::wire::encodeFrame;
using sim::wire::Frame;
using sim::wire::FrameDecoder;
using Bytes = std::vector<uint8_t>;

std::vector<Frame> decodeAll(const Bytes& stream) {
    FrameDecoder decoder;
    std::vector<Frame> frames;
    Frame frame;
    for (uint8_t b : stream) {
        if (decoder.feed(b, frame)) {
            frames.push_back(frame);
        }
    }
    return frames;
}

struct Vector {
    const char* name;
    uint8_t id;
    Bytes payload;
    Bytes wire;
};

const Vector vectors[] = {
    {"list rates", 10, {0x39, 0x00}, {0x10, 0x0A, 0x02, 0x39, 0x00, 0xBB, 0x10, 0x03}},
    {"DLE in payload", 10, {0x10, 0x00}, {0x10, 0x0A, 0x02, 0x10, 0x10, 0x00, 0xE4, 0x10, 0x03}},
    {"acknowledge", 6, {0xFC, 0x00}, {0x10, 0x06, 0x02, 0xFC, 0x00, 0xFC, 0x10, 0x03}},
    {"DLE checksum", 10, {0xE4, 0x00}, {0x10, 0x0A, 0x02, 0xE4, 0x00, 0x10, 0x10, 0x10, 0x03}},
    {"empty", 254, {}, {0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}},
};

TEST(SimFrames, EncoderAndDecoderAgreeWithTheReferenceFrames) {
    for (const Vector& v : vectors) {
        SCOPED_TRACE(v.name);
        EXPECT_EQ(encodeFrame(v.id, v.payload), v.wire);
        const std::vector<Frame> frames = decodeAll(v.wire);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].id, v.id);
        EXPECT_EQ(frames[0].payload, v.payload);
        EXPECT_TRUE(frames[0].checksumOk);
    }
}

TEST(SimFrames, DecoderFlagsAWrongChecksum) {
    Bytes wire = vectors[0].wire;
    wire[5] ^= 0x01;
    const std::vector<Frame> frames = decodeAll(wire);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].checksumOk);
    EXPECT_FALSE(decodeAll(encodeFrame(10, {1, 2}, 1))[0].checksumOk);
}

TEST(SimFrames, SizeOfSixteenIsDoubled) {
    const Bytes wire = encodeFrame(69, Bytes(16, 0x20));
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + 4), (Bytes{0x10, 69, 0x10, 0x10}));
}

TEST(SimFrames, EverySizeRoundTripsWithStuffedBytes) {
    for (size_t size = 0; size <= 255; ++size) {
        Bytes payload(size);
        for (size_t i = 0; i < size; ++i) {
            payload[i] = i % 3 == 0 ? 0x10 : static_cast<uint8_t>(i * 7);
        }
        const std::vector<Frame> frames = decodeAll(encodeFrame(69, payload));
        ASSERT_EQ(frames.size(), 1u) << size;
        EXPECT_EQ(frames[0].payload, payload) << size;
        EXPECT_TRUE(frames[0].checksumOk) << size;
    }
    EXPECT_EQ(decodeAll(encodeFrame(69, Bytes(300, 1)))[0].payload.size(), 255u);
}

TEST(SimFrames, NoiseIsSkippedAndACutFrameGivesWayToTheNext) {
    const Bytes good = encodeFrame(254, {0});
    Bytes stream = {0x00, 0xFF, 0x03, 0x42};
    // A frame cut short: DLE, ID, size, part of the payload, then a new start.
    stream.insert(stream.end(), {0x10, 69, 0x05, 0x01, 0x02});
    stream.insert(stream.end(), good.begin(), good.end());
    const std::vector<Frame> frames = decodeAll(stream);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].id, 254);
    EXPECT_TRUE(frames[0].checksumOk);
}

TEST(SimFrames, FramesWhoseSizeDisagreesOrThatNeverEndAreDropped) {
    Bytes stream = {0x10, 0x0A, 0x03, 0x39, 0x00, 0xBA, 0x10, 0x03};  // says 3, carries 2
    const Bytes good = encodeFrame(6, {0x31, 0x00});
    Bytes endless = {0x10, 69, 0xFF};
    endless.insert(endless.end(), 400, 0x22);
    stream.insert(stream.end(), endless.begin(), endless.end());
    stream.insert(stream.end(), good.begin(), good.end());
    const std::vector<Frame> frames = decodeAll(stream);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].id, 6);
}

}  // namespace
