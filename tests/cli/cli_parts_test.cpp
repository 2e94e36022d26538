#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli_options.h"
#include "cli/png_file.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace {

// --- Options -----------------------------------------------------------------

// The short forms are used end to end; the long forms take "=VALUE" too.
TEST(CliOptions, LongFormsTakeTheirValueAfterAnEqualsSign) {
    CliOptions o;
    std::string error;
    ASSERT_EQ(parseCliArguments({"--port=2", "--baud=57600", "--dir=shots", "--every=2.5",
                                 "--count=3", "--quiet", "capture"},
                                o, error),
              CliParse::Run)
        << error;
    EXPECT_EQ(o.command, CliCommand::Capture);
    EXPECT_EQ(o.port, "2");
    EXPECT_EQ(o.baudChoice, 5);
    EXPECT_EQ(o.directory, "shots");
    EXPECT_DOUBLE_EQ(o.everySeconds, 2.5);
    EXPECT_EQ(o.count, 3u);
    EXPECT_TRUE(o.quiet);
    ASSERT_EQ(
        parseCliArguments({"capture", "--baud=auto", "--output=x.PNG", "--simulate=166"}, o, error),
        CliParse::Run)
        << error;
    EXPECT_EQ(o.baudChoice, 1);
    EXPECT_EQ(o.output, "x.PNG");
    EXPECT_EQ(o.simulate, 166);
    ASSERT_EQ(parseCliArguments({"--simulate", "query"}, o, error), CliParse::Run);
    EXPECT_TRUE(o.simulate.has_value());
}

TEST(CliOptions, RefusesWhatCannotBeRun) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"photograph"},
        {"query", "capture"},
        {"--port"},
        {"-b", "4800", "query"},
        {"-o", "picture.jpg", "capture"},
        {"-o", "a.bmp", "-d", "dir", "capture"},
        {"-o", "a.bmp", "--every", "5", "capture"},
        {"--every", "0", "capture"},
        {"--every", "soon", "capture"},
        {"--count", "0", "capture"},
        {"-d", "dir", "query"},
        {"--simulate=70000", "query"},
        {"--simulate", "--port=2", "query"},
        {"--quiet=yes", "query"},
        {"--frobnicate", "query"},
    };
    for (const auto& args : bad) {
        CliOptions o;
        std::string error;
        EXPECT_EQ(parseCliArguments(args, o, error), CliParse::Usage)
            << testing::PrintToString(args);
        EXPECT_FALSE(error.empty()) << testing::PrintToString(args);
    }
    CliOptions o;
    std::string error;
    EXPECT_EQ(parseCliArguments({"query", "--help"}, o, error), CliParse::Help);
    EXPECT_EQ(parseCliArguments({"/?"}, o, error), CliParse::Help);
    EXPECT_EQ(parseCliArguments({"--version"}, o, error), CliParse::Version);
}

// --- PNG (the pictures themselves are checked end to end) ------------------------

// A bitmap of 3 x 2 pixels at `bits` per pixel with four colours; its rows
// bottom-up, each padded to four bytes.
BitmapInfo smallBitmap(uint16_t bits) {
    BitmapInfo info{};
    info.header = {40, 3, 2, 1, bits, 0, 8, 0, 0, 4, 0};
    for (uint8_t i = 0; i < 4; ++i) {
        info.palette[i] = RGBQUAD{i, static_cast<uint8_t>(3 * i), static_cast<uint8_t>(255 - i), 0};
    }
    return info;
}

// Indices top row first; index 9, beyond the four colours, gets a black entry.
TEST(PngFile, EveryDepthGivesItsIndicesAndBadHeadersAreRefused) {
    const struct {
        uint16_t bits;
        std::vector<uint8_t> pixels;
        std::vector<uint8_t> indices;
    } cases[] = {
        {1, {0x40, 0, 0, 0, 0xA0, 0, 0, 0}, {1, 0, 1, 0, 1, 0}},
        {4, {0x23, 0, 0, 0, 0x01, 0x90, 0, 0}, {0, 1, 9, 2, 3, 0}},
        {8, {3, 2, 1, 0, 0, 1, 9, 0}, {0, 1, 9, 3, 2, 1}},
    };
    for (const auto& c : cases) {
        const BitmapInfo info = smallBitmap(c.bits);
        IndexedPicture picture;
        ASSERT_TRUE(indexedPictureOf(info, c.pixels, picture)) << c.bits;
        EXPECT_EQ(picture.indices, c.indices) << c.bits;
        ASSERT_EQ(picture.palette.size(), c.bits == 1 ? 4u : 10u) << c.bits;
        EXPECT_EQ(picture.palette[3], info.palette[3]);
        EXPECT_EQ(picture.palette.back(), c.bits == 1 ? info.palette[3] : RGBQUAD{});
    }
    const BitmapInfo info = smallBitmap(4);
    IndexedPicture picture;
    for (auto damage : {+[](BITMAPINFOHEADER& h) { h.biHeight = 3; },
                        +[](BITMAPINFOHEADER& h) { h.biBitCount = 24; },
                        +[](BITMAPINFOHEADER& h) { h.biWidth = -3; },
                        +[](BITMAPINFOHEADER& h) { h.biClrUsed = 1000; }}) {
        BitmapInfo wrong = info;
        damage(wrong.header);
        EXPECT_FALSE(indexedPictureOf(wrong, cases[1].pixels, picture));
    }
}

TEST(PngFile, UnwritablePlaceIsReportedAndAnOldFileReplacedWhole) {
    TempDir dir;
    const std::vector<uint8_t> pixels(8);
    const BitmapInfo info = smallBitmap(4);
    ScopedMessageBoxRecorder boxes;
    const std::string path = dir.file("missing/p.png");
    EXPECT_FALSE(pngSave(info, pixels, path));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "ERROR: Unable to open file " + path);
    EXPECT_EQ(boxes.shown()[0].caption, "Lumagrab");
    writeFileBytes(dir.file("old.png"), {1, 2, 3});
    ASSERT_TRUE(pngSave(info, pixels, dir.file("old.png")));
    const std::vector<uint8_t> bytes = readFileBytes(dir.file("old.png"));
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
}

}  // namespace
