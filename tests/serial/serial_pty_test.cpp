// The port layer over its real tty backend, on a pseudo-terminal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <numeric>

#include "serial/pty_pair.h"
#include "serial/serial_device.h"
#include "serial/serial_port.h"
#include "serial/termios_device.h"
#include "support/test_support.h"

namespace {

class SerialPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        serialSetOtherError(0);
        ASSERT_TRUE(port.opened()) << serialLastOpenError();
    }
    void TearDown() override { serialSetOtherError(0); }
    termios line() const {
        termios t{};
        tcgetattr(pty.master(), &t);
        return t;
    }
    speed_t speed() const {
        const termios t = line();
        return cfgetospeed(&t);
    }

    PtyPair pty;
    ScopedSleepRecorder sleeps;
    ScopedOpenPort port{pty.slavePath()};
};

TEST_F(SerialPtyTest, TheDeviceIsHeldForItselfAgainstThisAndOtherProcesses) {
    EXPECT_GE(serialWaitDescriptor(), 0);
    auto other = makeTermiosDevice();
    int error = 0;
    EXPECT_FALSE(other->open(pty.slavePath(), error)) << "a second opener in this process";
    EXPECT_EQ(error, EBUSY);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const bool opened = makeTermiosDevice()->open(pty.slavePath(), error);
        _exit(opened ? 0 : (error == EBUSY ? 1 : 2));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "another process: EBUSY";

    serialClose();
    EXPECT_EQ(serialWaitDescriptor(), -1);
    EXPECT_TRUE(other->open(pty.slavePath(), error)) << "free again after the close";
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
    EXPECT_EQ(pty.receive(256), all);
    pty.send(all);
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
    pty.closeMaster();
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
