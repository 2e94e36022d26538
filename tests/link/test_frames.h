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
