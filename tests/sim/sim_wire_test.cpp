#include "sim/sim_wire.h"

#include <gtest/gtest.h>

#include "link/test_frames.h"

namespace {

using sim::wire::encodeFrame;
using sim::wire::Frame;

std::vector<Frame> decodeAll(const Bytes& stream) {
    sim::wire::FrameDecoder decoder;
    std::vector<Frame> frames;
    Frame frame;
    for (uint8_t b : stream) {
        if (decoder.feed(b, frame))
            frames.push_back(frame);
    }
    return frames;
}

TEST(SimFrames, EncoderAndDecoderAgreeWithTheReferenceFrames) {
    for (const ReferenceFrame& v : kReferenceFrames) {
        SCOPED_TRACE(v.name);
        EXPECT_EQ(encodeFrame(v.id, v.payload), v.wire);
        const std::vector<Frame> frames = decodeAll(v.wire);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0].id, v.id);
        EXPECT_EQ(frames[0].payload, v.payload);
        EXPECT_TRUE(frames[0].checksumOk);
    }
    Bytes wrong = kReferenceFrames[0].wire;
    wrong[5] ^= 0x01;
    ASSERT_EQ(decodeAll(wrong).size(), 1u);
    EXPECT_FALSE(decodeAll(wrong)[0].checksumOk);
    EXPECT_FALSE(decodeAll(encodeFrame(10, {1, 2}, 1))[0].checksumOk);
}

// Stuffed bytes in the payload are covered by every screen transfer; these
// are the edges of the size byte.
TEST(SimFrames, SizeOfSixteenIsDoubledAndPayloadsStopAt255) {
    const Bytes sixteen = encodeFrame(69, Bytes(16, 0x20));
    EXPECT_EQ(Bytes(sixteen.begin(), sixteen.begin() + 4), (Bytes{0x10, 69, 0x10, 0x10}));
    ASSERT_EQ(decodeAll(sixteen).size(), 1u);
    EXPECT_EQ(decodeAll(sixteen)[0].payload, Bytes(16, 0x20));
    EXPECT_EQ(decodeAll(encodeFrame(69, Bytes(300, 1)))[0].payload, Bytes(255, 1));
}

TEST(SimFrames, NoiseCutFramesAndWrongSizesGiveWayToTheNextFrame) {
    const Bytes pieces[] = {
        {0x00, 0xFF, 0x03, 0x42},                          // noise
        {0x10, 69, 0x05, 0x01, 0x02},                      // cut by a new start
        {0x10, 0x0A, 0x03, 0x39, 0x00, 0xBA, 0x10, 0x03},  // says 3, has 2
        {0x10, 69, 0xFF},                                  // never ends within its size
        Bytes(400, 0x22),
        encodeFrame(6, {0x31, 0x00}),
    };
    Bytes stream;
    for (const Bytes& piece : pieces) stream.insert(stream.end(), piece.begin(), piece.end());
    const std::vector<Frame> frames = decodeAll(stream);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].id, 6);
    EXPECT_TRUE(frames[0].checksumOk);
}

}  // namespace
