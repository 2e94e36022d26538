// The port layer over its real tty backend, on a pseudo-terminal whose
// master side the test holds.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <numeric>

#include "serial/serial_device.h"
#include "serial/serial_port.h"
#include "serial/termios_device.h"
#include "support/test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SerialPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        slavePath = ptsname(master);
        serialSetPortDevice(1, slavePath);
        serialInit();
        serialSetOtherError(0);
        ASSERT_EQ(serialOpen(1), 1) << serialLastOpenError();
    }
    void TearDown() override {
        serialClose();
        serialShutdown();
        serialSetPortDevice(1, savedPath);
        serialSetOtherError(0);
        ::close(master);
    }
    termios line() const {
        termios t{};
        tcgetattr(master, &t);
        return t;
    }
    speed_t speed() const {
        const termios t = line();
        return cfgetospeed(&t);
    }
    // Reads until `count` bytes came or the line stayed quiet for 5 s.
    Bytes receive(size_t count) {
        Bytes got;
        uint8_t buffer[512];
        for (pollfd p{master, POLLIN, 0}; got.size() < count && poll(&p, 1, 5000) > 0;) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    ScopedSleepRecorder sleeps;
    const std::string savedPath = serialPortDevice(1);
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    std::string slavePath;
};

// Another program holding the port is the command-line tests' case.
TEST_F(SerialPtyTest, TheDeviceIsHeldForItselfAgainstASecondOpener) {
    EXPECT_GE(serialWaitDescriptor(), 0);
    auto other = makeTermiosDevice();
    int error = 0;
    EXPECT_FALSE(other->open(slavePath, error)) << "a second opener";
    EXPECT_EQ(error, EBUSY);

    serialClose();
    EXPECT_EQ(serialWaitDescriptor(), -1);
    EXPECT_TRUE(other->open(slavePath, error)) << "free again after the close";
    EXPECT_EQ(serialOpen(1), 0);
    EXPECT_EQ(serialLastOpenError(), EBUSY) << "and now the port layer is the second opener";
    other->close();
    serialSetPortDevice(1, "/dev/lumagrab-no-such-port");
    EXPECT_EQ(serialOpen(1), 0);
    EXPECT_EQ(serialLastOpenError(), ENOENT);
}

// No byte is translated, held back for a line end or taken for flow control.
TEST_F(SerialPtyTest, EveryByteValuePassesBothWaysUnchanged) {
    static std::vector<uint8_t> all(256), got;
    std::iota(all.begin(), all.end(), 0);
    ASSERT_EQ(serialWrite(all.data(), 256), 0);
    EXPECT_EQ(receive(256), all);
    ASSERT_EQ(::write(master, all.data(), 256), 256);
    serialSetByteHandler([](uint8_t byte) { got.push_back(byte); });
    for (pollfd p{serialWaitDescriptor(), POLLIN, 0}; got.size() < 256 && poll(&p, 1, 5000) > 0;)
        serialPoll();
    EXPECT_EQ(got, all);
}

TEST_F(SerialPtyTest, ARateChangeSetsTheLineSpeedAndCloseRestoresTheLine) {
    EXPECT_EQ(speed(), B9600);
    EXPECT_EQ(serialSetBaudRate(115200), 1);
    EXPECT_EQ(speed(), B115200);
    EXPECT_EQ(serialSetBaudRate(40000), 1);
    EXPECT_EQ(speed(), B38400);
    EXPECT_THAT(sleeps.calls(), ::testing::ElementsAre(500u, 500u));
    serialClose();
    EXPECT_TRUE(line().c_lflag & ICANON) << "the settings found at open are put back";
    EXPECT_THAT(sleeps.calls(), ::testing::ElementsAre(500u, 500u, 500u)) << "reset to 9600";
}

TEST_F(SerialPtyTest, AVanishedDeviceRaisesTheOtherErrorFlag) {
    ::close(master);
    master = -1;
    serialPoll();
    EXPECT_EQ(serialOtherError(), 1);
    EXPECT_EQ(serialRxOverrun(), 0);
    serialSetOtherError(0);
    const uint8_t byte = 0;
    EXPECT_NE(serialWrite(&byte, 1), 0);
    EXPECT_EQ(serialOtherError(), 1);
    EXPECT_EQ(serialBytesWaiting(), 0);
}

}  // namespace
