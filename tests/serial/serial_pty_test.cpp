// The port layer over its real tty backend, on a pseudo-terminal. That bytes
// pass the line unchanged both ways is proven by the framing round trip.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "serial/pty_pair.h"
#include "serial/serial_device.h"
#include "serial/serial_port.h"
#include "serial/termios_device.h"
#include "support/test_support.h"

namespace {

class SerialPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedPath_ = serialPortDevice(1);
        serialSetPortDevice(1, pty.slavePath());
        serialInit();
        clearFlags();
    }
    void TearDown() override {
        serialClose();
        serialShutdown();
        serialSetPortDevice(1, savedPath_);
        clearFlags();
    }
    static void clearFlags() {
        serialSetRxOverrun(0);
        serialSetTxFull(0);
        serialSetOtherError(0);
    }

    speed_t slaveSpeed() const {
        termios t{};
        tcgetattr(pty.master(), &t);
        return cfgetospeed(&t);
    }

    PtyPair pty;
    ScopedSleepRecorder sleeps;

  private:
    std::string savedPath_;
};

TEST_F(SerialPtyTest, OpensTheDeviceForItselfAndReleasesItOnClose) {
    ASSERT_EQ(serialOpen(1), 1) << serialLastOpenError();
    EXPECT_EQ(slaveSpeed(), B9600);
    EXPECT_GE(serialWaitDescriptor(), 0);
    auto other = makeTermiosDevice();
    int error = 0;
    EXPECT_FALSE(other->open(pty.slavePath(), error)) << "a second opener in this process";
    EXPECT_EQ(error, EBUSY);
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

TEST_F(SerialPtyTest, ASecondOpenerInAnotherProcessIsRefused) {
    ASSERT_EQ(serialOpen(1), 1);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int error = 0;
        const bool opened = makeTermiosDevice()->open(pty.slavePath(), error);
        _exit(opened ? 0 : (error == EBUSY ? 1 : 2));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "refused with EBUSY";
}

TEST_F(SerialPtyTest, ARateChangeSetsTheLineSpeedAndCloseRestoresTheLine) {
    termios before{};
    ASSERT_EQ(tcgetattr(pty.master(), &before), 0);
    ASSERT_TRUE(before.c_lflag & ICANON) << "a fresh pseudo-terminal is cooked";
    ASSERT_EQ(serialOpen(1), 1);
    termios raw{};
    tcgetattr(pty.master(), &raw);
    EXPECT_FALSE(raw.c_lflag & ICANON);
    EXPECT_FALSE(raw.c_iflag & IXON);
    EXPECT_EQ(serialSetBaudRate(115200), 1);
    EXPECT_EQ(slaveSpeed(), B115200);
    EXPECT_EQ(serialSetBaudRate(40000), 1);
    EXPECT_EQ(slaveSpeed(), B38400);
    EXPECT_EQ(serialBaudIndex(), 4);
    EXPECT_THAT(sleeps.calls(), ::testing::ElementsAre(500u, 500u));
    serialClose();
    EXPECT_THAT(sleeps.calls(), ::testing::ElementsAre(500u, 500u, 500u)) << "reset to 9600";
    termios after{};
    tcgetattr(pty.master(), &after);
    EXPECT_TRUE(after.c_lflag & ICANON) << "then the settings found at open are put back";
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
}

TEST_F(SerialPtyTest, AVanishedDeviceRaisesTheOtherErrorFlag) {
    ASSERT_EQ(serialOpen(1), 1);
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
