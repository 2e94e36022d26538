#include "capture/screen_download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "capture/bmp_test_reader.h"
#include "capture/post_process.h"
#include "capture/progress.h"
#include "download/screen_script.h"
#include "link/packet_link.h"
#include "serial/fake_serial_device.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"
#include "support/test_support.h"

namespace {

DeviceInfo device(uint8_t screenType, uint8_t format, const RGBQUAD* palette,
                  PostProcessFn postProcess = nullptr) {
    DeviceInfo info{};
    std::strcpy(info.name, "Test Unit");
    info.screenType = screenType;
    info.recordFormat = format;
    info.palette = palette;
    info.postProcess = postProcess;
    return info;
}

struct RecordingBar : ProgressBar {
    std::vector<int32_t> ranges;
    std::vector<uint32_t> positions;
    void setRange(int32_t, int32_t upper) override { ranges.push_back(upper); }
    void setPosition(uint32_t position) override { positions.push_back(position); }
};

constexpr RGBQUAD kSentinel{0xAB, 0xCD, 0xEF, 0x77};

class Download : public ::testing::Test {
  protected:
    void SetUp() override {
        serialSetByteHandler(linkReceiveByte);
        ASSERT_TRUE(serialOpen(1));
        linkResetReceiver();
        linkSetOverflow(0);
        std::fill(std::begin(info.palette), std::end(info.palette), kSentinel);
        progressBegin(&bar, nullptr);
        bar.ranges.clear();
        bar.positions.clear();
    }
    void TearDown() override {
        progressEnd();
        tickSetManualHook({});
    }

    std::vector<uint8_t> run(const DeviceInfo& d) { return screenDownload(info, d, error); }
    void feed(const Bytes& bytes) { fake.device.feed(bytes); }
    void feedRecord(const Bytes& record) { feed(screenFrame(record)); }

    BmpImage image(const std::vector<uint8_t>& pixels) const {
        BmpImage out;
        out.width = info.header.biWidth;
        out.height = info.header.biHeight;
        out.bitCount = info.header.biBitCount;
        out.sizeImage = info.header.biSizeImage;
        out.rows = pixels;
        return out;
    }

    // Every pixel of the capture holds the picture's palette index.
    void expectPicture(const std::vector<uint8_t>& pixels, const TestPicture& picture) {
        ASSERT_EQ(error, DownloadOk);
        const BmpImage captured = image(pixels);
        ASSERT_EQ(captured.width, picture.width);
        ASSERT_EQ(captured.height, picture.height);
        ASSERT_EQ(pixels.size(), captured.stride() * captured.height);
        EXPECT_TRUE(captured.paddingIsZero());
        for (int row = 0; row < picture.height; ++row) {
            for (int column = 0; column < picture.width; ++column) {
                ASSERT_EQ(captured.index(column, row), picture.at(column, row))
                    << "column " << column << " row " << row;
            }
        }
    }

    void expectFlagsClear() {
        EXPECT_EQ(serialRxOverrun(), 0);
        EXPECT_EQ(serialTxFull(), 0);
        EXPECT_EQ(serialOtherError(), 0);
        EXPECT_EQ(linkOverflow(), 0);
    }

    ScopedSleepRecorder sleeps;
    ScopedFakeSerial fake;
    ScopedManualTicks ticks;
    RecordingBar bar;
    BitmapInfo info{};
    uint8_t error = 0xFF;
};

// A 256-entry palette as a device sends it, blue-green-red.
Bytes devicePalette() {
    Bytes bytes;
    for (int i = 0; i < 256; ++i) {
        bytes.push_back(static_cast<uint8_t>(i));
        bytes.push_back(static_cast<uint8_t>(255 - i));
        bytes.push_back(static_cast<uint8_t>(i * 7));
    }
    return bytes;
}

Bytes paletteFrames(const Bytes& palette, size_t chunk) {
    Bytes out;
    for (size_t at = 0; at < palette.size(); at += chunk) {
        const size_t count = std::min(chunk, palette.size() - at);
        const Bytes framed = screenFrame(paletteRecord(
            static_cast<uint32_t>(at), Bytes(palette.begin() + at, palette.begin() + at + count)));
        out.insert(out.end(), framed.begin(), framed.end());
    }
    return out;
}

TEST_F(Download, AsksForTheScreenOnce) {
    const TestPicture picture = makePicture(4, 2, 256);
    RawLayout layout;
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, raw));
    feed(pixelFrames(4, raw.bytes, 100));
    run(device(4, 4, nullptr));
    EXPECT_EQ(error, DownloadOk);
    ASSERT_EQ(fake.device.writes.size(), 1u);
    EXPECT_EQ(fake.device.writes[0], (Bytes{0x10, 0x0A, 0x02, 0x20, 0x00, 0xD4, 0x10, 0x03}));
    EXPECT_FALSE(tickRunning());
}

