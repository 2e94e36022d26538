// A host that talks to the virtual receiver by writing raw frames to the
// slave side of its pseudo-terminal and reading the frames that come back.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_wire.h"

class ScriptedHost {
  public:
    explicit ScriptedHost(const std::string& slavePath, uint32_t rate = 9600);
    ~ScriptedHost();
    ScriptedHost(const ScriptedHost&) = delete;
    ScriptedHost& operator=(const ScriptedHost&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void setRate(uint32_t rate);
    void write(const std::vector<uint8_t>& bytes);
    void send(uint8_t id, const std::vector<uint8_t>& payload);
    void sendCommand(uint16_t command);

    // The next frame, or nothing when none arrives within `timeout` or the
    // line is gone.
    std::optional<sim::wire::Frame> readFrame(
        std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Frames up to and including the first with `id`; empty when it never came.
    std::vector<sim::wire::Frame> readUntil(uint8_t id);
    // True when no byte arrives within `quiet`.
    bool staysQuiet(std::chrono::milliseconds quiet = std::chrono::milliseconds(200));
    // Bytes read outside frames so far (noise).
    size_t strayBytes() const { return stray_; }
    bool hungUp() const { return hungUp_; }

  private:
    int fd_ = -1;
    sim::wire::FrameDecoder decoder_;
    std::vector<uint8_t> pending_;
    size_t stray_ = 0;
    bool inFrame_ = false;
    bool hungUp_ = false;
    bool fill(std::chrono::milliseconds timeout);
};
