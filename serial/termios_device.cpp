// The tty backend. This is the one file that includes <linux/serial.h> for
// the driver's line-error counters (TIOCGICOUNT): the port layer sees only
// the lineerror:: bits that come out of it.
//
// Drivers differ: pseudo-terminals and several USB adapters answer ENOTTY to
// the modem-line and counter ioctls. That means "not supported" and is never
// an error. A device that vanishes (adapter pulled out, the far end of a
// pseudo-terminal closed) shows up as EIO, ENXIO, ENODEV or POLLHUP and is
// reported as lineerror::DeviceGone, so that waiting callers end instead of
// hanging.
#include "serial/termios_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "serial/system_serial.h"

namespace {

class TermiosDevice final : public SerialDevice {
  public:
    TermiosDevice() = default;
    ~TermiosDevice() override;
    TermiosDevice(const TermiosDevice&) = delete;
    TermiosDevice& operator=(const TermiosDevice&) = delete;

    bool open(const std::string& path, int& error) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }
    bool configure(uint32_t rate) override;
    void purge(uint32_t flags) override;
    void setDtr(bool raised) override;
    uint32_t takeErrors(uint32_t& bytesWaiting) override;
    int32_t read(uint8_t* buffer, uint32_t count) override;
    bool write(const uint8_t* data, uint32_t count) override;
    int waitDescriptor() const override { return fd_; }

    // Driver counters of line errors, as last read.
    struct LineCounters {
        int overrun = 0;
        int queueOverrun = 0;
        int frame = 0;
        int parity = 0;
        int brk = 0;
    };

  private:
    uint32_t counterErrors();
    bool waitWritable();
    void waitUntilSent(uint32_t count);

    int fd_ = -1;
    uint32_t rate_ = 9600;
    termios original_{};
    bool haveOriginal_ = false;
    bool countersSupported_ = false;
    LineCounters counters_;
    uint32_t pendingErrors_ = 0;
};

// How long a write may make no progress before the output counts as stalled.
constexpr int kWriteStallMs = 1000;

speed_t speedFor(uint32_t rate) {
    switch (rate) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return B0;
    }
}

