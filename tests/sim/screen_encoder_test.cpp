#include "sim/screen_encoder.h"

#include <gtest/gtest.h>

#include "reference_decoder.h"

namespace {

using sim::EncodedScreen;
using sim::Picture;
using sim::PostProcess;
using sim::Screen;
using Bytes = std::vector<uint8_t>;

Screen makeScreen(uint8_t type, uint8_t format, uint8_t bpp, PostProcess post = PostProcess::None) {
    Screen s;
    s.screenType = type;
    s.recordFormat = format;
    s.bitsPerPixel = bpp;
    s.postProcess = post;
    if (format == 3) {
        for (int v = 0; v < 16; ++v) {
            s.valueMap[v] = static_cast<uint8_t>((v * 5 + 9) & 15);
        }
    }
    return s;
}

// A picture in colours that the screen reaches through its raw values.
Picture makePicture(const Screen& s, int width, int height) {
    const int rawValues = std::min(1 << s.bitsPerPixel, s.recordFormat == 3 ? 16 : 256);
    Picture p = sim::makeTestPattern(sim::Pattern::Noise, width, height,
                                     std::min(sim::screenColours(s.screenType), rawValues));
    if (s.recordFormat == 3) {
        for (uint8_t& index : p.pixels) {
            index = s.valueMap[index];
        }
    }
    return p;
}

// What a host makes of the records: header parsed by the reference decoder,
// the raw bytes post-processed and turned upright.
Picture decodeAsHost(const Screen& s, const EncodedScreen& e) {
    const auto header = referenceHeader(s.recordFormat, sim::headerRecord(s, e.geometry));
    EXPECT_TRUE(header.has_value());
    Bytes raw = e.raw;
    EXPECT_EQ(raw.size(), static_cast<size_t>(header->rowBytes) * header->rowCount);
    referencePostProcess(s.postProcess, raw);
    return referencePicture(s.recordFormat, *header, raw);
}

uint8_t blankIndex(const Screen& s) {
    return s.recordFormat == 3 ? s.valueMap[0] : 0;
}

struct Kind {
    uint8_t type;
    uint8_t format;
    uint8_t bpp;
    PostProcess post;
    int width;
    int height;
};

// Every screen type, record format and routine, at sizes that leave padding
// bits and odd row lengths.
const Kind kinds[] = {
    {1, 1, 1, PostProcess::ReverseBitOrder, 37, 21},
    {1, 1, 1, PostProcess::None, 16, 9},
    {1, 2, 2, PostProcess::None, 13, 7},
    {2, 1, 2, PostProcess::None, 22, 15},
    {2, 2, 2, PostProcess::SplitEvenOddBytes, 32, 12},
    {2, 2, 4, PostProcess::None, 9, 5},
    {3, 1, 4, PostProcess::None, 11, 6},
    {3, 3, 4, PostProcess::None, 31, 17},
    {3, 3, 2, PostProcess::None, 10, 10},
    {3, 4, 4, PostProcess::None, 19, 23},
    {3, 4, 4, PostProcess::ClearLast28Bytes, 24, 20},
    {3, 4, 8, PostProcess::ClearLast28Bytes, 9, 7},
    {4, 4, 8, PostProcess::None, 17, 29},
    {4, 3, 4, PostProcess::None, 8, 8},
};

TEST(ScreenEncoder, EveryKindAndOrientationDecodesBackToThePicture) {
    for (const Kind& k : kinds) {
        for (int orientation = 0; orientation < 4; ++orientation) {
            for (int padding : {0, 3}) {
                Screen s = makeScreen(k.type, k.format, k.bpp, k.post);
                s.transposed = orientation & 1;
                s.forward = orientation & 2;
                s.rowPadding = padding;
                const Picture picture = makePicture(s, k.width, k.height);
                EncodedScreen e;
                const std::string problem = sim::encodeScreen(s, picture, e);
                if (k.post == PostProcess::SplitEvenOddBytes && e.geometry.size() % 4 != 0) {
                    continue;
                }
                SCOPED_TRACE(testing::Message()
                             << "type " << int(k.type) << " format " << int(k.format)
                             << " orientation " << orientation << " padding " << padding);
                ASSERT_EQ(problem, "");
                EXPECT_EQ(decodeAsHost(s, e), e.expected);
                // Only what the routine blanks may differ from the source.
                size_t differing = 0;
                for (size_t i = 0; i < picture.pixels.size(); ++i) {
                    if (e.expected.pixels[i] != picture.pixels[i]) {
                        EXPECT_EQ(e.expected.pixels[i], blankIndex(s));
                        ++differing;
                    }
                }
                const size_t blankable =
                    k.post == PostProcess::ClearLast28Bytes ? 28u * 8 / k.bpp : 0u;
                EXPECT_LE(differing, blankable);
            }
        }
    }
}

TEST(ScreenEncoder, CroppingDeviceSendsItsWindowWhereTheRoutineFindsIt) {
    Screen s = makeScreen(3, 4, 4, PostProcess::CropWindowSwapNibbles);
    for (bool transposed : {false, true}) {
        s.transposed = transposed;
        const int w = transposed ? 256 : 408, h = transposed ? 408 : 256;
        const Picture picture = sim::makeTestPattern(sim::Pattern::Noise, w, h, 16);
        EncodedScreen e;
        ASSERT_EQ(sim::encodeScreen(s, picture, e), "");
        EXPECT_EQ(e.raw.size(), 52224u);
        EXPECT_EQ(decodeAsHost(s, e), e.expected);
        // Raw row 0 lands in raw row 0 from source row 19; its first 44 bytes
        // (88 pixels) are blank, and rows 234 and below are blank.
        int blank = 0;
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 408; ++x) {
                const int c = transposed ? w - 1 - y : x, r = transposed ? x : y;
                const bool outside = x < 88 || y >= 234;
                if (outside) {
                    EXPECT_EQ(e.expected.at(c, r), 0);
                    ++blank;
                } else {
                    ASSERT_EQ(e.expected.at(c, r), picture.at(c, r));
                }
            }
        }
        EXPECT_EQ(blank, 408 * 256 - 320 * 234);
    }
}

