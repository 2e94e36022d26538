// Whole captures from the virtual receiver on a pseudo-terminal, through the
// real serial layer and tick timer, down to the bitmap file.
#include <gtest/gtest.h>

#include <vector>

#include "capture/bitmap_file.h"
#include "capture/bmp_test_reader.h"
#include "capture/screen_download.h"
#include "serial/pty_pair.h"
#include "serial/serial_port.h"
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

// The picture that sends the same raw rows as `config` does when the device
// scans them in the given way, so that the product's raw geometry stays.
sim::Picture reoriented(const sim::Config& config, bool transposed, bool forward) {
    const sim::Picture& before = config.picture;
    const bool wasTransposed = config.screen.transposed;
    const int rawWidth = wasTransposed ? before.height : before.width;
    const int rawHeight = wasTransposed ? before.width : before.height;
    sim::Picture after = before;
    after.width = transposed ? rawHeight : rawWidth;
    after.height = transposed ? rawWidth : rawHeight;
    for (int y = 0; y < rawHeight; ++y) {
        for (int x = 0; x < rawWidth; ++x) {
            const auto [fromColumn, fromTop] =
                shownAt(x, y, before.width, before.height, wasTransposed, config.screen.forward);
            const auto [column, top] =
                shownAt(x, y, after.width, after.height, transposed, forward);
            after.pixels[static_cast<size_t>(top) * after.width + column] =
                before.at(fromColumn, fromTop);
        }
    }
    return after;
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
        DeviceInfo device{};
        static_cast<ProductRecord&>(device) = ProductCatalogue[config.productId];
        BitmapInfo info{};
        std::vector<uint8_t> pixels;
        {
            ScopedOpenPort port(receiver.slavePath());
            EXPECT_TRUE(port.opened());
            pixels = screenDownload(info, device, result.error);
        }
        std::string directory = dir.path();
        std::string path;
        if (result.error == DownloadOk &&
            bitmapSaveAuto(info, pixels, device.screenType, directory, device, &path)) {
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
        EXPECT_EQ(file.width, c.expected.width);
        EXPECT_TRUE(file.paddingIsZero());
        EXPECT_EQ(file.indices(), c.expected.pixels);
        std::vector<uint8_t> table;
        for (uint32_t i = 0; i < file.colorsUsed; ++i) {
            if (config.screen.recordFormat == 4) {
                const sim::Rgb& rgb = c.expected.palette.at(i);
                table.insert(table.end(), {rgb.blue, rgb.green, rgb.red, 0});
            } else {
                const RGBQUAD& q = ProductCatalogue[config.productId].palette[i];
                table.insert(table.end(), {q.rgbBlue, q.rgbGreen, q.rgbRed, 0});
            }
        }
        EXPECT_EQ(file.colorTable, table);
    }

    ScopedSleepRecorder sleeps;
    ScopedMessageBoxRecorder boxes;
    TempDir dir;
};

TEST_F(EndToEnd, EveryKindOfProductInEveryOrientation) {
    for (uint16_t product : kOneProductOfEachKind) {
        for (int orientation = 0; orientation < 4; ++orientation) {
            sim::Config config = sim::presetForProduct(product);
            const bool transposed = orientation >= 2;
            const bool forward = orientation % 2 == 0;
            config.picture = reoriented(config, transposed, forward);
            config.screen.transposed = transposed;
            config.screen.forward = forward;
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
    struct Case {
        const char* fault;
        std::vector<uint16_t> products;
    };
    // Records of unknown type or cut short are read in the layout of each
    // record format; the other faults do not depend on it.
    const std::vector<uint16_t> oneOfEachFormat = {59, 101, 111, 136};
    for (const Case& c :
         {Case{"unknown-packets", oneOfEachFormat}, Case{"short-records", oneOfEachFormat},
          Case{"reverse", {59, 136}}, Case{"past-end", {95}}, Case{"noise", {136}}}) {
        for (uint16_t product : c.products) {
            SCOPED_TRACE(testing::Message() << c.fault << ", product " << product);
            sim::Config config = sim::presetForProduct(product);
            ASSERT_TRUE(sim::applyFault(c.fault, config.faults));
            expectSamePicture(capture(config), config);
        }
    }
}

TEST_F(EndToEnd, LineThatDropsIsASerialError) {
    sim::Config config = sim::presetForProduct(111);
    config.faults.dropLine = true;
    EXPECT_EQ(capture(config).error, DownloadSerialError);
    EXPECT_EQ(serialOtherError(), 0) << "cleared at the end of the download";
}

}  // namespace
