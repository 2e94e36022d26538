// Frames as a device sends them, written out independently of the code under
// test: DLE, ID, size, payload, checksum, DLE ETX, each DLE among size,
// payload and checksum doubled.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline Bytes frameOf(uint8_t id, const Bytes& payload) {
    Bytes out = {0x10, id};
    auto put = [&out](uint8_t b) {
        out.push_back(b);
        if (b == 0x10)
            out.push_back(b);
    };
    uint8_t sum = static_cast<uint8_t>(id + payload.size());
    put(static_cast<uint8_t>(payload.size()));
    for (uint8_t b : payload) {
        put(b);
        sum = static_cast<uint8_t>(sum + b);
    }
    put(static_cast<uint8_t>(-sum));
    out.insert(out.end(), {0x10, 0x03});
    return out;
}

inline Bytes littleEndian(uint32_t value, int width) {
    Bytes out;
    for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return out;
}