TEST(ScreenEncoder, MonochromeFirstPixelIsTheTopBitOfTheFirstByteSent) {
    Screen s = makeScreen(1, 1, 1, PostProcess::ReverseBitOrder);
    Picture picture{8, 1, {1, 0, 0, 0, 0, 0, 0, 0}, {}};
    EncodedScreen e;
    ASSERT_EQ(sim::encodeScreen(s, picture, e), "");
    EXPECT_EQ(e.raw, (Bytes{0x80}));
    s.postProcess = PostProcess::None;
    ASSERT_EQ(sim::encodeScreen(s, picture, e), "");
    EXPECT_EQ(e.raw, (Bytes{0x01}));
}

TEST(ScreenEncoder, ValueMapIsInvertedAndEvenPixelsAreLowNibbles) {
    Screen s = makeScreen(3, 3, 4);
    for (int v = 0; v < 16; ++v) {
        s.valueMap[v] = static_cast<uint8_t>(15 - v);
    }
    Picture picture{2, 1, {15, 13}, {}};
    EncodedScreen e;
    ASSERT_EQ(sim::encodeScreen(s, picture, e), "");
    EXPECT_EQ(e.raw, (Bytes{0x20}));  // raw 0 for index 15, raw 2 for index 13
}

TEST(ScreenEncoder, SplitDeviceSendsEvenAndOddHalvesInterleaved) {
    Screen s = makeScreen(2, 2, 4, PostProcess::SplitEvenOddBytes);
    // The host's first half comes from the even bytes sent.
    Picture picture{8, 1, {0, 1, 2, 3, 3, 2, 1, 0}, {}};
    EncodedScreen e;
    ASSERT_EQ(sim::encodeScreen(s, picture, e), "");
    // Packed: 10 32 23 01; sent: 10 23 32 01.
    EXPECT_EQ(e.raw, (Bytes{0x10, 0x23, 0x32, 0x01}));
}

