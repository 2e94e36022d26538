// Whole captures from the virtual receiver on a pseudo-terminal, through the
// real serial layer and tick timer, down to the bitmap file.
#include <gtest/gtest.h>

#include "capture/bitmap_file.h"
#include "capture/bmp_test_reader.h"
#include "capture/screen_download.h"
#include "link/packet_link.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"

namespace {

// One product of every kind the catalogue knows: screen type, record format
// and correction routine.
const uint16_t kOneProductOfEachKind[] = {
    59,   // mono, reversed bits
    95,   // mono
    48,   // gray, format 1
    101,  // gray, format 2
    113,  // gray, format 2, split bytes
    118,  // 16 colours, alternate palette
    111,  // 16 colours, value map
    136,  // 16 colours, downloaded palette
    158,  // ... with the last 28 bytes cleared
    166,  // ... with the cropped window
    144,  // 256 colours
};

// Where raw pixel (x, y) shows on a w x h screen scanned in the given way.
std::pair<int, int> shownAt(int x, int y, int w, int h, bool transposed, bool forward) {
    if (!transposed)
        return forward ? std::pair{x, y} : std::pair{w - 1 - x, h - 1 - y};
    return forward ? std::pair{w - 1 - y, x} : std::pair{y, h - 1 - x};
}

// Calls visit(x, y, column, top) for every raw pixel (x, y) of a device that
// scans its rawWidth x rawHeight rows in the given way.
template <typename Visit>
void forEachRawPixel(int rawWidth, int rawHeight, bool transposed, bool forward, Visit visit) {
    const int w = transposed ? rawHeight : rawWidth;
    const int h = transposed ? rawWidth : rawHeight;
    for (int y = 0; y < rawHeight; ++y) {
        for (int x = 0; x < rawWidth; ++x) {
            const auto [column, top] = shownAt(x, y, w, h, transposed, forward);
            visit(x, y, column, top);
        }
    }
}

// The raw order of a picture shown by a device scanning in the given way:
// raw rows top to bottom, pixels left to right.
sim::Picture scanned(const sim::Picture& shown, bool transposed, bool forward) {
    sim::Picture raw = shown;
    if (transposed)
        std::swap(raw.width, raw.height);
    forEachRawPixel(raw.width, raw.height, transposed, forward, [&](int x, int y, int c, int t) {
        raw.pixels[static_cast<size_t>(y) * raw.width + x] = shown.at(c, t);
    });
    return raw;
}

// The picture a device scanning in the given way shows for raw rows `raw`.
sim::Picture shown(const sim::Picture& raw, bool transposed, bool forward) {
    sim::Picture picture = raw;
    if (transposed)
        std::swap(picture.width, picture.height);
    forEachRawPixel(raw.width, raw.height, transposed, forward, [&](int x, int y, int c, int t) {
        picture.pixels[static_cast<size_t>(t) * picture.width + c] = raw.at(x, y);
    });
    return picture;
}

struct Capture {
    uint8_t error = 0xFF;
    std::optional<BmpImage> file;
    sim::Picture expected;
};

class EndToEnd : public ::testing::Test {
  protected:
    Capture capture(const sim::Config& config) {
        Capture result;
        VirtualReceiver receiver(config);
        if (!receiver.start()) {
            ADD_FAILURE() << receiver.error();
            return result;
        }
        result.expected = receiver.expectedPicture();
        serialInit();
        serialSetPortDevice(1, receiver.slavePath());
        serialSetByteHandler(linkReceiveByte);
        EXPECT_TRUE(serialOpen(1));
        linkResetReceiver();

        DeviceInfo device{};
        static_cast<ProductRecord&>(device) = ProductCatalogue[config.productId];
        BitmapInfo info{};
        const std::vector<uint8_t> pixels = screenDownload(info, device, result.error);
        serialClose();
        serialShutdown();
        if (result.error == DownloadOk) {
            std::string directory = dir.path();
            EXPECT_TRUE(bitmapSaveAuto(info, pixels, device.screenType, directory, device));
            std::string path;
            bitmapMakeAutoName(path, directory, device.name);
            // The file just written is the one before the next free number.
            path.replace(path.size() - 6, 2, "01");
            result.file = readBmp(path);
            std::remove(path.c_str());
        }
        return result;
    }

