// A small host-side decoder of screen records, written straight from the
// record layouts, to prove that what the receiver sends decodes back to the
// picture it was given. Only the post-processing is the host's own: what the
// receiver sends must be what the host's routines undo.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <vector>

#include "capture/post_process.h"
#include "sim/sim_wire.h"
#include "sim/virtual_receiver.h"

namespace sim {
// Short failure messages instead of byte dumps.
inline void PrintTo(const Picture& p, std::ostream* out) {
    *out << p.width << " x " << p.height << " picture, " << p.palette.size() << " colours";
}
}  // namespace sim

inline uint32_t referenceLe(const std::vector<uint8_t>& p, size_t at, size_t bytes) {
    uint32_t v = 0;
    for (size_t i = bytes; i-- > 0;) {
        v = v << 8 | p[at + i];
    }
    return v;
}

// The record type of a screen record, or nothing when the payload is too
// short to hold one.
inline std::optional<uint32_t> referenceRecordType(uint8_t format, const std::vector<uint8_t>& p) {
    const size_t width = format == 1 ? 2 : format == 2 ? 1 : 4;
    return p.size() < width ? std::nullopt : std::optional(referenceLe(p, 0, width));
}

struct ReferenceHeader {
    uint8_t transposed = 0;
    uint8_t forward = 0;
    int32_t rowBytes = 0;
    int32_t bitsPerPixel = 0;
    int32_t rowPixels = 0;
    int32_t rowCount = 0;
    std::array<uint8_t, 16> valueMap{};
};

// Nothing when the payload is shorter than a header of that layout.
inline std::optional<ReferenceHeader> referenceHeader(uint8_t format,
                                                      const std::vector<uint8_t>& p) {
    // Where each layout keeps the fields; rowBytes, bitsPerPixel, rowPixels
    // and rowCount follow each other from `geometry`.
    struct Layout {
        size_t transposed, forward, geometry, fieldBytes, length;
    };
    constexpr Layout layouts[] = {{2, 4, 10, 2, 18}, {1, 3, 9, 2, 17}, {4, 5, 8, 4, 40}};
    const Layout& l = layouts[std::clamp<uint8_t>(format, 1, 3) - 1];
    if (p.size() < l.length) {
        return std::nullopt;
    }
    auto field = [&](size_t i) {
        const uint32_t v = referenceLe(p, l.geometry + i * l.fieldBytes, l.fieldBytes);
        return l.fieldBytes == 2 ? static_cast<int16_t>(v) : static_cast<int32_t>(v);
    };
    ReferenceHeader h{p[l.transposed], p[l.forward], field(0), field(1), field(2), field(3), {}};
    if (format >= 3) {
        std::copy(p.begin() + 24, p.begin() + 40, h.valueMap.begin());
    }
    return h;
}

struct ReferenceChunk {
    uint32_t offset;
    std::vector<uint8_t> data;
};

// A pixel or palette chunk; nothing when shorter than its fixed part.
inline std::optional<ReferenceChunk> referenceChunk(uint8_t format, const std::vector<uint8_t>& p) {
    const size_t fixed = format == 1 ? 6 : format == 2 ? 5 : 8;
    if (p.size() < fixed) {
        return std::nullopt;
    }
    return ReferenceChunk{referenceLe(p, fixed - 4, 4), {p.begin() + long(fixed), p.end()}};
}

inline PostProcessFn hostRoutine(sim::PostProcess routine) {
    constexpr PostProcessFn routines[] = {nullptr, reverseBitOrder, splitEvenOddBytes,
                                          clearLast28Bytes, cropWindowSwapNibbles};
    return routines[static_cast<size_t>(routine)];
}