TEST_F(Download, AppliesTheDevicesCorrection) {
    // Bits sent in reverse order are put right before the pixels are read.
    RawLayout mono;
    mono.bitsPerPixel = 1;
    const TestPicture picture = makePicture(16, 5, 2);
    RawScreen raw = encodeRaw(picture, mono);
    Bytes sent(raw.bytes.size());
    reverseBitOrder(sent.data(), raw.bytes.data(), static_cast<uint32_t>(sent.size()));
    feedRecord(headerRecord(1, mono, raw));
    feed(pixelFrames(1, sent, 7));
    expectPicture(run(device(1, 1, MonoPalette.data(), reverseBitOrder)), picture);

    // Even and odd bytes sent interleaved.
    RawLayout gray;
    gray.bitsPerPixel = 2;
    const TestPicture grayPicture = makePicture(16, 6, 4);
    raw = encodeRaw(grayPicture, gray);
    ASSERT_EQ(raw.bytes.size() % 4, 0u);
    const size_t half = raw.bytes.size() / 2;
    sent.assign(raw.bytes.size(), 0);
    for (size_t j = 0; j < half; ++j) {
        sent[2 * j] = raw.bytes[j];
        sent[2 * j + 1] = raw.bytes[half + j];
    }
    feedRecord(headerRecord(2, gray, raw));
    feed(pixelFrames(2, sent, 9));
    expectPicture(run(device(2, 2, GrayPalette.data(), splitEvenOddBytes)), grayPicture);
}

TEST_F(Download, DeviceThatStopsAfterTheHeaderIsNotResponding) {
    RawLayout layout;
    feedRecord(headerRecord(4, layout, 8, 8, 8));
    EXPECT_TRUE(run(device(4, 4, nullptr)).empty());
    EXPECT_EQ(error, DownloadNotResponding);
    EXPECT_EQ(ticks.count(), kDownloadIdleTicks);
    EXPECT_FALSE(tickRunning());
}

TEST_F(Download, WithoutAPortTheDownloadTimesOut) {
    serialClose();
    EXPECT_TRUE(run(device(3, 3, StandardPalette16.data())).empty());
    EXPECT_EQ(error, DownloadNotResponding);
    EXPECT_EQ(ticks.count(), kDownloadIdleTicks);
}

TEST_F(Download, SilenceIsCountedFromTheLastPacket) {
    RawLayout layout;
    const TestPicture picture = makePicture(6, 3, 256);
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, raw));
    // An unrelated packet after 500 quiet ticks restarts the count.
    tickSetManualHook([this](uint64_t tick) {
        if (tick == 500)
            feed(encodeFrame(99, {1, 2, 3}));
    });
    run(device(4, 4, nullptr));
    EXPECT_EQ(error, DownloadNotResponding);
    EXPECT_EQ(ticks.count(), 500 + kDownloadIdleTicks);
}

TEST_F(Download, PictureCompletedOnTheLastIdleTickIsKept) {
    RawLayout layout;
    const TestPicture picture = makePicture(6, 3, 256);
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, raw));
    const Bytes last = screenFrame(pixelRecord(4, 0, raw.bytes));
    tickSetManualHook([&](uint64_t tick) {
        if (tick == kDownloadIdleTicks)
            feed(last);
    });
    expectPicture(run(device(4, 4, nullptr)), picture);

    // One tick later is too late.
    feedRecord(headerRecord(4, layout, raw));
    tickUseManualSource(true);
    tickSetManualHook([&](uint64_t tick) {
        if (tick == kDownloadIdleTicks + 1)
            feed(last);
    });
    EXPECT_TRUE(run(device(4, 4, nullptr)).empty());
    EXPECT_EQ(error, DownloadNotResponding);
}

