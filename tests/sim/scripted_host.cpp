#include "scripted_host.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "sim/line_speed.h"

ScriptedHost::ScriptedHost(const std::string& slavePath, uint32_t rate) {
    fd_ = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ >= 0) {
        setRate(rate);
    }
}

ScriptedHost::~ScriptedHost() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void ScriptedHost::setRate(uint32_t rate) {
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, simSpeedOfRate(rate));
    cfsetospeed(&t, simSpeedOfRate(rate));
    tcsetattr(fd_, TCSANOW, &t);
}

void ScriptedHost::write(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            pollfd p{fd_, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0) {
                return;
            }
            continue;
        }
        done += static_cast<size_t>(n);
    }
}

void ScriptedHost::send(uint8_t id, const std::vector<uint8_t>& payload) {
    write(sim::wire::encodeFrame(id, payload));
}

void ScriptedHost::sendCommand(uint16_t command) {
    send(sim::wire::packet::Command,
         {static_cast<uint8_t>(command), static_cast<uint8_t>(command >> 8)});
}

bool ScriptedHost::fill(std::chrono::milliseconds timeout) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(timeout.count())) <= 0) {
        return false;
    }
    uint8_t buffer[4096];
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) {
        hungUp_ = hungUp_ || (n == 0 || errno == EIO);
        return false;
    }
    pending_.insert(pending_.end(), buffer, buffer + n);
    return true;
}

std::optional<sim::wire::Frame> ScriptedHost::readFrame(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    sim::wire::Frame frame;
    for (;;) {
        while (!pending_.empty()) {
            const uint8_t b = pending_.front();
            pending_.erase(pending_.begin());
            // Anything before a frame's first DLE is noise.
            if (!inFrame_) {
                inFrame_ = b == sim::wire::Dle;
                stray_ += inFrame_ ? 0 : 1;
            }
            if (decoder_.feed(b, frame)) {
                inFrame_ = false;
                return frame;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || hungUp_ || !fill(left)) {
            return std::nullopt;
        }
    }
}

std::vector<sim::wire::Frame> ScriptedHost::readUntil(uint8_t id) {
    std::vector<sim::wire::Frame> frames;
    while (auto frame = readFrame()) {
        frames.push_back(*frame);
        if (frame->id == id) {
            return frames;
        }
    }
    return {};
}

bool ScriptedHost::staysQuiet(std::chrono::milliseconds quiet) {
    return pending_.empty() && !fill(quiet);
}
