// A host that talks to the virtual receiver by writing raw frames to the
// slave side of its pseudo-terminal and reading the frames that come back.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "sim/line_speed.h"
#include "sim/sim_wire.h"

class ScriptedHost {
  public:
    explicit ScriptedHost(const std::string& slavePath, uint32_t rate = 9600)
        : fd_(::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        setRate(rate);
    }
    ~ScriptedHost() { ::close(fd_); }
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    bool isOpen() const { return fd_ >= 0; }

    void setRate(uint32_t rate) {
        termios t{};
        tcgetattr(fd_, &t);
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&t, simSpeedOfRate(rate));
        cfsetospeed(&t, simSpeedOfRate(rate));
        tcsetattr(fd_, TCSANOW, &t);
    }

    void write(const std::vector<uint8_t>& bytes) {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }

    // The next frame, or nothing when the line stays quiet for ten seconds
    // (the receiver's thread is slow, never that slow) or is gone.
    std::optional<sim::wire::Frame> readFrame() {
        sim::wire::Frame frame;
        for (;;) {
            for (; next_ < pending_.size(); ++next_) {
                const uint8_t b = pending_[next_];
                // Anything before a frame's first DLE is noise.
                inFrame_ = inFrame_ || b == sim::wire::Dle;
                stray_ += inFrame_ ? 0 : 1;
                if (decoder_.feed(b, frame)) {
                    ++next_;
                    inFrame_ = false;
                    return frame;
                }
            }
            if (hungUp_ || !fill())
                return std::nullopt;
        }
    }

    // Frames up to and including the first with `id`; empty when it never came.
    std::vector<sim::wire::Frame> readUntil(uint8_t id) {
        std::vector<sim::wire::Frame> frames;
        while (auto frame = readFrame()) {
            frames.push_back(*frame);
            if (frame->id == id)
                return frames;
        }
        return {};
    }

    size_t strayBytes() const { return stray_; }  // bytes read outside frames
    bool hungUp() const { return hungUp_; }

  private:
    bool fill() {
        pollfd p{fd_, POLLIN, 0};
        uint8_t buffer[4096];
        const ssize_t n = poll(&p, 1, 10000) > 0 ? ::read(fd_, buffer, sizeof buffer) : -2;
        hungUp_ = n == 0 || (n == -1 && errno == EIO);
        pending_.assign(buffer, buffer + std::max<ssize_t>(n, 0));
        next_ = 0;
        return n > 0;
    }

    int fd_;
    sim::wire::FrameDecoder decoder_;
    std::vector<uint8_t> pending_;
    size_t next_ = 0;
    size_t stray_ = 0;
    bool inFrame_ = false;
    bool hungUp_ = false;
};