TEST_F(Download, ScreenTypesWithoutACaptureMethod) {
    for (uint8_t type : {0, 5, 255}) {
        EXPECT_TRUE(run(device(type, 4, StandardPalette16.data())).empty());
        EXPECT_EQ(error, DownloadInvalidPalette);
    }
    // A built-in palette that is missing, or a record layout that does not exist.
    EXPECT_TRUE(run(device(2, 1, nullptr)).empty());
    EXPECT_EQ(error, DownloadInvalidPalette);
    EXPECT_TRUE(run(device(3, 0, StandardPalette16.data())).empty());
    EXPECT_EQ(error, DownloadInvalidPalette);
    // The request goes out all the same; nothing is waited for.
    EXPECT_EQ(fake.device.writes.size(), 5u);
    EXPECT_EQ(ticks.count(), 0u);
    EXPECT_FALSE(tickRunning());
}

TEST_F(Download, LineErrorsEndTheDownloadInTheirOrder) {
    struct Case {
        uint32_t mask;
        uint8_t error;
    };
    for (const Case& c :
         {Case{lineerror::Overrun, DownloadRxOverrun},
          Case{lineerror::RxQueueOverflow, DownloadRxOverrun},
          Case{lineerror::TxFull, DownloadTxFull}, Case{lineerror::Frame, DownloadSerialError},
          Case{lineerror::Overrun | lineerror::TxFull, DownloadRxOverrun},
          Case{lineerror::TxFull | lineerror::Parity, DownloadTxFull}}) {
        SCOPED_TRACE(c.mask);
        RawLayout layout;
        feedRecord(headerRecord(4, layout, 8, 8, 8));
        // The error arrives on the third poll, in the middle of the transfer.
        fake.device.errorMasks = {0, 0, c.mask};
        EXPECT_TRUE(run(device(4, 4, nullptr)).empty());
        EXPECT_EQ(error, c.error);
        expectFlagsClear();
    }
}

TEST_F(Download, PacketRingOverflow) {
    RawLayout layout;
    feedRecord(headerRecord(4, layout, 8, 8, 8));
    // A frame that never ends fills the receive ring.
    Bytes endless{0x10, 69, 0xFF};
    endless.resize(70000, 0x55);
    feed(endless);
    EXPECT_TRUE(run(device(4, 4, nullptr)).empty());
    EXPECT_EQ(error, DownloadPacketOverrun);
    expectFlagsClear();
}

TEST_F(Download, FlagsRaisedBeforehandAreClearedAtTheEnd) {
    serialSetOtherError(1);
    EXPECT_TRUE(run(device(0, 0, nullptr)).empty());
    EXPECT_EQ(error, DownloadInvalidPalette);
    expectFlagsClear();
}

TEST_F(Download, GeometriesThatCannotBeBuilt) {
    struct Case {
        const char* why;
        int format;
        int32_t rowBytes;
        int bits;
        int32_t rowPixels;
        int32_t rowCount;
    };
    for (const Case& c : {
             Case{"zero row bytes", 4, 0, 8, 1, 1},
             Case{"16-bit negative pixels", 1, 8, 1, -64, 8},
             Case{"bits per pixel 3", 2, 8, 3, 8, 8},
             Case{"4-bit pixels past the row", 3, 160, 4, 321, 240},
             Case{"size wrapping 32 bits", 4, 65536, 8, 65536, 65536},
             Case{"largest 16-bit fields", 1, 32767, 8, 32767, 32767},
         }) {
        SCOPED_TRACE(c.why);
        RawLayout layout;
        layout.bitsPerPixel = c.bits;
        feedRecord(headerRecord(c.format, layout, c.rowBytes, c.rowPixels, c.rowCount));
        // Chunks that would land in such a picture must not be written anywhere.
        feedRecord(pixelRecord(c.format, 0, Bytes(200, 0x11)));
        feedRecord(pixelRecord(c.format, 0xFFFFFF00u, Bytes(200, 0x22)));
        const uint8_t type = c.format == 4 ? 4 : c.format == 3 ? 3 : 2;
        EXPECT_TRUE(run(device(type, c.format, StandardPalette16.data())).empty());
        EXPECT_EQ(error, DownloadOutOfMemory);
        EXPECT_LT(ticks.count(), 5u) << "ends at once, not by time-out";
        linkResetReceiver();
    }
}

