#include "reference_decoder.h"

#include <algorithm>

void sim::PrintTo(const Picture& p, std::ostream* out) {
    *out << p.width << " x " << p.height << " picture, " << p.palette.size() << " colours, pixels";
    for (size_t i = 0; i < p.pixels.size() && i < 24; ++i) {
        *out << ' ' << int(p.pixels[i]);
    }
    *out << (p.pixels.size() > 24 ? " ..." : "");
}

namespace {

uint32_t le(const std::vector<uint8_t>& p, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | p[at + i];
    }
    return v;
}

}  // namespace

std::optional<uint32_t> referenceRecordType(uint8_t recordFormat,
                                            const std::vector<uint8_t>& payload) {
    const int width = recordFormat == 1 ? 2 : recordFormat == 2 ? 1 : 4;
    if (payload.size() < static_cast<size_t>(width)) {
        return std::nullopt;
    }
    return le(payload, 0, width);
}

namespace {

// Where each layout keeps the header's fields.
struct HeaderLayout {
    size_t transposed;
    size_t forward;
    size_t geometry;  // rowBytes, bitsPerPixel, rowPixels, rowCount follow each other
    int fieldBytes;
    size_t length;
};
constexpr HeaderLayout headerLayouts[] = {{2, 4, 10, 2, 18}, {1, 3, 9, 2, 17}, {4, 5, 8, 4, 40}};

}  // namespace

std::optional<ReferenceHeader> referenceHeader(uint8_t recordFormat,
                                               const std::vector<uint8_t>& p) {
    if (recordFormat < 1) {
        return std::nullopt;
    }
    const HeaderLayout& l = headerLayouts[std::min(recordFormat, uint8_t{3}) - 1];
    if (p.size() < l.length) {
        return std::nullopt;
    }
    auto field = [&](int i) {
        const uint32_t v = le(p, l.geometry + i * l.fieldBytes, l.fieldBytes);
        return l.fieldBytes == 2 ? static_cast<int16_t>(v) : static_cast<int32_t>(v);
    };
    ReferenceHeader h;
    h.transposed = p[l.transposed];
    h.forward = p[l.forward];
    h.rowBytes = field(0);
    h.bitsPerPixel = field(1);
    h.rowPixels = field(2);
    h.rowCount = field(3);
    if (recordFormat >= 3) {
        std::copy(p.begin() + 24, p.begin() + 40, h.valueMap.begin());
    }
    return h;
}

bool referenceChunk(uint8_t recordFormat, const std::vector<uint8_t>& p, uint32_t& offset,
                    std::vector<uint8_t>& data) {
    const size_t fixed = recordFormat == 1 ? 6 : recordFormat == 2 ? 5 : 8;
    if (p.size() < fixed) {
        return false;
    }
    offset = le(p, fixed - 4, 4);
    data.assign(p.begin() + static_cast<long>(fixed), p.end());
    return true;
}

void referencePostProcess(sim::PostProcess routine, std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out(raw.size(), 0);
    switch (routine) {
        case sim::PostProcess::None:
            return;
        case sim::PostProcess::ReverseBitOrder:
            for (size_t i = 0; i < raw.size(); ++i) {
                for (int b = 0; b < 8; ++b) {
                    if (raw[i] & (1 << b))
                        out[i] |= static_cast<uint8_t>(0x80 >> b);
                }
            }
            break;
        case sim::PostProcess::SplitEvenOddBytes:
            for (size_t j = 0; j < raw.size() / 2; ++j) {
                out[j] = raw[2 * j];
                out[raw.size() / 2 + j] = raw[2 * j + 1];
            }
            break;
        case sim::PostProcess::ClearLast28Bytes:
            out = raw;
            for (size_t i = raw.size() - 28; i < raw.size(); ++i) out[i] = 0;
            break;
        case sim::PostProcess::CropWindowSwapNibbles: {
            size_t pos = 0;
            for (int row = 0; row < 256; ++row) {
                if (row < 19 || row > 252)
                    continue;
                pos += 44;
                for (int col = 42; col <= 201 && pos < out.size(); ++col) {
                    const uint8_t b = raw[static_cast<size_t>(row) * 204 + col];
                    out[pos++] = static_cast<uint8_t>((b << 4) | (b >> 4));
                }
            }
            break;
        }
    }
    raw = out;
}

sim::Picture referencePicture(uint8_t recordFormat, const ReferenceHeader& h,
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
            if (recordFormat == 3)
                v = h.valueMap[v];
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