bool isVanished(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

void makeRaw8N1(termios& t) {
    t.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    // Software flow control would swallow the bytes 0x11 and 0x13 of the
    // binary protocol, hardware flow control would stall a three-wire cable.
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

}  // namespace

std::unique_ptr<SerialDevice> makeTermiosDevice() {
    return std::make_unique<TermiosDevice>();
}

TermiosDevice::~TermiosDevice() {
    close();
}

bool TermiosDevice::open(const std::string& path, int& error) {
    if (isOpen()) {
        error = EBUSY;
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    // TIOCEXCL keeps out other openers without privileges; the lock also
    // keeps out a second opener run as root, in this process or another.
    ioctl(fd, TIOCEXCL);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        error = (errno == EWOULDBLOCK) ? EBUSY : errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    haveOriginal_ = tcgetattr(fd_, &original_) == 0;
    pendingErrors_ = 0;
    serial_icounter_struct ic{};
    countersSupported_ = ioctl(fd_, TIOCGICOUNT, &ic) == 0;
    counters_ = {ic.overrun, ic.buf_overrun, ic.frame, ic.parity, ic.brk};
    error = 0;
    return true;
}

void TermiosDevice::close() {
    if (!isOpen())
        return;
    if (haveOriginal_)
        tcsetattr(fd_, TCSANOW, &original_);
    ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // also releases the lock
    fd_ = -1;
}

bool TermiosDevice::configure(uint32_t rate) {
    const speed_t speed = speedFor(rate);
    termios t{};
    if (speed == B0 || tcgetattr(fd_, &t) != 0)
        return false;
    makeRaw8N1(t);
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0)
        return false;
    if (tcsetattr(fd_, TCSANOW, &t) != 0)
        return false;
    rate_ = rate;
    return true;
}

void TermiosDevice::purge(uint32_t flags) {
    if (flags & purge::Receive)
        tcflush(fd_, TCIFLUSH);
    // Discard only what this side still holds unsent. On a pseudo-terminal
    // the output queue is always empty and a flush would instead throw away
    // bytes already delivered to the peer but not yet read by it.
    int unsent = 0;
    if ((flags & purge::Transmit) && ioctl(fd_, TIOCOUTQ, &unsent) == 0 && unsent > 0)
        tcflush(fd_, TCOFLUSH);
}

void TermiosDevice::setDtr(bool raised) {
    int bits = TIOCM_DTR;
    ioctl(fd_, raised ? TIOCMBIS : TIOCMBIC, &bits);  // ENOTTY: no modem lines
}

uint32_t TermiosDevice::takeErrors(uint32_t& bytesWaiting) {
    uint32_t errors = pendingErrors_ | counterErrors();
    pendingErrors_ = 0;
    // A hung-up tty (adapter pulled out, far end of a pseudo-terminal gone)
    // fails this with EIO; no separate poll for POLLHUP is needed.
    int waiting = 0;
    if (ioctl(fd_, FIONREAD, &waiting) != 0) {
        if (isVanished(errno))
            errors |= lineerror::DeviceGone;
        waiting = 0;
    }
    bytesWaiting = waiting > 0 ? static_cast<uint32_t>(waiting) : 0;
    return errors;
}

uint32_t TermiosDevice::counterErrors() {
    if (!countersSupported_)
        return 0;
    serial_icounter_struct ic{};
    if (ioctl(fd_, TIOCGICOUNT, &ic) != 0) {
        if (isVanished(errno))
            return lineerror::DeviceGone;
        return 0;
    }
    uint32_t errors = 0;
    if (ic.overrun != counters_.overrun)
        errors |= lineerror::Overrun;
    if (ic.buf_overrun != counters_.queueOverrun)
        errors |= lineerror::RxQueueOverflow;
    if (ic.frame != counters_.frame)
        errors |= lineerror::Frame;
    if (ic.parity != counters_.parity)
        errors |= lineerror::Parity;
    if (ic.brk != counters_.brk)
        errors |= lineerror::Break;
    counters_ = {ic.overrun, ic.buf_overrun, ic.frame, ic.parity, ic.brk};
    return errors;
}

int32_t TermiosDevice::read(uint8_t* buffer, uint32_t count) {
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, count);
        if (n >= 0)
            return static_cast<int32_t>(n);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        pendingErrors_ |= lineerror::DeviceGone;
        return -1;
    }
}

bool TermiosDevice::write(const uint8_t* data, uint32_t count) {
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, data + done, count - done);
        if (n > 0) {
            done += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            pendingErrors_ |= lineerror::DeviceGone;
            return false;
        }
        if (!waitWritable())
            return false;
    }
    waitUntilSent(count);
    return true;
}

// Waits until the output queue has room again; false (and the reason noted)
// when it stays full or the device fails.
bool TermiosDevice::waitWritable() {
    pollfd p{fd_, POLLOUT, 0};
    int ready;
    do {
        ready = poll(&p, 1, kWriteStallMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        pendingErrors_ |= lineerror::TxFull;
        return false;
    }
    if (ready < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
        pendingErrors_ |= lineerror::DeviceGone;
        return false;
    }
    return true;
}

// A write returns once the line has sent the block, so that a purge right
// after it (a rate change follows an acknowledgement at once) cannot discard
// the block's tail. Bounded by twice the block's time on the line.
void TermiosDevice::waitUntilSent(uint32_t count) {
    using namespace std::chrono;
    const auto lineTime = milliseconds(uint64_t{count} * 10 * 1000 / rate_);
    const auto deadline = steady_clock::now() + 2 * lineTime + milliseconds(50);
    int unsent = 0;
    while (ioctl(fd_, TIOCOUTQ, &unsent) == 0 && unsent > 0 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(1));
}

std::unique_ptr<SerialDevice> makeSystemSerialDevice() {
    return makeTermiosDevice();
}

std::string systemDefaultPortDevice(uint8_t port) {
    switch (port) {
        case 1:
            return "/dev/ttyS0";
        case 2:
            return "/dev/ttyUSB0";
        default:
            return {};
    }
}
