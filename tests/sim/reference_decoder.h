// A small host-side decoder of screen records, written straight from the
// record layouts, to prove that what the receiver sends decodes back to the
// picture it was given.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "sim/virtual_receiver.h"

namespace sim {
// Short failure messages instead of byte dumps.
void PrintTo(const Picture& picture, std::ostream* out);
}  // namespace sim

struct ReferenceHeader {
    uint8_t transposed = 0;
    uint8_t forward = 0;
    int32_t rowBytes = 0;
    int32_t bitsPerPixel = 0;
    int32_t rowPixels = 0;
    int32_t rowCount = 0;
    std::array<uint8_t, 16> valueMap{};
};

// The record type of a screen record in the given layout, or nothing when the
// payload is too short to hold one.
std::optional<uint32_t> referenceRecordType(uint8_t recordFormat,
                                            const std::vector<uint8_t>& payload);
// Nothing when the payload is shorter than a header of that layout.
std::optional<ReferenceHeader> referenceHeader(uint8_t recordFormat,
                                               const std::vector<uint8_t>& payload);
// Offset and data of a pixel or palette chunk.
bool referenceChunk(uint8_t recordFormat, const std::vector<uint8_t>& payload, uint32_t& offset,
                    std::vector<uint8_t>& data);

// The product's routine, applied to the complete raw picture.
void referencePostProcess(sim::PostProcess routine, std::vector<uint8_t>& raw);

// Pixels of the post-processed raw picture, turned upright.
sim::Picture referencePicture(uint8_t recordFormat, const ReferenceHeader& header,
                              const std::vector<uint8_t>& raw);