// Pixels of the post-processed raw picture, turned upright.
inline sim::Picture referencePicture(uint8_t format, const ReferenceHeader& h,
                                     const std::vector<uint8_t>& raw) {
    sim::Picture pic;
    const bool transposed = h.transposed == 1;
    const bool forward = h.forward == 1;
    pic.width = transposed ? h.rowCount : h.rowPixels;
    pic.height = transposed ? h.rowPixels : h.rowCount;
    pic.pixels.assign(static_cast<size_t>(pic.width) * pic.height, 0);
    const unsigned mask = (1u << h.bitsPerPixel) - 1;
    for (int y = 0; y < h.rowCount; ++y) {
        for (int x = 0; x < h.rowPixels; ++x) {
            const size_t bit = static_cast<size_t>(x) * h.bitsPerPixel;
            unsigned v = (raw[static_cast<size_t>(y) * h.rowBytes + bit / 8] >> (bit % 8)) & mask;
            v = format == 3 ? h.valueMap[v] : v;
            int column = x, top = y;
            if (!transposed && !forward) {
                column = pic.width - 1 - x;
                top = pic.height - 1 - y;
            } else if (transposed && !forward) {
                column = y;
                top = pic.height - 1 - x;
            } else if (transposed && forward) {
                column = pic.width - 1 - y;
                top = x;
            }
            pic.pixels[static_cast<size_t>(top) * pic.width + column] = static_cast<uint8_t>(v);
        }
    }
    return pic;
}

// The screen records of one transfer, put together as a host would, and
// what was odd about them.
struct Reassembled {
    std::optional<ReferenceHeader> header;
    std::vector<uint8_t> raw;
    std::vector<uint8_t> palette;
    std::vector<uint32_t> pixelOffsets;
    size_t pixelEnd = 0;               // the furthest byte a pixel chunk reached
    std::vector<size_t> badChecksums;  // frame indices
    size_t otherPackets = 0;
    size_t otherRecords = 0;  // of unknown type
    size_t shortRecords = 0;  // shorter than their fixed part
};

inline Reassembled reassemble(uint8_t format, const std::vector<sim::wire::Frame>& frames) {
    Reassembled r;
    for (size_t i = 0; i < frames.size(); ++i) {
        const std::vector<uint8_t>& p = frames[i].payload;
        if (!frames[i].checksumOk) {
            r.badChecksums.push_back(i);
        }
        const auto type = referenceRecordType(format, p);
        const auto chunk = referenceChunk(format, p);
        const bool cutShort =
            type == 0u ? !referenceHeader(format, p) : (type == 1u || type == 2u) && !chunk;
        if (frames[i].id != sim::wire::packet::ScreenRecord) {
            ++r.otherPackets;
        } else if (cutShort) {
            ++r.shortRecords;
        } else if (type == 0u && !r.header) {
            r.header = referenceHeader(format, p);
            r.raw.resize(size_t(r.header->rowBytes) * r.header->rowCount);
        } else if (type == 1u) {
            r.pixelOffsets.push_back(chunk->offset);
            r.pixelEnd = std::max(r.pixelEnd, chunk->offset + chunk->data.size());
            if (chunk->offset + chunk->data.size() <= r.raw.size()) {
                std::copy(chunk->data.begin(), chunk->data.end(), r.raw.begin() + chunk->offset);
            }
        } else if (type == 2u) {
            r.palette.insert(r.palette.end(), chunk->data.begin(), chunk->data.end());
        } else {
            ++r.otherRecords;
        }
    }
    return r;
}

// The picture as a host sees it, with as many downloaded colours as the
// receiver's picture has.
inline sim::Picture decode(const sim::Config& c, Reassembled r) {
    if (!r.header) {
        return {};
    }
    if (const PostProcessFn routine = hostRoutine(c.screen.postProcess)) {
        EXPECT_TRUE(routine(r.raw.data(), r.raw.data(), static_cast<uint32_t>(r.raw.size())));
    }
    sim::Picture p = referencePicture(c.screen.recordFormat, *r.header, r.raw);
    for (size_t i = 0; i < c.picture.palette.size() && 3 * i + 2 < r.palette.size(); ++i) {
        p.palette.push_back(sim::Rgb{r.palette[3 * i], r.palette[3 * i + 1], r.palette[3 * i + 2]});
    }
    return p;
}
