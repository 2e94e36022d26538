// The receiver's end of the serial packet protocol: packet numbers, and a
// frame encoder and decoder of its own.
//
// A frame is DLE, the packet ID, the payload size, the payload and a
// checksum that makes ID + size + payload + checksum 0 modulo 256, then DLE
// ETX. Every 0x10 among size, payload and checksum is sent twice; the ID
// never is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim::wire {

constexpr uint8_t Dle = 0x10;
constexpr uint8_t Etx = 0x03;
constexpr size_t MaxPayload = 255;

// Packet IDs this receiver knows.
namespace packet {
constexpr uint8_t Acknowledge = 6;
constexpr uint8_t Command = 10;
constexpr uint8_t RateChangeRequest = 48;
constexpr uint8_t RateChangeReply = 49;
constexpr uint8_t ScreenRecord = 69;
constexpr uint8_t RateList = 252;
constexpr uint8_t ProductQuery = 254;
constexpr uint8_t ProductReply = 255;
}  // namespace packet

// Command numbers carried by packet::Command.
namespace command {
constexpr uint16_t SendScreen = 32;
constexpr uint16_t ListRates = 57;
constexpr uint16_t ConfirmRate = 58;
}  // namespace command

// The frame for `id` and the first min(size, 255) payload bytes.
// `checksumError` is added to the checksum, to send a corrupt frame on purpose.
std::vector<uint8_t> encodeFrame(uint8_t id, const uint8_t* payload, size_t size,
                                 uint8_t checksumError = 0);
inline std::vector<uint8_t> encodeFrame(uint8_t id, const std::vector<uint8_t>& payload,
                                        uint8_t checksumError = 0) {
    return encodeFrame(id, payload.data(), payload.size(), checksumError);
}

struct Frame {
    uint8_t id = 0;
    std::vector<uint8_t> payload;
    bool checksumOk = false;
};

// Turns the byte stream back into frames. Bytes outside a frame are skipped;
// a DLE followed by anything but DLE or ETX starts a new frame, abandoning
// the one in progress; a frame whose size byte disagrees with its length, or
// that grows beyond the largest possible frame, is dropped.
class FrameDecoder {
  public:
    // True when `byte` completed a frame, which is then in `frame`.
    bool feed(uint8_t byte, Frame& frame);
    void reset();

  private:
    enum class State { Hunt, Id, Body, Escape };
    bool finish(Frame& frame);

    State state_ = State::Hunt;
    uint8_t id_ = 0;
    std::vector<uint8_t> body_;  // size, payload, checksum, unstuffed
};

// Little-endian helpers for payloads.
void putLe16(std::vector<uint8_t>& out, uint16_t value);
void putLe32(std::vector<uint8_t>& out, uint32_t value);
uint16_t getLe16(const uint8_t* bytes);
uint32_t getLe32(const uint8_t* bytes);

}  // namespace sim::wire