TEST(ScreenEncoder, HeadersHaveTheFieldsAtTheirOffsets) {
    Screen s = makeScreen(2, 1, 2);
    s.transposed = true;
    s.forward = false;
    const sim::RawGeometry g{40, 240, 160};
    const Bytes f1 = sim::headerRecord(s, g);
    EXPECT_EQ(f1,
              (Bytes{0, 0, 1, 0xA5, 0, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 40, 0, 2, 0, 240, 0, 160, 0}));
    s.recordFormat = 2;
    const Bytes f2 = sim::headerRecord(s, g);
    EXPECT_EQ(f2,
              (Bytes{0, 1, 0xA5, 0, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 40, 0, 2, 0, 240, 0, 160, 0}));
    s = makeScreen(3, 3, 4);
    const Bytes f3 = sim::headerRecord(s, sim::RawGeometry{160, 320, 240});
    ASSERT_EQ(f3.size(), 40u);
    EXPECT_EQ(Bytes(f3.begin(), f3.begin() + 24),
              (Bytes{0, 0, 0, 0, 0,    1, 0x5A, 0x5A, 160, 0, 0, 0,
                     4, 0, 0, 0, 0x40, 1, 0,    0,    240, 0, 0, 0}));
    EXPECT_EQ(Bytes(f3.begin() + 24, f3.end()), Bytes(s.valueMap.begin(), s.valueMap.end()));
    s.recordFormat = 4;
    EXPECT_EQ(sim::headerRecord(s, sim::RawGeometry{160, 320, 240}).size(), 40u);
}

TEST(ScreenEncoder, ChunksCarryTheirOffsetInEachLayout) {
    const Bytes data{0xAA, 0xBB};
    EXPECT_EQ(sim::pixelChunkRecord(1, 0x01020304, data.data(), 2),
              (Bytes{1, 0, 4, 3, 2, 1, 0xAA, 0xBB}));
    EXPECT_EQ(sim::pixelChunkRecord(2, 0x01020304, data.data(), 2),
              (Bytes{1, 4, 3, 2, 1, 0xAA, 0xBB}));
    EXPECT_EQ(sim::pixelChunkRecord(3, 0x01020304, data.data(), 2),
              (Bytes{1, 0, 0, 0, 4, 3, 2, 1, 0xAA, 0xBB}));
    EXPECT_EQ(sim::paletteChunkRecord(240, data.data(), 2),
              (Bytes{2, 0, 0, 0, 240, 0, 0, 0, 0xAA, 0xBB}));
}

TEST(ScreenEncoder, RefusesPicturesTheDeviceCannotShow) {
    struct Case {
        const char* what;
        Screen screen;
        Picture picture;
    };
    const Picture mono{4, 1, {0, 1, 1, 0}, {}};
    const Picture four{4, 1, {0, 1, 2, 3}, {}};
    Screen valueMapMissingThree = makeScreen(3, 3, 4);
    valueMapMissingThree.valueMap.fill(1);
    const Case cases[] = {
        {"colour beyond a mono screen", makeScreen(1, 1, 1), four},
        {"colour beyond the raw bits", makeScreen(3, 4, 1), four},
        {"format 3 with 8-bit raw values", makeScreen(3, 3, 8), mono},
        {"value map reaching no raw value", valueMapMissingThree, four},
        {"screen type 5", makeScreen(5, 1, 1), mono},
        {"record format 0", makeScreen(1, 0, 1), mono},
        {"3 bits per pixel", makeScreen(2, 1, 3), mono},
        {"split of 2 bytes", makeScreen(2, 2, 4, PostProcess::SplitEvenOddBytes), four},
        {"crop of a small screen", makeScreen(3, 4, 4, PostProcess::CropWindowSwapNibbles), four},
        {"clear of a tiny screen", makeScreen(3, 4, 4, PostProcess::ClearLast28Bytes), four},
        {"pixel count", makeScreen(1, 1, 1), Picture{5, 1, {0, 1}, {}}},
        {"no pixels", makeScreen(1, 1, 1), Picture{}},
        {"too wide", makeScreen(1, 1, 1), Picture{5000, 1, Bytes(5000, 0), {}}},
    };
    for (const Case& c : cases) {
        EncodedScreen e;
        EXPECT_NE(sim::encodeScreen(c.screen, c.picture, e), "") << c.what;
    }
}

}  // namespace
