// Pseudo-terminals for tests: the test holds the master side, the code under
// test opens the slave path as its serial device.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/packet_link.h"
#include "serial/serial_port.h"

class PtyPair {
  public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slavePath_ = ptsname(master_);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }
    void closeMaster() {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    void send(const std::vector<uint8_t>& bytes) {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }
    // Reads until `count` bytes came or the line stayed quiet for 5 s.
    std::vector<uint8_t> receive(size_t count) {
        std::vector<uint8_t> got(count);
        size_t done = 0;
        for (pollfd p{master_, POLLIN, 0}; done < count && poll(&p, 1, 5000) > 0;) {
            const ssize_t n = ::read(master_, got.data() + done, count - done);
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        got.resize(done);
        return got;
    }

  private:
    int master_ = -1;
    std::string slavePath_;
};

// Points port 1 at `path`, initialises the serial layer with the packet
// receiver as its byte handler and opens the port; closes the port, shuts
// the layer down and puts the old path back when it goes.
class ScopedOpenPort {
  public:
    explicit ScopedOpenPort(const std::string& path) : savedPath_(serialPortDevice(1)) {
        serialSetPortDevice(1, path);
        serialInit();
        serialSetByteHandler(linkReceiveByte);
        linkSetOverflow(0);
        linkResetReceiver();
        opened_ = serialOpen(1) == 1;
    }
    ~ScopedOpenPort() {
        serialClose();
        serialShutdown();
        serialSetPortDevice(1, savedPath_);
    }
    ScopedOpenPort(const ScopedOpenPort&) = delete;
    ScopedOpenPort& operator=(const ScopedOpenPort&) = delete;
    bool opened() const { return opened_; }

  private:
    std::string savedPath_;
    bool opened_ = false;
};
