#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/device_messages.h"
#include "cli/png_file.h"
#include "platform/platform.h"
#include "support/test_support.h"

namespace {

// --- Options -----------------------------------------------------------------

CliParse parse(std::vector<std::string> args, CliOptions& o, std::string& error) {
    return parseCliArguments(args, o, error);
}

TEST(CliOptions, ReadsEveryOptionInBothSpellings) {
    CliOptions o;
    std::string error;
    ASSERT_EQ(parse({"-p", "/dev/ttyUSB3", "-b", "57600", "-d", "shots", "--every", "2.5",
                     "--count", "3", "-q", "capture"},
                    o, error),
              CliParse::Run)
        << error;
    EXPECT_EQ(o.command, CliCommand::Capture);
    EXPECT_EQ(o.port, "/dev/ttyUSB3");
    EXPECT_EQ(o.baudChoice, 5);
    EXPECT_EQ(o.directory, "shots");
    EXPECT_DOUBLE_EQ(o.everySeconds, 2.5);
    EXPECT_EQ(o.count, 3u);
    EXPECT_TRUE(o.quiet);
    EXPECT_FALSE(o.simulate);

    ASSERT_EQ(
        parse({"capture", "--port=2", "--baud=auto", "--output=x.PNG", "--simulate=166"}, o, error),
        CliParse::Usage)
        << "--simulate with --port";
    ASSERT_EQ(parse({"capture", "--baud=auto", "--output=x.PNG", "--simulate=166"}, o, error),
              CliParse::Run)
        << error;
    EXPECT_EQ(o.baudChoice, 1);
    EXPECT_EQ(o.output, "x.PNG");
    EXPECT_EQ(o.simulate, 166);
    ASSERT_EQ(parse({"--simulate", "query"}, o, error), CliParse::Run);
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
        {"--every", "-3", "capture"},
        {"--every", "soon", "capture"},
        {"--count", "0", "capture"},
        {"--count", "x", "capture"},
        {"-d", "dir", "query"},
        {"--simulate=70000", "query"},
        {"--simulate=abc", "query"},
        {"--quiet=yes", "query"},
        {"--frobnicate", "query"},
    };
    for (const auto& args : bad) {
        CliOptions o;
        std::string error;
        EXPECT_EQ(parse(args, o, error), CliParse::Usage) << testing::PrintToString(args);
        EXPECT_FALSE(error.empty()) << testing::PrintToString(args);
    }
    CliOptions o;
    std::string error;
    EXPECT_EQ(parse({"query", "--help"}, o, error), CliParse::Help);
    EXPECT_EQ(parse({"--version"}, o, error), CliParse::Version);
}

// --- Messages ----------------------------------------------------------------

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(DeviceMessages, LinesArePaddedToTheBoxWidth) {
    size_t linesOf67 = 0;
    for (int m = 0; m < static_cast<int>(DeviceMessage::Count); ++m) {
        const std::string text = deviceMessageText(static_cast<DeviceMessage>(m));
        EXPECT_NE(text.back(), '\n') << m;
        for (const std::string& line : linesOf(text)) {
            EXPECT_TRUE(line.size() == 69 || line.size() == 67) << m << ": [" << line << "]";
            linesOf67 += line.size() == 67;
        }
    }
    EXPECT_EQ(linesOf67, 2u);
    EXPECT_EQ(linesOf(deviceMessageText(DeviceMessage::NoResponse)).size(), 8u);
    EXPECT_EQ(linesOf(deviceMessageText(DeviceMessage::BaudRate)).size(), 10u);
    EXPECT_EQ(linesOf(deviceMessageText(DeviceMessage::NotFound)).size(), 5u);
    EXPECT_EQ(deviceMessageStyle(DeviceMessage::NotSupported), 0u);
    EXPECT_EQ(deviceMessageStyle(DeviceMessage::NoResponse), msgbox::IconExclamation);
    EXPECT_EQ(deviceMessageStyle(DeviceMessage::NotFound), msgbox::IconInformation);
    EXPECT_EQ(deviceMessageStyle(DeviceMessage::PacketOverrun), msgbox::IconStop);
}

TEST(DeviceMessages, DownloadErrorsAndPaddingRemoval) {
    EXPECT_EQ(downloadErrorMessage(1), DeviceMessage::NoResponse);
    EXPECT_EQ(withoutLinePadding(deviceMessageText(downloadErrorMessage(2))),
              "ERROR:  Unable to allocate memory for bitmap.");
    EXPECT_EQ(withoutLinePadding(deviceMessageText(downloadErrorMessage(7))),
              "Internal Orvane packet buffer overrun.");
    EXPECT_EQ(withoutLinePadding(deviceMessageText(DeviceMessage::NotFound)),
              "Unable to find a GPS.   Please ensure the following and try again:\n\n"
              "1. The GPS's Interface option is set to ORVANE or Host mode\n"
              "2. The cable is connected to the correct serial port\n"
              "3. The GPS is turned on");
    EXPECT_EQ(withoutLinePadding("a  \n  b \n\n"), "a\n  b\n\n");
}

// --- PNG ---------------------------------------------------------------------

struct DecodedPng {
    int colourType = -1;
    int bitDepth = 0;
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> indices;
    std::vector<RGBQUAD> palette;
};

bool readPng(const std::string& path, DecodedPng& d) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    d.width = png_get_image_width(png, info);
    d.height = png_get_image_height(png, info);
    d.colourType = png_get_color_type(png, info);
    d.bitDepth = png_get_bit_depth(png, info);
    png_colorp colours = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &colours, &count);
    for (int i = 0; i < count; ++i) {
        d.palette.push_back(RGBQUAD{colours[i].blue, colours[i].green, colours[i].red, 0});
    }
    png_set_packing(png);  // one index per byte
    png_read_update_info(png, info);
    d.indices.resize(static_cast<size_t>(d.width) * d.height);
    for (uint32_t y = 0; y < d.height; ++y) {
        png_read_row(png, d.indices.data() + y * d.width, nullptr);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    fclose(f);
    return true;
}

