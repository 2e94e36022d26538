// Frames as a device sends them, made by the virtual receiver's own encoder,
// which is written apart from the link code under test.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/sim_wire.h"

using Bytes = std::vector<uint8_t>;

inline Bytes frameOf(uint8_t id, const Bytes& payload) {
    return sim::wire::encodeFrame(id, payload);
}

// Frames worked out by hand, for the encoders and decoders of both ends.
struct ReferenceFrame {
    const char* name;
    uint8_t id;
    Bytes payload;
    Bytes wire;
};
inline const ReferenceFrame kReferenceFrames[] = {
    {"list rates", 10, {0x39, 0x00}, {0x10, 0x0A, 0x02, 0x39, 0x00, 0xBB, 0x10, 0x03}},
    {"DLE in payload", 10, {0x10, 0x00}, {0x10, 0x0A, 0x02, 0x10, 0x10, 0x00, 0xE4, 0x10, 0x03}},
    {"acknowledge", 6, {0xFC, 0x00}, {0x10, 0x06, 0x02, 0xFC, 0x00, 0xFC, 0x10, 0x03}},
    {"DLE checksum", 10, {0xE4, 0x00}, {0x10, 0x0A, 0x02, 0xE4, 0x00, 0x10, 0x10, 0x10, 0x03}},
    {"empty", 254, {}, {0x10, 0xFE, 0x00, 0x02, 0x10, 0x03}},
};
