// The message texts and the device sequences that the window program and the
// CLI share, on the scripted port.
#include <gtest/gtest.h>

#include <sstream>

#include "link/packet_link.h"
#include "link/test_frames.h"
#include "serial/fake_serial_device.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"
#include "session/device_messages.h"
#include "session/device_session.h"
#include "session/link_session.h"
#include "support/test_support.h"

namespace {

// --- Messages ----------------------------------------------------------------

// Every message as the user reads it, line by line, with its icon; each line
// padded with blanks to the width of the box (69 characters; the two lines
// that quote a menu name, 67). Download error codes 1 to 7 each have theirs.
TEST(DeviceMessages, EachTextIsExactlyAsWrittenPaddedToTheBoxWidth) {
    struct Row {
        DeviceMessage message;
        uint8_t downloadError;  // 0: none
        const char* text;
        uint32_t style;
    };
    const Row rows[] = {
        {DeviceMessage::NoResponse, 1,
         "The GPS is not responding. Please ensure the following and try again:\n\n"
         "1. The cable is securely connected to the serial port on the computer\n"
         "2. The cable is securely connected to the GPS\n"
         "3. The GPS has adequate battery strength\n\n"
         "NOTE:  If this problem continues after following these steps try\n"
         "setting a lower baud rate with the \"Set Baudrate\" menu item.",
         msgbox::IconExclamation},
        {DeviceMessage::BaudRate, 0,
         "Unable to set desired baudrate for GPS.\n\nPlease do the following and try again:\n\n"
         "1. Power off the GPS and then power it back on.\n"
         "2. Exit Lumagrab.exe and re-run it after the GPS is powered on.\n\n"
         "NOTE: If this message still appears after doing steps 1 and 2, try\n"
         "setting a lower baud rate with the \"Set Baudrate\" menu item and\n"
         "retrying steps 1 and 2.",
         msgbox::IconExclamation},
        {DeviceMessage::NotFound, 0,
         "Unable to find a GPS.   Please ensure the following and try again:\n\n"
         "1. The GPS's Interface option is set to ORVANE or Host mode\n"
         "2. The cable is connected to the correct serial port\n"
         "3. The GPS is turned on",
         msgbox::IconInformation},
        {DeviceMessage::NotSupported, 0, "This product does not support downloadable screen shots.",
         msgbox::Ok},
        {DeviceMessage::OutOfMemory, 2, "ERROR:  Unable to allocate memory for bitmap.",
         msgbox::IconStop},
        {DeviceMessage::InvalidPalette, 3, "ERROR:  Invalid color palette for this device.",
         msgbox::IconStop},
        {DeviceMessage::TxFull, 4, "Serial port transmit buffer full.", msgbox::IconStop},
        {DeviceMessage::RxOverrun, 5, "Serial port receive buffer overrun.", msgbox::IconStop},
        {DeviceMessage::SerialError, 6, "An unknown serial port error has occured.",
         msgbox::IconStop},
        {DeviceMessage::PacketOverrun, 7, "Internal Orvane packet buffer overrun.",
         msgbox::IconStop},
        {DeviceMessage::InvalidPort, 0,
         "ERROR:  Invalid Comm Port.  Please check the Comm Port setting.", msgbox::IconStop},
    };
    static_assert(std::size(rows) == size_t(DeviceMessage::Count));
    size_t linesOf67 = 0;
    for (const Row& row : rows) {
        const std::string text = deviceMessageText(row.message);
        EXPECT_EQ(withoutLinePadding(text), row.text);
        EXPECT_EQ(deviceMessageStyle(row.message), row.style) << row.text;
        if (row.downloadError) {
            EXPECT_EQ(downloadErrorMessage(row.downloadError), row.message) << row.text;
        }
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            EXPECT_TRUE(line.size() == 69 || line.size() == 67) << "[" << line << "]";
            linesOf67 += line.size() == 67;
        }
        EXPECT_NE(text.back(), '\n');
    }
    EXPECT_EQ(linesOf67, 2u);
    EXPECT_EQ(withoutLinePadding("a  \n  b \n\n"), "a\n  b\n\n");
}

// Auto Detect's other port: 2 after 1, and 1 after anything else, so that a
// stored number that names no port still leads to a port.
TEST(LinkSession, TheOtherPortIsTwoAfterOneAndOneAfterAnyOther) {
    const std::pair<uint8_t, uint8_t> rows[] = {{1, 2}, {2, 1}, {0, 1}, {3, 1}, {255, 1}};
    for (const auto& [port, other] : rows)
        EXPECT_EQ(LinkSession::otherPort(port), other) << int(port);
}

// --- Sequences -----------------------------------------------------------------

class SessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        serialSetByteHandler(linkReceiveByte);
        linkResetReceiver();
        ASSERT_EQ(serialOpen(1), 1);
        fake.device.writes.clear();
    }

    ScopedSleepRecorder sleeps;
    ScopedManualTicks ticks;
    ScopedFakeSerial fake;
};

// Where the port goes, with no exchange, for each baud choice and remembered rate.
TEST_F(SessionTest, PortMovesToTheRateTheSettingsPointTo) {
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
    EXPECT_TRUE(fake.device.writes.empty());
}

// A receiver outside the catalogue after a known one: no layout is left over
// (the window's test shows Download refusing it).
TEST_F(SessionTest, UnknownProductKeepsNoEarlierLayout) {
    fake.device.feed(frameOf(255, {0xD3, 0x00, 0x38, 0x01}));  // product 211, version 3.12
    DeviceInfo info{};
    static_cast<ProductRecord&>(info) = ProductCatalogue[166];
    ASSERT_TRUE(catalogueSupportsCapture(&info));
    std::string version;
    uint16_t id = 0;
    ASSERT_TRUE(sessionIdentify(info, version, &id));
    EXPECT_EQ(id, 211);
    EXPECT_STREQ(info.name, "<Not Connected>");
    EXPECT_EQ(version, "3.12");
    EXPECT_FALSE(catalogueSupportsCapture(&info));
    EXPECT_EQ(info.palette, nullptr);
    EXPECT_EQ(info.postProcess, PostProcess::None);
}

}  // namespace