TEST_F(Download, RecordsThatCannotBeUsedAreIgnored) {
    RawLayout layout;
    layout.bitsPerPixel = 2;
    const TestPicture picture = makePicture(9, 4, 4);
    const RawScreen raw = encodeRaw(picture, layout);
    // Before any header: nowhere to put the data, and no picture to complete.
    feedRecord(pixelRecord(1, 0, Bytes(raw.bytes.size(), 0xFF)));
    // A header one byte short of its fixed part, with a geometry that would fit the junk.
    Bytes shortHeader = headerRecord(1, layout, 1, 1, 1);
    shortHeader.pop_back();
    feedRecord(shortHeader);
    feedRecord(headerRecord(1, layout, raw));
    // Chunks shorter than their fixed part (offset and type only in part).
    feedRecord(Bytes{1, 0, 0xFF, 0xFF, 0xFF});
    feedRecord(Bytes{1, 0});
    feedRecord(Bytes{1});
    // Other packets, empty payloads and unknown record types.
    feed(encodeFrame(69, {}));
    feed(encodeFrame(12, pixelRecord(1, 0, Bytes(raw.bytes.size(), 0xFF))));
    feedRecord(Bytes{7, 0, 1, 2, 3, 4, 5});
    feedRecord(Bytes{0xFF, 0xFF, 0, 0, 0, 0, 9, 9});  // type -1
    // A palette chunk for a device with a built-in palette.
    feedRecord(paletteRecord(0, Bytes(30, 0x44)));
    feed(pixelFrames(1, raw.bytes, 5));
    expectPicture(run(device(2, 1, GrayPalette.data())), picture);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(info.palette[i], GrayPalette[i]);
    EXPECT_EQ(info.palette[4], kSentinel);
}

TEST_F(Download, ShortRecordsOfTheWiderFormats) {
    RawLayout layout;
    const TestPicture picture = makePicture(5, 5, 16);
    const RawScreen raw = encodeRaw(picture, layout);
    Bytes shortHeader = headerRecord(3, layout, raw);
    shortHeader.resize(39);
    feedRecord(shortHeader);
    feedRecord(headerRecord(3, layout, raw));
    feedRecord(Bytes{1, 0, 0, 0, 0xFF, 0xFF, 0xFF});  // 7 of 8 fixed bytes
    feedRecord(Bytes{2, 0, 0, 0, 0x10});              // palette chunk, 5 of 8
    feed(pixelFrames(3, raw.bytes, 11));
    expectPicture(run(device(3, 3, StandardPalette16.data())), picture);
}

TEST_F(Download, ALaterHeaderStartsAgain) {
    RawLayout layout;
    const TestPicture picture = makePicture(7, 6, 256);
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, 100, 100, 100));
    feedRecord(pixelRecord(4, 0, Bytes(200, 0x33)));
    feedRecord(headerRecord(4, layout, raw));
    feed(pixelFrames(4, raw.bytes, 13));
    expectPicture(run(device(4, 4, nullptr)), picture);
}

// The capture of a picture whose raw bytes from `first` to `last` (exclusive)
// never arrived; with 8 bits as scanned, raw byte i is picture pixel i.
TestPicture withHole(const TestPicture& picture, size_t first, size_t last) {
    TestPicture expected = picture;
    std::fill(expected.pixels.begin() + first, expected.pixels.begin() + last, 0);
    return expected;
}

TEST_F(Download, TheFirstChunkReachingTheEndCompletesThePicture) {
    RawLayout layout;
    TestPicture picture = makePicture(10, 4, 256);
    for (uint8_t& p : picture.pixels) p |= 1;  // no pixel is 0 by itself
    const RawScreen raw = encodeRaw(picture, layout);
    const auto slice = [&](size_t from, size_t to) {
        return Bytes(raw.bytes.begin() + from, raw.bytes.begin() + to);
    };

    // Chunks in reverse order: only the last one's bytes are ever used.
    feedRecord(headerRecord(4, layout, raw));
    for (uint32_t at : {30u, 20u, 10u, 0u}) feedRecord(pixelRecord(4, at, slice(at, at + 10)));
    expectPicture(run(device(4, 4, nullptr)), withHole(picture, 0, 30));
    linkResetReceiver();

    // A chunk ending exactly at the raw size is copied.
    feedRecord(headerRecord(4, layout, raw));
    feedRecord(pixelRecord(4, 0, slice(0, 20)));
    feedRecord(pixelRecord(4, 20, slice(20, 40)));
    expectPicture(run(device(4, 4, nullptr)), picture);

    // One byte more and it is dropped, but it still completes the picture.
    feedRecord(headerRecord(4, layout, raw));
    feedRecord(pixelRecord(4, 0, slice(0, 20)));
    Bytes tooLong = slice(20, 40);
    tooLong.push_back(0xEE);
    feedRecord(pixelRecord(4, 20, tooLong));
    feedRecord(pixelRecord(4, 20, slice(20, 40)));
    expectPicture(run(device(4, 4, nullptr)), withHole(picture, 20, 40));
}

