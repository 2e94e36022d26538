// The message texts and the device sequences that the window program and the
// CLI share, against the virtual receiver on a pseudo-terminal.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <sstream>

#include "serial/pty_pair.h"
#include "serial/serial_port.h"
#include "session/device_messages.h"
#include "session/device_session.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"

namespace {

// --- Messages ----------------------------------------------------------------

TEST(DeviceMessages, TextsArePaddedToTheBoxWidthAndPrintedWithout) {
    size_t linesOf67 = 0;
    for (int m = 0; m < static_cast<int>(DeviceMessage::Count); ++m) {
        const std::string text = deviceMessageText(static_cast<DeviceMessage>(m));
        EXPECT_NE(text.back(), '\n') << m;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            EXPECT_TRUE(line.size() == 69 || line.size() == 67) << m << ": [" << line << "]";
            linesOf67 += line.size() == 67;
        }
    }
    EXPECT_EQ(linesOf67, 2u);
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
    EXPECT_EQ(deviceMessageStyle(DeviceMessage::NotSupported), 0u);
    EXPECT_EQ(deviceMessageStyle(DeviceMessage::NoResponse), msgbox::IconExclamation);
    EXPECT_EQ(deviceMessageStyle(DeviceMessage::NotFound), msgbox::IconInformation);
    EXPECT_EQ(deviceMessageStyle(DeviceMessage::PacketOverrun), msgbox::IconStop);
}

// --- Sequences -----------------------------------------------------------------

class SessionSimTest : public ::testing::Test {
  protected:
    void play(sim::Config config) {
        receiver_ = std::make_unique<VirtualReceiver>(std::move(config));
        ASSERT_TRUE(receiver_->start()) << receiver_->error();
        port_.emplace(receiver_->slavePath());
        ASSERT_TRUE(port_->opened()) << serialLastOpenError();
    }
    void TearDown() override {
        port_.reset();
        if (receiver_)
            receiver_->stop();
    }

    ScopedSleepRecorder sleeps;
    std::unique_ptr<VirtualReceiver> receiver_;
    std::optional<ScopedOpenPort> port_;
};

// Where the port goes, with no exchange, for each baud choice and remembered rate.
TEST_F(SessionSimTest, PortMovesToTheRateTheSettingsPointTo) {
    play(sim::presetForProduct(166));
    struct Row {
        uint8_t choice, remembered;
        uint32_t rate;
    };
    const Row rows[] = {
        {1, 6, 115200}, {1, 0, 9600}, {1, 9, 9600}, {4, 6, 38400},
        {2, 6, 9600},   {0, 6, 9600}, {9, 6, 9600}, {255, 0, 9600},
    };
    for (const Row& r : rows) {
        ASSERT_EQ(serialSetBaudRate(9600), 1);
        sessionMoveToSettingsRate(r.choice, r.remembered);
        EXPECT_EQ(serialRateForIndex(serialBaudIndex()), r.rate)
            << int(r.choice) << " " << int(r.remembered);
    }
    EXPECT_EQ(receiver_->packetCount(), 0u);
}

// A receiver outside the catalogue after a known one: no layout is left over
// (the window's test shows Download refusing it).
TEST_F(SessionSimTest, UnknownProductKeepsNoEarlierLayout) {
    sim::Config config = sim::presetForProduct(166);
    config.productId = 400;
    config.version = 312;
    play(config);
    DeviceInfo info{};
    static_cast<ProductRecord&>(info) = ProductCatalogue[166];
    ASSERT_TRUE(catalogueSupportsCapture(&info));
    std::string version;
    uint16_t id = 0;
    ASSERT_TRUE(sessionIdentify(info, version, &id));
    EXPECT_EQ(id, 400);
    EXPECT_STREQ(info.name, "<Not Connected>");
    EXPECT_EQ(version, "3.12");
    EXPECT_FALSE(catalogueSupportsCapture(&info));
    EXPECT_EQ(info.palette, nullptr);
    EXPECT_EQ(info.postProcess, PostProcess::None);
}

}  // namespace
