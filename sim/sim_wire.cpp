#include "sim/sim_wire.h"

#include <algorithm>

namespace sim::wire {
namespace {

constexpr size_t MaxBody = MaxPayload + 2;  // size byte, payload, checksum

void putStuffed(std::vector<uint8_t>& out, uint8_t byte) {
    out.push_back(byte);
    if (byte == Dle) {
        out.push_back(Dle);
    }
}

}  // namespace

std::vector<uint8_t> encodeFrame(uint8_t id, const uint8_t* payload, size_t size,
                                 uint8_t checksumError) {
    size = std::min(size, MaxPayload);
    std::vector<uint8_t> out;
    out.reserve(2 * size + 8);
    out.push_back(Dle);
    out.push_back(id);
    uint8_t sum = static_cast<uint8_t>(id + size);
    putStuffed(out, static_cast<uint8_t>(size));
    for (size_t i = 0; i < size; ++i) {
        sum = static_cast<uint8_t>(sum + payload[i]);
        putStuffed(out, payload[i]);
    }
    putStuffed(out, static_cast<uint8_t>(-sum + checksumError));
    out.push_back(Dle);
    out.push_back(Etx);
    return out;
}

void FrameDecoder::reset() {
    state_ = State::Hunt;
    body_.clear();
}

bool FrameDecoder::feed(uint8_t byte, Frame& frame) {
    switch (state_) {
        case State::Hunt:
            if (byte == Dle) {
                state_ = State::Id;
            }
            return false;
        case State::Id:
            if (byte == Dle) {
                return false;  // a run of DLEs: still waiting for an ID
            }
            if (byte == Etx) {
                state_ = State::Hunt;
                return false;
            }
            id_ = byte;
            body_.clear();
            state_ = State::Body;
            return false;
        case State::Body:
            if (byte == Dle) {
                state_ = State::Escape;
                return false;
            }
            break;
        case State::Escape:
            if (byte == Etx) {
                state_ = State::Hunt;
                return finish(frame);
            }
            if (byte != Dle) {
                id_ = byte;  // a new frame cut into this one
                body_.clear();
                state_ = State::Body;
                return false;
            }
            state_ = State::Body;
            break;
    }
    if (body_.size() == MaxBody) {
        reset();  // longer than any frame can be
        return false;
    }
    body_.push_back(byte);
    return false;
}

bool FrameDecoder::finish(Frame& frame) {
    if (body_.size() < 2 || static_cast<size_t>(body_[0]) + 2 != body_.size()) {
        return false;
    }
    uint8_t sum = id_;
    for (uint8_t b : body_) {
        sum = static_cast<uint8_t>(sum + b);
    }
    frame.id = id_;
    frame.payload.assign(body_.begin() + 1, body_.end() - 1);
    frame.checksumOk = sum == 0;
    return true;
}

void putLe16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void putLe32(std::vector<uint8_t>& out, uint32_t value) {
    putLe16(out, static_cast<uint16_t>(value));
    putLe16(out, static_cast<uint16_t>(value >> 16));
}

uint16_t getLe16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t getLe32(const uint8_t* bytes) {
    return getLe16(bytes) | static_cast<uint32_t>(getLe16(bytes + 2)) << 16;
}

}  // namespace sim::wire
