// The port layer over its real tty backend, on a pseudo-terminal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "serial/pty_pair.h"
#include "serial/serial_device.h"
#include "serial/serial_port.h"
#include "serial/termios_device.h"
#include "support/test_support.h"

namespace {

std::vector<uint8_t> gReceived;
void collect(uint8_t byte) {
    gReceived.push_back(byte);
}

class SerialPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        gReceived.clear();
        savedPath_ = serialPortDevice(1);
        serialSetPortDevice(1, pty.slavePath());
        serialInit();
        serialSetByteHandler(collect);
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

    // Polls until `count` bytes reached the handler (bounded, no timing claim).
    void pollFor(size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (gReceived.size() < count && std::chrono::steady_clock::now() < deadline) {
            if (serialPoll() == 0)
                usleep(1000);
        }
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

TEST_F(SerialPtyTest, OpensAndClosesTheDevice) {
    ASSERT_EQ(serialOpen(1), 1) << serialLastOpenError();
    EXPECT_EQ(serialBaudIndex(), 2);
    EXPECT_EQ(slaveSpeed(), B9600);
    EXPECT_GE(serialWaitDescriptor(), 0);
    serialClose();
    EXPECT_EQ(serialBaudIndex(), 0);
    EXPECT_EQ(serialWaitDescriptor(), -1);
    EXPECT_EQ(serialOpen(1), 1) << "closing released the device";
    serialClose();
    serialSetPortDevice(1, "/dev/lumagrab-no-such-port");
    EXPECT_EQ(serialOpen(1), 0);
    EXPECT_EQ(serialLastOpenError(), ENOENT);
}

TEST_F(SerialPtyTest, ASecondOpenerInThisProcessIsRefused) {
    ASSERT_EQ(serialOpen(1), 1);
    auto other = makeTermiosDevice();
    int error = 0;
    EXPECT_FALSE(other->open(pty.slavePath(), error));
    EXPECT_EQ(error, EBUSY);
    serialClose();
    EXPECT_TRUE(other->open(pty.slavePath(), error)) << "free again after the close";
    EXPECT_EQ(serialOpen(1), 0);
    EXPECT_EQ(serialLastOpenError(), EBUSY) << "and now the port layer is the second opener";
}

TEST_F(SerialPtyTest, ASecondOpenerInAnotherProcessIsRefused) {
    ASSERT_EQ(serialOpen(1), 1);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto device = makeTermiosDevice();
        int error = 0;
        const bool opened = device->open(pty.slavePath(), error);
        _exit(opened ? 0 : (error == EBUSY ? 1 : 2));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the child must be refused with EBUSY";
}

TEST_F(SerialPtyTest, IncomingBytesReachTheHandlerInOrderUnchanged) {
    ASSERT_EQ(serialOpen(1), 1);
    // Flow-control and line-editing characters must pass untouched.
    std::vector<uint8_t> sent = {0x11, 0x13, 0x03, 0x0D, 0x0A, 0x10, 0x7F, 0x00, 0xFF, 0x1A};
    for (int i = 0; i < 3000; ++i) sent.push_back(static_cast<uint8_t>(i * 7));
    pty.send(sent);
    pollFor(sent.size());
    EXPECT_EQ(gReceived, sent);
}

TEST_F(SerialPtyTest, WrittenBytesReachTheLineUnchanged) {
    ASSERT_EQ(serialOpen(1), 1);
    const std::vector<uint8_t> block = {0x10, 0x0A, 0x02, 0x11, 0x13, 0x0A, 0x0D, 0x10, 0x03};
    EXPECT_EQ(serialWrite(block.data(), static_cast<uint32_t>(block.size())), 0);
    EXPECT_EQ(pty.receive(block.size()), block);
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
