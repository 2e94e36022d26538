#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "catalogue/product_catalogue.h"
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
    constexpr int side = 64;
    for (sim::Pattern pattern :
         {sim::Pattern::Bars, sim::Pattern::Checker, sim::Pattern::Ramp, sim::Pattern::Noise}) {
        const bool spreads = pattern == sim::Pattern::Bars || pattern == sim::Pattern::Noise;
        for (int colours : {2, 4, 16, spreads ? 256 : 16}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(pattern) << " " << colours);
            const Picture p = sim::makeTestPattern(pattern, side, side, colours);
            ASSERT_EQ(p.pixels.size(), static_cast<size_t>(side * side));
            EXPECT_EQ(std::set<uint8_t>(p.pixels.begin(), p.pixels.end()).size(),
                      static_cast<size_t>(colours));
            // Mirrored, flipped, turned and transposed copies all differ.
            const auto moved = [&](auto from) {
                Picture m = p;
                for (int i = 0; i < side * side; ++i) m.pixels[i] = from(i % side, i / side);
                return m;
            };
            EXPECT_NE(moved([&](int x, int y) { return p.at(side - 1 - x, y); }), p);
            EXPECT_NE(moved([&](int x, int y) { return p.at(x, side - 1 - y); }), p);
            EXPECT_NE(moved([&](int x, int y) { return p.at(side - 1 - x, side - 1 - y); }), p);
            EXPECT_NE(moved([&](int x, int y) { return p.at(y, x); }), p);
        }
    }
}

// The receiver keeps its own copy of the catalogue columns; the two copies
// must agree on every product.
TEST(ProductPresets, EveryCapturableProductGetsAPlayableScreenWithItsCatalogueColumns) {
    for (uint16_t id = 0; id < 212; ++id) {
        SCOPED_TRACE(id);
        const sim::Config c = sim::presetForProduct(id);
        EXPECT_EQ(sim::validateConfig(c), "");
        const bool capturable = id < 211 && catalogueSupportsCapture(&ProductCatalogue[id]);
        ASSERT_EQ(c.screen.screenType != 0, capturable);
        if (!capturable)
            continue;
        EXPECT_EQ(c.screen.screenType, ProductCatalogue[id].screenType);
        EXPECT_EQ(c.screen.recordFormat, ProductCatalogue[id].recordFormat);
        // The two enumerations list the same routines in the same order.
        EXPECT_EQ(static_cast<PostProcess>(c.screen.postProcess), ProductCatalogue[id].postProcess);
        const std::set<uint8_t> used(c.picture.pixels.begin(), c.picture.pixels.end());
        constexpr size_t coloursOfType[] = {0, 2, 4, 16, 256};
        EXPECT_EQ(used.size(), coloursOfType[c.screen.screenType]);
        EXPECT_EQ(c.picture.palette.size(), c.screen.recordFormat == 4 ? used.size() : 0u);
    }
}

TEST(FaultSwitches, ValuesAreReadAndChecked) {
    sim::Faults f;
    ASSERT_TRUE(sim::applyFault("gap=2.5", f));
    EXPECT_EQ(f.chunkGapMs, 2500u);
    ASSERT_TRUE(sim::applyFault("bad-checksum=3", f));
    EXPECT_EQ(f.badChecksumChunk, 3);
    // Every other name is switched on by name in a receiver or CLI test.
    ASSERT_TRUE(sim::applyFault("drop-line", f));
    EXPECT_TRUE(f.dropLine);
    for (const char* bad : {"gap", "gap=", "gap=-1", "gap=x", "gap=1e9", "bad-checksum=-2",
                            "bad-checksum=2x", "silent=1", "nope", ""}) {
        EXPECT_FALSE(sim::applyFault(bad, f)) << bad;
    }
}

}  // namespace
