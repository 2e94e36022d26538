#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "sim/screen_encoder.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"

namespace {

using sim::Picture;
using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void put32(Bytes& b, size_t at, uint32_t v) {
    put16(b, at, static_cast<uint16_t>(v));
    put16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

// A paletted .bmp of `picture`, bottom-up unless `topDown`.
Bytes bmpOf(const Picture& picture, int bpp, bool topDown = false) {
    const size_t entries = picture.palette.size();
    const size_t stride = (static_cast<size_t>(bpp) * picture.width + 31) / 32 * 4;
    const size_t pixelOffset = 14 + 40 + 4 * entries;
    Bytes b(pixelOffset + stride * picture.height, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(b.size()));
    put32(b, 10, static_cast<uint32_t>(pixelOffset));
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(picture.width));
    put32(b, 22, static_cast<uint32_t>(topDown ? -picture.height : picture.height));
    put16(b, 26, 1);
    put16(b, 28, static_cast<uint16_t>(bpp));
    put32(b, 46, static_cast<uint32_t>(entries));
    for (size_t i = 0; i < entries; ++i) {
        b[54 + 4 * i] = picture.palette[i].blue;
        b[55 + 4 * i] = picture.palette[i].green;
        b[56 + 4 * i] = picture.palette[i].red;
    }
    for (int y = 0; y < picture.height; ++y) {
        const int row = topDown ? y : picture.height - 1 - y;
        for (int x = 0; x < picture.width; ++x) {
            const size_t bit = static_cast<size_t>(x) * bpp;
            b[pixelOffset + row * stride + bit / 8] |=
                static_cast<uint8_t>(picture.at(x, y) << (8 - bpp - bit % 8));
        }
    }
    return b;
}

Picture paletted(int width, int height, int colours) {
    Picture p = sim::makeTestPattern(sim::Pattern::Noise, width, height, colours);
    for (int i = 0; i < colours; ++i) {
        p.palette.push_back(sim::Rgb{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                                     static_cast<uint8_t>(i * 3)});
    }
    return p;
}

TEST(BmpPicture, ReadsEveryPalettedDepthInBothRowOrders) {
    TempDir dir;
    for (int bpp : {1, 4, 8}) {
        for (bool topDown : {false, true}) {
            const Picture picture = paletted(13, 7, 1 << bpp);
            const std::string path = dir.file("p.bmp");
            writeFileBytes(path, bmpOf(picture, bpp, topDown));
            Picture loaded;
            std::string error;
            ASSERT_TRUE(sim::loadPictureBmp(path, loaded, error)) << bpp << ": " << error;
            EXPECT_EQ(loaded, picture) << bpp << (topDown ? " top-down" : " bottom-up");
        }
    }
}

TEST(BmpPicture, RefusesMalformedFilesWithAReason) {
    TempDir dir;
    const Picture picture = paletted(10, 4, 16);
    const Bytes good = bmpOf(picture, 8);
    struct Damage {
        const char* what;
        std::function<void(Bytes&)> apply;
    };
    const Damage damages[] = {
        {"magic", [](Bytes& b) { b[0] = 'X'; }},
        {"compressed", [](Bytes& b) { put32(b, 30, 1); }},
        {"24 bits", [](Bytes& b) { put16(b, 28, 24); }},
        {"two planes", [](Bytes& b) { put16(b, 26, 2); }},
        {"zero width", [](Bytes& b) { put32(b, 18, 0); }},
        {"huge width", [](Bytes& b) { put32(b, 18, 100000); }},
        {"huge top-down height", [](Bytes& b) { put32(b, 22, static_cast<uint32_t>(-100000)); }},
        {"palette beyond depth", [](Bytes& b) { put32(b, 46, 300); }},
        {"small info header", [](Bytes& b) { put32(b, 14, 12); }},
        {"pixels beyond the file", [](Bytes& b) { put32(b, 10, 0xFFFFFFF0u); }},
        {"truncated pixels", [](Bytes& b) { b.resize(b.size() - 3); }},
        {"truncated header", [](Bytes& b) { b.resize(30); }},
        {"colour outside the palette", [](Bytes& b) { b[14 + 40 + 4 * 16] = 200; }},
    };
    for (const Damage& d : damages) {
        Bytes bytes = good;
        d.apply(bytes);
        writeFileBytes(dir.file("bad.bmp"), bytes);
        Picture loaded;
        std::string error;
        EXPECT_FALSE(sim::loadPictureBmp(dir.file("bad.bmp"), loaded, error)) << d.what;
        EXPECT_FALSE(error.empty()) << d.what;
    }
    Picture loaded;
    std::string error;
    EXPECT_FALSE(sim::loadPictureBmp(dir.file("missing.bmp"), loaded, error));
}

TEST(TestPatterns, UseEveryColourAndChangeWhenTurnedOrMirrored) {
    for (sim::Pattern pattern :
         {sim::Pattern::Bars, sim::Pattern::Checker, sim::Pattern::Ramp, sim::Pattern::Noise}) {
        const bool spreads = pattern == sim::Pattern::Bars || pattern == sim::Pattern::Noise;
        for (int colours : {2, 4, 16, spreads ? 256 : 16}) {
            const int side = 64;
            const Picture p = sim::makeTestPattern(pattern, side, side, colours);
            ASSERT_EQ(p.pixels.size(), static_cast<size_t>(side * side));
            const std::set<uint8_t> used(p.pixels.begin(), p.pixels.end());
            EXPECT_EQ(static_cast<int>(used.size()), std::min(colours, side * side))
                << static_cast<int>(pattern) << " " << colours;
            Picture mirrored = p, flipped = p, turned = p, transposed = p;
            for (int y = 0; y < side; ++y) {
                for (int x = 0; x < side; ++x) {
                    mirrored.pixels[y * side + x] = p.at(side - 1 - x, y);
                    flipped.pixels[y * side + x] = p.at(x, side - 1 - y);
                    turned.pixels[y * side + x] = p.at(side - 1 - x, side - 1 - y);
                    transposed.pixels[y * side + x] = p.at(y, x);
                }
            }
            EXPECT_NE(mirrored, p);
            EXPECT_NE(flipped, p);
            EXPECT_NE(turned, p);
            EXPECT_NE(transposed, p);
        }
    }
    sim::Pattern parsed;
    EXPECT_TRUE(sim::parsePattern("checker", parsed));
    EXPECT_EQ(parsed, sim::Pattern::Checker);
    EXPECT_FALSE(sim::parsePattern("plaid", parsed));
}

TEST(ProductPresets, EveryCapturableProductGetsAPlayableScreen) {
    int capturable = 0;
    for (uint16_t id = 0; id < 211; ++id) {
        const sim::Config c = sim::presetForProduct(id);
        EXPECT_EQ(c.productId, id);
        EXPECT_EQ(sim::validateConfig(c), "") << id;
        if (c.screen.screenType == 0) {
            continue;
        }
        ++capturable;
        sim::EncodedScreen e;
        ASSERT_EQ(sim::encodeScreen(c.screen, c.picture, e), "") << id;
        EXPECT_EQ(e.expected, c.picture) << "a preset's capture gives back its picture: " << id;
        const std::set<uint8_t> used(c.picture.pixels.begin(), c.picture.pixels.end());
        EXPECT_EQ(static_cast<int>(used.size()), sim::screenColours(c.screen.screenType)) << id;
        EXPECT_EQ(c.picture.palette.size(), c.screen.recordFormat == 4 ? used.size() : 0u) << id;
    }
    EXPECT_EQ(capturable, 87);
    EXPECT_EQ(sim::presetForProduct(250).screen.screenType, 0);
    EXPECT_EQ(sim::presetForProduct(250).productId, 250);
}

TEST(ProductPresets, ColumnsFollowTheProductTable) {
    struct Row {
        uint16_t id;
        uint8_t type;
        uint8_t format;
        sim::PostProcess post;
    };
    // One row of every kind, and the edges of the ranges.
    const Row rows[] = {
        {0, 0, 0, sim::PostProcess::None},
        {1, 0, 0, sim::PostProcess::None},
        {59, 1, 1, sim::PostProcess::ReverseBitOrder},
        {140, 1, 1, sim::PostProcess::ReverseBitOrder},
        {95, 1, 1, sim::PostProcess::None},
        {146, 2, 1, sim::PostProcess::None},
        {101, 2, 2, sim::PostProcess::None},
        {113, 2, 2, sim::PostProcess::SplitEvenOddBytes},
        {133, 3, 1, sim::PostProcess::None},
        {209, 3, 3, sim::PostProcess::None},
        {136, 3, 4, sim::PostProcess::None},
        {158, 3, 4, sim::PostProcess::ClearLast28Bytes},
        {166, 3, 4, sim::PostProcess::CropWindowSwapNibbles},
        {210, 4, 4, sim::PostProcess::None},
        {207, 0, 0, sim::PostProcess::None},
    };
    for (const Row& r : rows) {
        const sim::Screen s = sim::presetForProduct(r.id).screen;
        EXPECT_EQ(s.screenType, r.type) << r.id;
        EXPECT_EQ(s.recordFormat, r.format) << r.id;
        EXPECT_EQ(s.postProcess, r.post) << r.id;
    }
}

TEST(FaultSwitches, EachNameSetsItsOwnSwitchOnly) {
    const sim::Faults none;
    for (std::string name : sim::faultNames()) {
        name = name.substr(0, name.find('='));
        const std::string faultText = name == "gap"            ? "gap=2.5"
                                 : name == "bad-checksum" ? "bad-checksum=3"
                                                          : name;
        sim::Faults f;
        ASSERT_TRUE(sim::applyFault(faultText, f)) << faultText;
        const int changed =
            (f.silent != none.silent) + (f.answerSecondLinkCheck != none.answerSecondLinkCheck) +
            (f.noProductReply != none.noProductReply) + (f.noRateList != none.noRateList) +
            (f.refuseRateChange != none.refuseRateChange) +
            (f.stopAfterHeader != none.stopAfterHeader) + (f.chunkGapMs != none.chunkGapMs) +
            (f.reverseChunks != none.reverseChunks) +
            (f.badChecksumChunk != none.badChecksumChunk) +
            (f.unknownPackets != none.unknownPackets) + (f.chunkPastEnd != none.chunkPastEnd) +
            (f.shortRecords != none.shortRecords) + (f.raggedPalette != none.raggedPalette) +
            (f.noise != none.noise) + (f.dropLine != none.dropLine);
        EXPECT_EQ(changed, 1) << faultText;
    }
    EXPECT_EQ(sim::faultNames().size(), 15u);
    sim::Faults f;
    ASSERT_TRUE(sim::applyFault("gap=2.5", f));
    EXPECT_EQ(f.chunkGapMs, 2500u);
    ASSERT_TRUE(sim::applyFault("bad-checksum=3", f));
    EXPECT_EQ(f.badChecksumChunk, 3);
    for (const char* bad : {"gap", "gap=", "gap=-1", "gap=x", "gap=1e9", "bad-checksum=-2",
                            "bad-checksum=2x", "silent=1", "nope", ""}) {
        EXPECT_FALSE(sim::applyFault(bad, f)) << bad;
    }
}

TEST(ReceiverConfig, RefusesWhatCannotBePlayed) {
    sim::Config c;
    c.rates.assign(64, 9600);
    EXPECT_NE(sim::validateConfig(c), "");
    c.rates = {9600, 0};
    EXPECT_NE(sim::validateConfig(c), "");
    c = sim::Config{};
    c.initialRate = 0;
    EXPECT_NE(sim::validateConfig(c), "");
    c = sim::presetForProduct(144);
    c.chunkSize = 0;
    EXPECT_NE(sim::validateConfig(c), "");
    c = sim::presetForProduct(59);
    c.picture.pixels[0] = 2;
    EXPECT_NE(sim::validateConfig(c), "");
    VirtualReceiver receiver(c);
    EXPECT_FALSE(receiver.start());
    EXPECT_NE(receiver.error(), "");
}

}  // namespace
