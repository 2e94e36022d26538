// Screen downloads from a scripted port on the manual tick source. The
// records are made by the virtual receiver's own encoder, so the two ends
// share no code.
#include "capture/screen_download.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "capture/bmp_test_reader.h"
#include "capture/progress.h"
#include "link/packet_link.h"
#include "platform/stop_request.h"
#include "serial/fake_serial_device.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"
#include "sim/screen_encoder.h"
#include "sim/sim_wire.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

DeviceInfo device(uint8_t screenType, uint8_t format, const RGBQUAD* palette = nullptr) {
    return {{"Test Unit", screenType, format, palette, PostProcess::None}};
}

sim::Screen screen(uint8_t screenType, uint8_t format, uint8_t bitsPerPixel = 8) {
    return {.screenType = screenType, .recordFormat = format, .bitsPerPixel = bitsPerPixel};
}

sim::Picture picture(int width, int height, int colours = 256) {
    return sim::makeTestPattern(sim::Pattern::Noise, width, height, colours);
}

Bytes frame(const Bytes& record, uint8_t checksumError = 0) {
    return sim::wire::encodeFrame(sim::wire::packet::ScreenRecord, record, checksumError);
}
Bytes pixelRecord(uint8_t format, uint32_t offset, const Bytes& data) {
    return sim::pixelChunkRecord(format, offset, data.data(), data.size());
}
Bytes paletteRecord(uint32_t offset, const Bytes& data) {
    return sim::paletteChunkRecord(offset, data.data(), data.size());
}
Bytes slice(const Bytes& bytes, size_t from, size_t to) {
    return Bytes(bytes.begin() + from, bytes.begin() + to);
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

    std::vector<uint8_t> run(const DeviceInfo& d = device(4, 4)) {
        return screenDownload(info, d, error);
    }
    void feed(const Bytes& bytes) { fake.device.feed(bytes); }
    void feedRecord(const Bytes& record) { feed(frame(record)); }
    // Sends the header of `shown` as the device `s` scans it; returns its raw bytes.
    Bytes announce(const sim::Picture& shown, const sim::Screen& s = screen(4, 4)) {
        sim::EncodedScreen encoded;
        EXPECT_EQ(sim::encodeScreen(s, shown, encoded), "");
        feedRecord(sim::headerRecord(s, encoded.geometry));
        return encoded.raw;
    }
    void feedPixels(uint8_t format, const Bytes& raw, size_t chunk) {
        for (size_t at = 0; at < raw.size(); at += chunk)
            feedRecord(pixelRecord(format, at, slice(raw, at, std::min(raw.size(), at + chunk))));
    }

    // Every pixel of the capture holds the picture's palette index.
    void expectPicture(const std::vector<uint8_t>& pixels, const sim::Picture& shown) {
        ASSERT_EQ(error, DownloadOk);
        BmpImage captured;
        captured.width = info.header.biWidth;
        captured.height = info.header.biHeight;
        captured.bitCount = info.header.biBitCount;
        captured.rows = pixels;
        ASSERT_EQ(pixels.size(), size_t{captured.stride()} * captured.height);
        EXPECT_EQ(captured.width, shown.width);
        const BITMAPINFOHEADER& h = info.header;  // as the bitmap file will hold it
        EXPECT_TRUE(h.biSize == 40 && h.biPlanes == 1 && h.biCompression == 0 &&
                    h.biClrImportant == h.biClrUsed);
        EXPECT_TRUE(captured.paddingIsZero());
        EXPECT_EQ(captured.indices(), shown.pixels);
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

// Every screen type, record format and routine, at sizes that leave padding
// bits and odd row lengths.
struct Kind {
    uint8_t type, format, bpp;
    sim::PostProcess post;
    int rowPixels, rowCount;
    size_t blankedBytes;  // raw bytes the routine sets to 0
};
const Kind kKinds[] = {
    {1, 1, 1, sim::PostProcess::ReverseBitOrder, 37, 21, 0},
    {1, 2, 2, sim::PostProcess::None, 13, 7, 0},
    {2, 1, 2, sim::PostProcess::None, 22, 15, 0},
    {2, 2, 2, sim::PostProcess::SplitEvenOddBytes, 32, 12, 0},
    {2, 2, 4, sim::PostProcess::None, 9, 5, 0},
    {3, 1, 4, sim::PostProcess::None, 11, 6, 0},
    {3, 3, 4, sim::PostProcess::None, 31, 17, 0},
    {3, 3, 2, sim::PostProcess::None, 10, 10, 0},
    {3, 4, 4, sim::PostProcess::ClearLast28Bytes, 24, 20, 28},
    {3, 4, 8, sim::PostProcess::ClearLast28Bytes, 9, 7, 28},
    {3, 4, 4, sim::PostProcess::CropWindowSwapNibbles, 408, 256, 256 * 204 - 234 * 160},
    {4, 4, 8, sim::PostProcess::None, 17, 29, 0},
    {4, 3, 4, sim::PostProcess::None, 8, 8, 0},
};

// A picture in colours that the screen reaches through its raw values.
sim::Picture pictureFor(const sim::Screen& s, int width, int height) {
    const int rawValues = std::min(1 << s.bitsPerPixel, s.recordFormat == 3 ? 16 : 256);
    sim::Picture p = picture(width, height, std::min(sim::screenColours(s.screenType), rawValues));
    for (uint8_t& index : p.pixels) index = s.recordFormat == 3 ? s.valueMap[index] : index;
    return p;
}

// Each kind in every orientation, with and without bytes after each row,
// all in one burst before the first poll: every packet is taken although
// later polls would read nothing. Records that no layout can use (cut short
// of their fixed part, of an unknown type) come with each and change nothing.
// The records are the virtual receiver's, so its encoder is checked here too
// (its palette records by its own test).
TEST_F(Download, EveryKindOfScreenInEveryOrientationComesBackWhole) {
    const Bytes sendScreen{0x10, 0x0A, 0x02, 0x20, 0x00, 0xD4, 0x10, 0x03};
    size_t refused = 0;
    for (const Kind& k : kKinds) {
        for (int variant = 0; variant < 8; ++variant) {
            sim::Screen s = screen(k.type, k.format, k.bpp);
            s.postProcess = k.post;
            s.transposed = variant & 1;
            s.forward = variant & 2;
            s.rowPadding = variant & 4 ? 3 : 0;
            for (int v = 0; k.format == 3 && v < 16; ++v) s.valueMap[v] = uint8_t((v * 5 + 9) & 15);
            const sim::Picture shown = s.transposed ? pictureFor(s, k.rowCount, k.rowPixels)
                                                    : pictureFor(s, k.rowPixels, k.rowCount);
            sim::EncodedScreen encoded;
            // The cropped window fixes the raw rows, which padding breaks.
            if (s.rowPadding > 0 && !sim::encodeScreen(s, shown, encoded).empty()) {
                ++refused;
                continue;
            }
            SCOPED_TRACE(testing::Message() << "type " << int(k.type) << " format " << int(k.format)
                                            << " variant " << variant);
            ASSERT_EQ(sim::encodeScreen(s, shown, encoded), "");
            const sim::RawGeometry& g = encoded.geometry;
            feedRecord(sim::headerRecord(s, g));
            Bytes cutHeader = sim::headerRecord(s, {g.rowBytes + 1, g.rowPixels, g.rowCount});
            cutHeader.pop_back();
            Bytes cutChunk = pixelRecord(k.format, 0, {});
            cutChunk.pop_back();
            // Type 7 in every layout; read as a pixel chunk, the whole of the small pictures.
            Bytes unknown = pixelRecord(k.format, 0, Bytes(240, 0xEE));
            unknown[0] = 7;
            for (const Bytes& ignored : {cutHeader, cutChunk, unknown}) feedRecord(ignored);
            feedPixels(k.format, encoded.raw, 240);

            DeviceInfo d = device(k.type, k.format, StandardPalette16.data());
            // The two enumerations list the same routines in the same order.
            d.postProcess = static_cast<PostProcess>(k.post);
            tickUseManualSource(true);
            fake.device.writes.clear();
            expectPicture(run(d), encoded.expected);
            EXPECT_EQ(ticks.count(), 0u);
            EXPECT_THAT(fake.device.writes, ::testing::ElementsAre(sendScreen));
            // Only what the routine blanks may differ from the picture shown.
            const uint8_t blank = k.format == 3 ? s.valueMap[0] : 0;
            size_t differing = 0;
            for (size_t i = 0; i < shown.pixels.size(); ++i) {
                if (encoded.expected.pixels[i] != shown.pixels[i]) {
                    ASSERT_EQ(encoded.expected.pixels[i], blank) << i;
                    ++differing;
                }
            }
            EXPECT_LE(differing, k.blankedBytes * 8 / k.bpp);
            linkResetReceiver();
        }
    }
    EXPECT_EQ(refused, 4u) << "the cropped window's padded variants";
    EXPECT_FALSE(tickRunning());
}

// Offsets use all their bytes: a picture of more than 64 KiB, read a part at
// a time as the receive ring holds no more.
TEST_F(Download, APictureOfMoreThan64KiBComesWhole) {
    const sim::Picture shown = picture(256, 257);
    feedPixels(4, announce(shown), 240);
    fake.device.readLimit = 30000;
    expectPicture(run(), shown);
}

TEST_F(Download, SilenceIsCountedFromTheLastRecordThatBroughtSomethingNew) {
    const sim::Picture shown = picture(6, 3);
    const Bytes raw = shown.pixels;  // 8 bits, as scanned
    const Bytes whole = frame(pixelRecord(4, 0, raw));
    const Bytes front = frame(pixelRecord(4, 0, slice(raw, 0, 9)));
    const Bytes back = frame(pixelRecord(4, 9, slice(raw, 9, 18)));
    // Another packet every half second, as a receiver with other output on sends.
    std::vector<std::pair<uint64_t, Bytes>> chatter;
    for (uint64_t tick = 100; tick < 2000; tick += 100)
        chatter.emplace_back(tick, sim::wire::encodeFrame(99, Bytes{1}));
    struct Case {
        const char* what;
        std::vector<std::pair<uint64_t, Bytes>> late;  // bytes arriving at a tick
        uint8_t error;
        uint64_t ticks, stopAt = 0;
    };
    const Case cases[] = {
        // clang-format off
        {"stops after the header", {}, DownloadNotResponding, 800},
        {"other packets do not restart the count", chatter, DownloadNotResponding, 800},
        {"new bytes restart it, the same bytes again do not", {{300, front}, {600, front}},
         DownloadNotResponding, 1100},
        {"completed on the last quiet tick", {{800, whole}}, DownloadOk, 800},
        {"completed a tick too late", {{801, whole}}, DownloadNotResponding, 800},
        {"a chunk on the last quiet tick that does not complete", {{800, front}, {801, back}},
         DownloadNotResponding, 800},
        {"a stop request ends it at the next pass, with no picture and no error", {}, DownloadOk,
         3, 3},
        // clang-format on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tickUseManualSource(true);
        tickSetManualHook([&](uint64_t tick) {
            for (const auto& [at, bytes] : c.late) {
                if (tick == at)
                    feed(bytes);
            }
            if (tick == c.stopAt)
                stopRequest();
        });
        announce(shown);
        const std::vector<uint8_t> pixels = run();
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(pixels.empty(), c.error != DownloadOk || c.stopAt);
        EXPECT_EQ(ticks.count(), c.ticks);
        EXPECT_FALSE(tickRunning());
        stopClear();
        linkResetReceiver();
    }
}

TEST_F(Download, DevicesWithoutACaptureMethod) {
    serialSetOtherError(1);  // left over from before: cleared at the end all the same
    // Screen types outside 1 to 4, a built-in palette that is missing, or a
    // record layout that does not exist.
    const RGBQUAD* std16 = StandardPalette16.data();
    for (const DeviceInfo& d : {device(0, 4, std16), device(5, 4, std16), device(255, 4, std16),
                                device(2, 1), device(3, 0, std16)}) {
        EXPECT_TRUE(run(d).empty());
        EXPECT_EQ(error, DownloadInvalidPalette);
        expectFlagsClear();
    }
    // The request goes out all the same; nothing is waited for.
    EXPECT_EQ(fake.device.writes.size(), 5u);
    EXPECT_EQ(ticks.count(), 0u);
    EXPECT_FALSE(tickRunning());
}

TEST_F(Download, LineAndQueueErrorsEndTheDownloadInTheirOrder) {
    struct Case {
        uint32_t mask;
        bool fillRing;
        uint8_t error;
    };
    // Each flag the download reads, and the order it reads them in.
    for (const Case& c : {Case{lineerror::RxQueueOverflow, false, DownloadRxOverrun},
                          Case{lineerror::Frame, false, DownloadSerialError},
                          Case{lineerror::Overrun | lineerror::TxFull, false, DownloadRxOverrun},
                          Case{lineerror::TxFull | lineerror::Parity, false, DownloadTxFull},
                          Case{0, true, DownloadPacketOverrun}}) {
        SCOPED_TRACE(c.mask);
        announce(picture(8, 8));
        // The error arrives on the third poll, in the middle of the transfer.
        fake.device.errorMasks = {0, 0, c.mask};
        if (c.fillRing) {
            Bytes endless{0x10, 69, 0xFF};  // a frame that never ends
            endless.resize(70000, 0x55);
            feed(endless);
        }
        EXPECT_TRUE(run().empty());
        EXPECT_EQ(error, c.error);
        expectFlagsClear();
        linkResetReceiver();
    }
    // Errors counted before the download (a plug-in, an earlier command) are
    // not the transfer's.
    serialSetRxOverrun(1);
    serialSetTxFull(1);
    serialSetOtherError(1);
    linkSetOverflow(1);
    const sim::Picture shown = picture(8, 8);
    feedPixels(4, announce(shown), 20);
    expectPicture(run(), shown);
}

TEST_F(Download, GeometriesThatCannotBeBuilt) {
    struct Case {
        const char* why;
        uint8_t format;
        uint8_t bits;
        sim::RawGeometry geometry;  // rowBytes, rowPixels, rowCount
    };
    for (const Case& c : {
             Case{"zero row bytes", 4, 8, {0, 1, 1}},
             Case{"16-bit negative pixels", 1, 1, {8, -64, 8}},
             Case{"negative rows", 3, 4, {8, 16, -240}},
             Case{"largest 16-bit fields", 1, 8, {32767, 32767, 32767}},
             Case{"bits per pixel 3", 2, 3, {8, 8, 8}},
             Case{"bits per pixel 16", 4, 16, {16, 8, 8}},
             Case{"4-bit pixels past the row", 3, 4, {160, 321, 240}},
             Case{"above 4 MiB", 4, 8, {1024, 1024, 4097}},
             Case{"size wrapping 32 bits", 4, 8, {65536, 65536, 65536}},
         }) {
        SCOPED_TRACE(c.why);
        const uint8_t type = c.format == 4 ? 4 : c.format == 3 ? 3 : 2;
        feedRecord(sim::headerRecord(screen(type, c.format, c.bits), c.geometry));
        // Chunks that would land in such a picture must not be written anywhere.
        feedRecord(pixelRecord(c.format, 0, Bytes(200, 0x11)));
        feedRecord(pixelRecord(c.format, 0xFFFFFF00u, Bytes(200, 0x22)));
        EXPECT_TRUE(run(device(type, c.format, StandardPalette16.data())).empty());
        EXPECT_EQ(error, DownloadOutOfMemory);
        EXPECT_LT(ticks.count(), 5u) << "ends at once, not by time-out";
        linkResetReceiver();
    }
}

TEST_F(Download, RecordsWithoutAPlaceAreIgnoredAndALaterHeaderStartsAgain) {
    const sim::Picture shown = picture(9, 4, 4);
    // Before any header: nowhere to put the data, and no picture to complete.
    feedRecord(pixelRecord(1, 0, Bytes(100, 0xFF)));
    announce(picture(100, 100, 4), screen(2, 1, 2));
    feedRecord(pixelRecord(1, 0, Bytes(200, 0x33)));
    const Bytes raw = announce(shown, screen(2, 1, 2));
    // An empty screen record, a pixel record in a packet of another ID, and a
    // palette chunk for a device with a built-in palette.
    feedRecord({});
    feed(sim::wire::encodeFrame(12, pixelRecord(1, 0, Bytes(raw.size(), 0xFF))));
    feedRecord(paletteRecord(0, Bytes(30, 0x44)));
    feedPixels(1, raw, 5);
    expectPicture(run(device(2, 1, GrayPalette.data())), shown);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(info.palette[i], GrayPalette[i]);
    EXPECT_EQ(info.palette[4], kSentinel);
}

TEST_F(Download, RawValuesWithoutAnEntryInTheValueMapBecomeIndexZero) {
    sim::Screen mapped = screen(3, 3, 8);
    mapped.valueMap.fill(9);
    feedRecord(sim::headerRecord(mapped, {3, 3, 1}));
    feedRecord(pixelRecord(3, 0, {0x0F, 0x10, 0xFF}));
    expectPicture(run(device(3, 3, StandardPalette16.data())), sim::Picture{3, 1, {9, 0, 0}, {}});
}

TEST_F(Download, ThePictureIsCompleteWhenEveryByteHasComeInWhateverOrder) {
    const sim::Picture shown = picture(10, 4);
    const Bytes& raw = shown.pixels;  // 8 bits, as scanned
    const auto chunk = [&](uint32_t from, uint32_t to, uint8_t checksumError = 0) {
        return frame(pixelRecord(4, from, slice(raw, from, to)), checksumError);
    };
    Bytes pastEnd = slice(raw, 30, 40);
    pastEnd.insert(pastEnd.end(), 16, 0xEE);
    struct Case {
        const char* what;
        std::vector<Bytes> frames;
        bool whole;
    };
    const Case cases[] = {
        {"reverse order", {chunk(30, 40), chunk(20, 30), chunk(10, 20), chunk(0, 10)}, true},
        {"shuffled, overlapping and repeated",
         {chunk(25, 40), chunk(0, 12), chunk(25, 40), chunk(8, 26)},
         true},
        {"the part of a chunk past the end is dropped, the rest kept",
         {chunk(0, 30), frame(pixelRecord(4, 30, pastEnd))},
         true},
        // An offset near the top of the range would end at 16 in 32-bit
        // arithmetic and be copied far outside the picture.
        {"a chunk wholly past the end is ignored",
         {chunk(0, 39), frame(pixelRecord(4, 0xFFFFFFF0u, Bytes(32, 0x99)))},
         false},
        {"a lost record", {chunk(0, 10), chunk(20, 40)}, false},
        {"a record whose checksum failed", {chunk(0, 20), chunk(20, 40, 1)}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        announce(shown);
        for (const Bytes& f : c.frames) feed(f);
        const std::vector<uint8_t> pixels = run();
        if (c.whole) {
            expectPicture(pixels, shown);
            EXPECT_EQ(bar.positions.back(), 40u);
        } else {
            EXPECT_TRUE(pixels.empty());
            EXPECT_EQ(error, DownloadNotResponding);
        }
        linkResetReceiver();
    }
}

TEST_F(Download, PaletteChunksFillInArrivalOrderAndProgressIsTold) {
    const Bytes raw = announce(picture(10, 3));
    Bytes first(240);
    for (size_t i = 0; i < first.size(); ++i) first[i] = static_cast<uint8_t>(i);
    feedRecord(paletteRecord(0, first));
    feedRecord(paletteRecord(600, Bytes{1, 2, 3}));      // continues at entry 80
    feedRecord(paletteRecord(243, Bytes{7, 8, 9, 10}));  // ragged: entries 81 and 82
    feedPixels(4, raw, 12);
    run(device(3, 4, StandardPalette16.data()));
    ASSERT_EQ(error, DownloadOk);
    EXPECT_EQ(info.palette[0], (RGBQUAD{0, 1, 2, 0}));
    EXPECT_EQ(info.palette[79], (RGBQUAD{237, 238, 239, 0}));
    EXPECT_EQ(info.palette[80], (RGBQUAD{1, 2, 3, 0}));
    EXPECT_EQ(info.palette[81], (RGBQUAD{7, 8, 9, 0}));
    EXPECT_EQ(info.palette[82], (RGBQUAD{10, 0, 0, 0}));
    EXPECT_EQ(info.palette[83], kSentinel);
    // Palette data against the 768-byte palette stream, pixel data against
    // the raw size, each at the end of its chunk.
    EXPECT_EQ(bar.ranges, (std::vector<int32_t>{768, 768, 768, 30, 30, 30}));
    EXPECT_EQ(bar.positions, (std::vector<uint32_t>{240, 603, 247, 12, 24, 30}));

    // Entries past the 256th are dropped.
    linkResetReceiver();
    const Bytes small = announce(picture(4, 4));
    Bytes many(240);
    for (size_t i = 0; i < many.size(); ++i) many[i] = static_cast<uint8_t>(i / 3);
    for (int chunk = 0; chunk < 4; ++chunk) feedRecord(paletteRecord(0, many));  // 320 entries
    feedPixels(4, small, 100);
    run();
    ASSERT_EQ(error, DownloadOk);
    EXPECT_EQ(info.palette[84], (RGBQUAD{4, 4, 4, 0}));
    EXPECT_EQ(info.palette[255], (RGBQUAD{15, 15, 15, 0}));
}

}  // namespace