TEST_F(Download, OffsetsNearTheTopOfTheRangeDoNotWrapAround) {
    RawLayout layout;
    const TestPicture picture = makePicture(8, 2, 256);
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, raw));
    feedRecord(pixelRecord(4, 0, Bytes(raw.bytes.begin(), raw.bytes.end() - 1)));
    // Would end at 16 in 32-bit arithmetic and be copied to the top of the
    // address range; it ends far past the picture instead, and completes it.
    feedRecord(pixelRecord(4, 0xFFFFFFF0u, Bytes(32, 0x99)));
    TestPicture expected = picture;
    expected.pixels.back() = 0;
    expectPicture(run(device(4, 4, nullptr)), expected);
    EXPECT_EQ(bar.positions.back(), 0xFFFFFFFFu);
}

TEST_F(Download, PaletteChunksFillInArrivalOrder) {
    RawLayout layout;
    const TestPicture picture = makePicture(4, 4, 256);
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, raw));
    Bytes first(240);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i);
    feedRecord(paletteRecord(0, first));
    feedRecord(paletteRecord(600, Bytes{1, 2, 3}));      // continues at entry 80
    feedRecord(paletteRecord(243, Bytes{7, 8, 9, 10}));  // ragged: entries 81 and 82
    feed(pixelFrames(4, raw.bytes, 100));
    run(device(4, 4, nullptr));
    ASSERT_EQ(error, DownloadOk);
    EXPECT_EQ(info.palette[0], (RGBQUAD{0, 1, 2, 0}));
    EXPECT_EQ(info.palette[79], (RGBQUAD{237, 238, 239, 0}));
    EXPECT_EQ(info.palette[80], (RGBQUAD{1, 2, 3, 0}));
    EXPECT_EQ(info.palette[81], (RGBQUAD{7, 8, 9, 0}));
    EXPECT_EQ(info.palette[82], (RGBQUAD{10, 0, 0, 0}));
    EXPECT_EQ(info.palette[83], kSentinel);
    // Progress of palette data is told against the 768-byte palette stream.
    ASSERT_GE(bar.ranges.size(), 3u);
    EXPECT_EQ(bar.ranges[0], 768);
    EXPECT_EQ(bar.positions[0], 240u);
    EXPECT_EQ(bar.positions[1], 603u);
}

TEST_F(Download, PaletteEntriesPastTheLastAreDropped) {
    RawLayout layout;
    const TestPicture picture = makePicture(4, 4, 16);
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, raw));
    Bytes many(240);
    for (size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>(i / 3);
    for (int chunk = 0; chunk < 4; ++chunk) feedRecord(paletteRecord(0, many));  // 320 entries
    feed(pixelFrames(4, raw.bytes, 100));
    run(device(3, 4, StandardPalette16.data()));
    ASSERT_EQ(error, DownloadOk);
    EXPECT_EQ(info.palette[84], (RGBQUAD{4, 4, 4, 0}));
    EXPECT_EQ(info.palette[255], (RGBQUAD{15, 15, 15, 0}));
}

TEST_F(Download, ProgressFollowsThePixelChunks) {
    RawLayout layout;
    const TestPicture picture = makePicture(10, 3, 256);
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, raw));
    feed(pixelFrames(4, raw.bytes, 12));
    run(device(4, 4, nullptr));
    ASSERT_EQ(error, DownloadOk);
    EXPECT_EQ(bar.ranges, (std::vector<int32_t>{30, 30, 30}));
    EXPECT_EQ(bar.positions, (std::vector<uint32_t>{12, 24, 30}));
}

TEST_F(Download, BurstLeftInTheQueueIsStillTaken) {
    // Everything arrives before the first poll and nothing after: each packet
    // must be taken although later polls read nothing.
    RawLayout layout;
    const TestPicture picture = makePicture(40, 30, 256);
    const RawScreen raw = encodeRaw(picture, layout);
    feedRecord(headerRecord(4, layout, raw));
    const Bytes palette = devicePalette();
    feed(paletteFrames(palette, 192));
    feed(pixelFrames(4, raw.bytes, 240));
    expectPicture(run(device(4, 4, nullptr)), picture);
    EXPECT_EQ(ticks.count(), 0u);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(info.palette[i],
                  (RGBQUAD{palette[3 * i], palette[3 * i + 1], palette[3 * i + 2], 0}))
            << "entry " << i;
    }
}

}  // namespace
