// The port layer's logic over the scripted backend: results, the order of
// device steps, and the handling of line errors.
#include "serial/serial_port.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "serial/fake_serial_device.h"
#include "serial/system_serial.h"
#include "support/test_support.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Calls = std::vector<std::string>;

std::vector<uint8_t> gHandled;
void recordByte(uint8_t byte) {
    gHandled.push_back(byte);
}

const Calls kRateChangeTo9600 = {"purge 0x0f", "dtr 1", "configure 9600", "dtr 1", "purge 0x0f"};

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override { gHandled.clear(); }
    // Opens port 1 and forgets the calls the open made.
    void openPort() {
        ASSERT_EQ(serialOpen(1), 1);
        fake.device.calls.clear();
    }

    ScopedSleepRecorder sleeps;
    ScopedFakeSerial fake;
};

TEST(SerialRates, ClassifyAndIndexFollowTheBands) {
    struct Case {
        uint32_t rate;
        uint8_t index;  // 0: rejected
        uint32_t nominal;
    };
    const Case cases[] = {{9215, 0, 0},           {9216, 2, 9600},   {18432, 3, 19200},
                          {27647, 3, 19200},      {27648, 0, 0},     {36863, 0, 0},
                          {36864, 4, 38400},      {55296, 5, 57600}, {110592, 6, 115200},
                          {0xFFFFFFFF, 6, 115200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        uint8_t index = 0xEE;
        uint32_t nominal = 0xDEADBEEF;
        EXPECT_EQ(serialClassifyRate(c.rate, &index, &nominal), c.index != 0 ? 1 : 0);
        EXPECT_EQ(index, c.index != 0 ? c.index : 0xEE) << "a rejected rate writes nothing";
        EXPECT_EQ(nominal, c.index != 0 ? c.nominal : 0xDEADBEEF);
    }
}

TEST_F(SerialPortTest, AfterShutdownEveryOperationFailsAndTheErrorFlagsStay) {
    serialSetRxOverrun(1);
    serialSetTxFull(1);
    serialSetOtherError(1);
    ASSERT_EQ(serialOpen(1), 1);
    serialShutdown();
    EXPECT_FALSE(fake.device.isOpen()) << "a port left open is released, not leaked";
    fake.device.calls.clear();

    const uint8_t byte = 0x55;
    EXPECT_EQ(serialOpen(1), 0);
    EXPECT_EQ(serialLastOpenError(), EINVAL);
    EXPECT_EQ(serialWrite(&byte, 1), -1);
    EXPECT_EQ(serialPoll(), -1);
    EXPECT_EQ(serialBytesWaiting(), -1);
    EXPECT_EQ(serialSetBaudRate(19200), 0);
    EXPECT_EQ(serialBaudIndex(), 0);
    serialClose();
    serialFlush();
    EXPECT_EQ(serialClassifyErrors(lineerror::Frame), 0);
    EXPECT_THAT(fake.device.calls, IsEmpty()) << "no device step without an initialised layer";
    EXPECT_THAT(sleeps.calls(), IsEmpty());
    serialInit();
    EXPECT_EQ(serialRxOverrun() + serialTxFull() + serialOtherError(), 3);
}

TEST_F(SerialPortTest, OpenSetsUpOnePortAndFailsWithoutLeavingOne) {
    EXPECT_EQ(serialPortDevice(1), systemDefaultPortDevice(1));
    serialSetPortDevice(2, "/dev/ttyACM7");
    ASSERT_EQ(serialOpen(2), 1);
    serialSetPortDevice(2, "/dev/ttyUSB0");
    EXPECT_THAT(fake.device.calls, ElementsAre("open /dev/ttyACM7", "purge 0x0f", "configure 9600",
                                               "purge 0x0f", "dtr 1"));
    EXPECT_EQ(serialBaudIndex(), 2);
    EXPECT_THAT(sleeps.calls(), IsEmpty());

    fake.device.calls.clear();
    EXPECT_EQ(serialOpen(2), 0);
    EXPECT_EQ(serialLastOpenError(), EBUSY);
    EXPECT_THAT(fake.device.calls, IsEmpty()) << "the open port is kept";
    EXPECT_EQ(serialBytesWaiting(), 0);
    serialClose();

    fake.device.calls.clear();
    for (uint8_t port : {0, 3, 255}) {
        EXPECT_EQ(serialOpen(port), 0);
        EXPECT_EQ(serialLastOpenError(), EINVAL);
    }
    EXPECT_THAT(fake.device.calls, IsEmpty()) << "bad port numbers touch no device";
    fake.device.configureResults = {false, false};
    EXPECT_EQ(serialOpen(1), 0) << "a refused configuration closes the port";
    EXPECT_FALSE(fake.device.isOpen());
    EXPECT_EQ(serialPoll(), -1);
}

TEST_F(SerialPortTest, RateChangesPurgePauseAndSetTheNominalRate) {
    openPort();
    EXPECT_EQ(serialSetBaudRate(9600), 1);
    EXPECT_EQ(fake.device.calls, kRateChangeTo9600) << "also when already at the rate";
    EXPECT_THAT(sleeps.calls(), ElementsAre(500u));
    EXPECT_EQ(serialSetBaudRate(60000), 1);
    EXPECT_EQ(fake.device.rate, 57600u);
    EXPECT_EQ(serialBaudIndex(), 5);

    fake.device.calls.clear();
    EXPECT_EQ(serialSetBaudRate(30000), 0);
    EXPECT_EQ(serialBaudIndex(), 5) << "a rejected rate changes nothing";
    EXPECT_THAT(fake.device.calls, IsEmpty());

    fake.device.configureResults = {false};
    EXPECT_EQ(serialSetBaudRate(115200), 0);
    EXPECT_EQ(std::count(fake.device.calls.begin(), fake.device.calls.end(), "close"), 1)
        << "a refused rate closes the port once";
    EXPECT_EQ(serialPoll(), -1);
}

TEST_F(SerialPortTest, CloseResetsTheRateDropsDtrAndPurgesOnceEvenWhenTheResetFails) {
    openPort();
    serialClose();
    Calls expected = kRateChangeTo9600;
    expected.insert(expected.end(), {"dtr 0", "purge 0x0f", "close"});
    EXPECT_EQ(fake.device.calls, expected);
    EXPECT_THAT(sleeps.calls(), ElementsAre(500u));
    EXPECT_EQ(serialBytesWaiting(), -1);

    openPort();
    fake.device.configureResults = {false};
    serialClose();
    EXPECT_THAT(fake.device.calls, ElementsAre("purge 0x0f", "dtr 1", "configure 9600", "dtr 0",
                                               "purge 0x0f", "close"));
    EXPECT_THAT(sleeps.calls(), ElementsAre(500u, 500u)) << "no second close with its own reset";
    EXPECT_EQ(serialBaudIndex(), 0);
    EXPECT_EQ(serialOpen(1), 1) << "the layer is usable again";
}

TEST_F(SerialPortTest, WritesGoOutWholeAndPollsHandEveryByteToTheHandlerInOrder) {
    openPort();
    const std::vector<uint8_t> block = {0x10, 0x0A, 0x02, 0x39, 0x00};
    EXPECT_EQ(serialWrite(block.data(), static_cast<uint32_t>(block.size())), 0);
    EXPECT_THAT(fake.device.writes, ElementsAre(block));
    fake.device.failWrites = 1;
    EXPECT_EQ(serialWrite(block.data(), 1), int32_t{lineerror::TxFull});
    EXPECT_EQ(serialTxFull(), 1);
    EXPECT_THAT(fake.device.calls, ElementsAre("purge 0x05"));

    fake.device.feed({7, 8, 9});
    EXPECT_EQ(serialPoll(), 3) << "without a handler the bytes are read and dropped";
    EXPECT_TRUE(fake.device.input.empty());

    serialSetByteHandler(recordByte);
    fake.device.feed({1, 2, 3, 0x10, 0xFF});
    EXPECT_EQ(serialPoll(), 5);
    EXPECT_THAT(gHandled, ElementsAre(1, 2, 3, 0x10, 0xFF));
    EXPECT_EQ(serialPoll(), 0);

    fake.device.feed(std::vector<uint8_t>(70000, 0xA5));
    EXPECT_EQ(serialPoll(), 65535) << "at most 65535 bytes a poll";
    EXPECT_EQ(serialPoll(), 70000 - 65535);

    gHandled.clear();
    fake.device.feed({1, 2});
    fake.device.failReads = 1;
    EXPECT_EQ(serialPoll(), 0) << "a failed read";
    EXPECT_TRUE(gHandled.empty());
    EXPECT_EQ(serialOtherError(), 1);

    fake.device.calls.clear();
    fake.device.feed({1});
    serialFlush();
    EXPECT_THAT(fake.device.calls, ElementsAre("purge 0x0c", "dtr 1"));
    EXPECT_TRUE(fake.device.input.empty());
}

TEST_F(SerialPortTest, LineErrorsRaiseTheirFlagsAndPurgeTheirQueues) {
    struct Case {
        uint32_t mask;
        uint8_t rx, tx, other;
        Calls purges;
    };
    const Case cases[] = {
        {lineerror::Overrun, 1, 0, 0, {"purge 0x0a"}},
        {lineerror::RxQueueOverflow, 1, 0, 0, {"purge 0x0a"}},
        {lineerror::TxFull, 0, 1, 0, {"purge 0x05"}},
        {lineerror::Overrun | lineerror::TxFull, 1, 1, 0, {"purge 0x0a", "purge 0x05"}},
        {lineerror::Frame, 0, 0, 1, {}},
        {lineerror::Parity | lineerror::Break, 0, 0, 1, {}},
        {lineerror::DeviceGone, 0, 0, 1, {}},
    };
    openPort();
    serialSetByteHandler(recordByte);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        fake.device.calls.clear();
        serialSetRxOverrun(0);
        serialSetTxFull(0);
        serialSetOtherError(0);
        EXPECT_EQ(serialClassifyErrors(c.mask), 1);
        EXPECT_EQ(serialRxOverrun(), c.rx);
        EXPECT_EQ(serialTxFull(), c.tx);
        EXPECT_EQ(serialOtherError(), c.other);
        EXPECT_EQ(fake.device.calls, c.purges);
    }
    EXPECT_EQ(serialClassifyErrors(0), 0);

    // A poll after an overrun reads nothing and returns the count that waited.
    fake.device.feed({1, 2, 3, 4});
    fake.device.errorMasks = {lineerror::Overrun};
    EXPECT_EQ(serialPoll(), 4);
    EXPECT_TRUE(gHandled.empty());
    EXPECT_EQ(serialPoll(), 0) << "the input was discarded";
    EXPECT_EQ(serialRxOverrun(), 1) << "sticky until cleared";
}

}  // namespace