    // The captured file shows the receiver's picture: every pixel's palette
    // index and the colour the file gives it.
    void expectSamePicture(const Capture& c, const sim::Config& config) {
        ASSERT_EQ(c.error, DownloadOk);
        ASSERT_TRUE(c.file.has_value());
        const BmpImage& file = *c.file;
        ASSERT_EQ(file.width, c.expected.width);
        ASSERT_EQ(file.height, c.expected.height);
        EXPECT_TRUE(file.paddingIsZero());
        const ProductRecord& row = ProductCatalogue[config.productId];
        for (int y = 0; y < file.height; ++y) {
            for (int x = 0; x < file.width; ++x) {
                const uint8_t index = c.expected.at(x, y);
                ASSERT_EQ(file.index(x, y), index) << "pixel " << x << ", " << y;
            }
        }
        for (uint32_t i = 0; i < file.colorsUsed; ++i) {
            uint32_t expected;
            if (config.screen.recordFormat == 4) {
                const sim::Rgb& rgb = c.expected.palette.at(i);
                expected = uint32_t{rgb.blue} << 16 | uint32_t{rgb.green} << 8 | rgb.red;
            } else {
                const RGBQUAD& q = row.palette[i];
                expected = uint32_t{q.rgbBlue} << 16 | uint32_t{q.rgbGreen} << 8 | q.rgbRed;
            }
            ASSERT_EQ(file.color(static_cast<uint8_t>(i)), expected) << "colour " << i;
        }
    }

    ScopedSleepRecorder sleeps;
    ScopedMessageBoxRecorder boxes;
    TempDir dir;
};

TEST_F(EndToEnd, EveryKindOfProductInEveryOrientation) {
    for (uint16_t product : kOneProductOfEachKind) {
        for (int orientation = 0; orientation < 4; ++orientation) {
            sim::Config config = sim::presetForProduct(product);
            // Keep the product's raw geometry: rearrange its picture so that
            // the new scan order sends the same raw rows.
            const sim::Picture raw =
                scanned(config.picture, config.screen.transposed, config.screen.forward);
            config.screen.transposed = orientation >= 2;
            config.screen.forward = orientation % 2 == 0;
            config.picture = shown(raw, config.screen.transposed, config.screen.forward);
            SCOPED_TRACE(testing::Message()
                         << "product " << product << ", transposed " << config.screen.transposed
                         << ", forward " << config.screen.forward);
            ASSERT_EQ(config.screen.screenType, ProductCatalogue[product].screenType);
            expectSamePicture(capture(config), config);
        }
    }
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(EndToEnd, MisbehavingReceiversStillGiveThePicture) {
    for (const char* fault :
         {"unknown-packets", "short-records", "noise", "ragged-palette", "bad-checksum=1"}) {
        SCOPED_TRACE(fault);
        sim::Config config = sim::presetForProduct(136);
        ASSERT_TRUE(sim::applyFault(fault, config.faults));
        expectSamePicture(capture(config), config);
    }
}

TEST_F(EndToEnd, ReceiverThatStopsAfterTheHeader) {
    ScopedManualTicks ticks;
    sim::Config config = sim::presetForProduct(144);
    config.faults.stopAfterHeader = true;
    const Capture c = capture(config);
    EXPECT_EQ(c.error, DownloadNotResponding);
    EXPECT_GE(ticks.count(), kDownloadIdleTicks);
}

TEST_F(EndToEnd, LineThatDropsIsASerialError) {
    sim::Config config = sim::presetForProduct(111);
    config.faults.dropLine = true;
    EXPECT_EQ(capture(config).error, DownloadSerialError);
    EXPECT_EQ(serialOtherError(), 0) << "cleared at the end of the download";
}

}  // namespace