// A bottom-up bitmap of `width` x `height` whose pixel (x, top) is f(x, top).
BitmapInfo makeBitmap(uint16_t bits, int width, int height, uint32_t colours,
                      std::vector<uint8_t>& pixels, uint8_t (*f)(int, int)) {
    BitmapInfo info{};
    info.header.biSize = 40;
    info.header.biWidth = width;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = bits;
    info.header.biClrUsed = colours;
    const size_t stride = (static_cast<size_t>(bits) * width + 31) / 32 * 4;
    info.header.biSizeImage = static_cast<uint32_t>(stride * height);
    for (uint32_t i = 0; i < colours; ++i) {
        info.palette[i] = RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(3 * i),
                                  static_cast<uint8_t>(255 - i), 0};
    }
    pixels.assign(stride * height, 0);
    for (int top = 0; top < height; ++top) {
        for (int x = 0; x < width; ++x) {
            const size_t bit = static_cast<size_t>(x) * bits;
            pixels[(height - 1 - top) * stride + bit / 8] |=
                static_cast<uint8_t>(f(x, top) << (8 - bits - bit % 8));
        }
    }
    return info;
}

TEST(PngFile, HoldsTheSamePixelsAndPaletteAtTheBitmapsDepth) {
    TempDir dir;
    struct Case {
        uint16_t bits;
        uint32_t colours;
        int pngDepth;
    };
    for (const Case& c : {Case{1, 2, 1}, Case{4, 4, 2}, Case{8, 16, 4}, Case{8, 256, 8}}) {
        std::vector<uint8_t> pixels;
        static uint32_t modulo;
        modulo = c.colours;
        const BitmapInfo info = makeBitmap(c.bits, 13, 7, c.colours, pixels, [](int x, int y) {
            return static_cast<uint8_t>((x * 7 + y * 3) % modulo);
        });
        const std::string path = dir.file("p.png");
        ASSERT_TRUE(pngSave(info, pixels, path)) << c.bits;
        DecodedPng d;
        ASSERT_TRUE(readPng(path, d));
        EXPECT_EQ(d.colourType, PNG_COLOR_TYPE_PALETTE);
        EXPECT_EQ(d.bitDepth, c.pngDepth) << c.bits << "/" << c.colours;
        EXPECT_EQ(d.width, 13u);
        EXPECT_EQ(d.height, 7u);
        ASSERT_EQ(d.palette.size(), c.colours);
        for (uint32_t i = 0; i < c.colours; ++i) {
            EXPECT_EQ(d.palette[i], info.palette[i]) << i;
        }
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 13; ++x) {
                ASSERT_EQ(d.indices[y * 13 + x], (x * 7 + y * 3) % c.colours) << x << "," << y;
            }
        }
    }
}

TEST(PngFile, IndexBeyondThePaletteGetsAnEntry) {
    std::vector<uint8_t> pixels;
    const BitmapInfo info = makeBitmap(
        4, 3, 1, 4, pixels, [](int x, int) { return static_cast<uint8_t>(x == 2 ? 9 : x); });
    IndexedPicture picture;
    ASSERT_TRUE(indexedPictureOf(info, pixels, picture));
    EXPECT_EQ(picture.indices, (std::vector<uint8_t>{0, 1, 9}));
    EXPECT_EQ(picture.palette.size(), 10u);
    EXPECT_EQ(picture.palette[3], info.palette[3]);
    EXPECT_EQ(picture.palette[9], (RGBQUAD{0, 0, 0, 0}));
}

TEST(PngFile, RefusesHeadersThatDoNotDescribeThePixels) {
    std::vector<uint8_t> pixels;
    BitmapInfo info = makeBitmap(8, 5, 5, 16, pixels, [](int, int) { return uint8_t{0}; });
    IndexedPicture picture;
    BitmapInfo wrong = info;
    wrong.header.biHeight = 6;
    EXPECT_FALSE(indexedPictureOf(wrong, pixels, picture));
    wrong = info;
    wrong.header.biBitCount = 24;
    EXPECT_FALSE(indexedPictureOf(wrong, pixels, picture));
    wrong = info;
    wrong.header.biWidth = -5;
    EXPECT_FALSE(indexedPictureOf(wrong, pixels, picture));
    wrong = info;
    wrong.header.biClrUsed = 1000;
    EXPECT_FALSE(indexedPictureOf(wrong, pixels, picture));
}

TEST(PngFile, UnwritablePlaceIsReportedAndLeavesNothing) {
    TempDir dir;
    std::vector<uint8_t> pixels;
    const BitmapInfo info =
        makeBitmap(1, 8, 2, 2, pixels, [](int x, int) { return static_cast<uint8_t>(x & 1); });
    ScopedMessageBoxRecorder boxes;
    const std::string path = dir.file("missing/p.png");
    EXPECT_FALSE(pngSave(info, pixels, path));
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, "ERROR: Unable to open file " + path);
    EXPECT_EQ(boxes.shown()[0].caption, "Lumagrab");
    // An existing file is replaced whole.
    writeFileBytes(dir.file("old.png"), {1, 2, 3});
    ASSERT_TRUE(pngSave(info, pixels, dir.file("old.png")));
    DecodedPng d;
    EXPECT_TRUE(readPng(dir.file("old.png"), d));
}

}  // namespace
