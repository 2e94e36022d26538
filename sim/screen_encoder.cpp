#include "sim/screen_encoder.h"

#include <algorithm>

#include "sim/sim_wire.h"

namespace sim {
namespace {

using wire::putLe16;
using wire::putLe32;

// Bytes the host does not read: never 0 or 1, so a host that reads a wider
// field than it should sees nonsense.
constexpr uint8_t Unread = 0xA5;
constexpr uint8_t Unused = 0x5A;

// Geometry of the device whose routine crops a window out of its memory.
constexpr int CropRowBytes = 204;
constexpr int CropRows = 256;
constexpr int CropFirstRow = 19;
constexpr int CropRowsTaken = 234;
constexpr int CropFirstColumn = 42;
constexpr int CropMargin = 44;

uint8_t filler(size_t i) {
    return static_cast<uint8_t>(0x5B + i * 97);
}

uint8_t reverseBits(uint8_t b) {
    uint8_t r = 0;
    for (int i = 0; i < 8; ++i) {
        r = static_cast<uint8_t>(r | ((b >> i) & 1) << (7 - i));
    }
    return r;
}

uint8_t swapNibbles(uint8_t b) {
    return static_cast<uint8_t>(b << 4 | b >> 4);
}

struct PixelPlace {
    int column;
    int rowFromTop;
};

// Where raw pixel (x, y) lands in the picture.
PixelPlace placeOf(const Screen& screen, const Picture& picture, int x, int y) {
    if (screen.transposed) {
        return screen.forward ? PixelPlace{picture.width - 1 - y, x}
                              : PixelPlace{y, picture.height - 1 - x};
    }
    return screen.forward ? PixelPlace{x, y}
                          : PixelPlace{picture.width - 1 - x, picture.height - 1 - y};
}

// Bytes of the post-processed picture that the routine itself sets to 0.
bool blankedByRoutine(PostProcess post, const RawGeometry& g, size_t index) {
    switch (post) {
        case PostProcess::ClearLast28Bytes:
            return index + 28 >= g.size();
        case PostProcess::CropWindowSwapNibbles:
            return static_cast<int>(index / CropRowBytes) >= CropRowsTaken ||
                   static_cast<int>(index % CropRowBytes) < CropMargin;
        default:
            return false;
    }
}

std::string checkRoutineFits(PostProcess post, const RawGeometry& g) {
    switch (post) {
        case PostProcess::SplitEvenOddBytes:
            return g.size() % 4 == 0 ? "" : "the raw size must be a multiple of 4 for this routine";
        case PostProcess::ClearLast28Bytes:
            return g.size() >= 28 ? "" : "the raw picture must have at least 28 bytes";
        case PostProcess::CropWindowSwapNibbles:
            return g.rowBytes == CropRowBytes && g.rowCount == CropRows
                       ? ""
                       : "this routine needs raw rows of 204 bytes and 256 rows";
        default:
            return "";
    }
}

// The bytes to send, given the bytes the host must end up with.
std::vector<uint8_t> invertRoutine(PostProcess post, const std::vector<uint8_t>& wanted) {
    std::vector<uint8_t> sent(wanted.size());
    switch (post) {
        case PostProcess::None:
            return wanted;
        case PostProcess::ReverseBitOrder:
            std::transform(wanted.begin(), wanted.end(), sent.begin(), reverseBits);
            return sent;
        case PostProcess::SplitEvenOddBytes: {
            const size_t half = wanted.size() / 2;
            for (size_t j = 0; j < half; ++j) {
                sent[2 * j] = wanted[j];
                sent[2 * j + 1] = wanted[half + j];
            }
            return sent;
        }
        case PostProcess::ClearLast28Bytes:
            sent = wanted;
            for (size_t i = sent.size() - 28; i < sent.size(); ++i) {
                sent[i] = filler(i);
            }
            return sent;
        case PostProcess::CropWindowSwapNibbles:
            for (size_t i = 0; i < sent.size(); ++i) {
                sent[i] = filler(i);
            }
            for (int r = 0; r < CropRowsTaken; ++r) {
                for (int k = CropMargin; k < CropRowBytes; ++k) {
                    const size_t from = static_cast<size_t>(r) * CropRowBytes + k;
                    const size_t to = static_cast<size_t>(r + CropFirstRow) * CropRowBytes + k -
                                      (CropMargin - CropFirstColumn);
                    sent[to] = swapNibbles(wanted[from]);
                }
            }
            return sent;
    }
    return wanted;
}

// Raw value to send for each palette index, -1 where none reaches it.
std::vector<int> rawValuesByIndex(const Screen& screen) {
    const int rawValues = 1 << screen.bitsPerPixel;
    std::vector<int> raw(256, -1);
    if (screen.recordFormat != 3) {
        for (int v = 0; v < rawValues; ++v) {
            raw[v] = v;
        }
        return raw;
    }
    for (int v = std::min(rawValues, 16) - 1; v >= 0; --v) {
        raw[screen.valueMap[v]] = v;  // the smallest raw value wins
    }
    return raw;
}

std::string checkScreen(const Screen& s, const Picture& p) {
    if (s.screenType < 1 || s.screenType > 4) {
        return "screen type must be 1 to 4";
    }
    if (s.recordFormat < 1 || s.recordFormat > 4) {
        return "record format must be 1 to 4";
    }
    if (s.bitsPerPixel != 1 && s.bitsPerPixel != 2 && s.bitsPerPixel != 4 && s.bitsPerPixel != 8) {
        return "raw bits per pixel must be 1, 2, 4 or 8";
    }
    if (s.recordFormat == 3 && s.bitsPerPixel > 4) {
        return "record format 3 maps raw values of at most 4 bits";
    }
    if (s.rowPadding < 0 || s.rowPadding > 16) {
        return "row padding must be 0 to 16 bytes";
    }
    if (p.width < 1 || p.height < 1 || p.width > MaxPictureSide || p.height > MaxPictureSide) {
        return "picture sides must be 1 to " + std::to_string(MaxPictureSide) + " pixels";
    }
    if (p.pixels.size() != static_cast<size_t>(p.width) * p.height) {
        return "picture has " + std::to_string(p.pixels.size()) + " pixels, not width x height";
    }
    if (p.palette.size() > 256) {
        return "palette has more than 256 entries";
    }
    return "";
}

std::string checkPixels(const Screen& s, const Picture& p, const std::vector<int>& rawOf) {
    const int colours = screenColours(s.screenType);
    for (uint8_t index : p.pixels) {
        if (index >= colours) {
            return "picture uses colour " + std::to_string(index) + " but the screen shows " +
                   std::to_string(colours);
        }
        if (rawOf[index] < 0) {
            return "no raw value of this screen gives colour " + std::to_string(index);
        }
    }
    return "";
}

RawGeometry geometryFor(const Screen& s, const Picture& p) {
    RawGeometry g;
    g.rowPixels = s.transposed ? p.height : p.width;
    g.rowCount = s.transposed ? p.width : p.height;
    g.rowBytes = (g.rowPixels * s.bitsPerPixel + 7) / 8 + s.rowPadding;
    return g;
}

void appendRecordType(std::vector<uint8_t>& out, uint8_t recordFormat, uint32_t type) {
    switch (recordFormat) {
        case 1:
            putLe16(out, static_cast<uint16_t>(type));
            break;
        case 2:
            out.push_back(static_cast<uint8_t>(type));
            break;
        default:
            putLe32(out, type);
            break;
    }
}

void appendGeometry(std::vector<uint8_t>& out, uint8_t recordFormat, const Screen& s,
                    const RawGeometry& g) {
    const int32_t fields[] = {g.rowBytes, s.bitsPerPixel, g.rowPixels, g.rowCount};
    for (int32_t field : fields) {
        if (recordFormat <= 2) {
            putLe16(out, static_cast<uint16_t>(field));
        } else {
            putLe32(out, static_cast<uint32_t>(field));
        }
    }
}

}  // namespace

int screenColours(uint8_t screenType) {
    static constexpr int colours[] = {0, 2, 4, 16, 256};
    return screenType <= 4 ? colours[screenType] : 0;
}

size_t pixelChunkFixedSize(uint8_t recordFormat) {
    switch (recordFormat) {
        case 1:
            return 6;
        case 2:
            return 5;
        default:
            return 8;
    }
}

std::string encodeScreen(const Screen& screen, const Picture& picture, EncodedScreen& out) {
    std::string problem = checkScreen(screen, picture);
    if (!problem.empty()) {
        return problem;
    }
    const std::vector<int> rawOf = rawValuesByIndex(screen);
    problem = checkPixels(screen, picture, rawOf);
    if (!problem.empty()) {
        return problem;
    }
    const RawGeometry g = geometryFor(screen, picture);
    problem = checkRoutineFits(screen.postProcess, g);
    if (!problem.empty()) {
        return problem;
    }

    // The post-processed picture the host must end up with; padding bits
    // carry filler, which the host masks away.
    std::vector<uint8_t> wanted(g.size());
    for (size_t i = 0; i < wanted.size(); ++i) {
        wanted[i] = filler(i);
    }
    out.expected = picture;
    const uint8_t blankIndex = screen.recordFormat == 3 ? screen.valueMap[0] : 0;
    const int bpp = screen.bitsPerPixel;
    const unsigned mask = (1u << bpp) - 1;
    for (int y = 0; y < g.rowCount; ++y) {
        for (int x = 0; x < g.rowPixels; ++x) {
            const PixelPlace at = placeOf(screen, picture, x, y);
            const size_t byte = static_cast<size_t>(y) * g.rowBytes + x * bpp / 8;
            const int shift = x * bpp % 8;
            const uint8_t index = picture.at(at.column, at.rowFromTop);
            const unsigned value = static_cast<unsigned>(rawOf[index]);
            wanted[byte] = static_cast<uint8_t>((wanted[byte] & ~(mask << shift)) | value << shift);
            if (blankedByRoutine(screen.postProcess, g, byte)) {
                out.expected
                    .pixels[static_cast<size_t>(at.rowFromTop) * picture.width + at.column] =
                    blankIndex;
            }
        }
    }
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (blankedByRoutine(screen.postProcess, g, i)) {
            wanted[i] = 0;
        }
    }
    out.geometry = g;
    out.raw = invertRoutine(screen.postProcess, wanted);
    return "";
}

std::vector<uint8_t> headerRecord(const Screen& screen, const RawGeometry& geometry) {
    std::vector<uint8_t> out;
    const uint8_t format = screen.recordFormat;
    appendRecordType(out, format, 0);
    const uint8_t flags[] = {static_cast<uint8_t>(screen.transposed ? 1 : 0),
                             static_cast<uint8_t>(screen.forward ? 1 : 0), Unused, Unused};
    for (uint8_t flag : flags) {
        out.push_back(flag);
        if (format <= 2) {
            out.push_back(Unread);  // each flag sits in a 16-bit slot
        }
    }
    appendGeometry(out, format, screen, geometry);
    if (format == 3) {
        out.insert(out.end(), screen.valueMap.begin(), screen.valueMap.end());
    } else if (format == 4) {
        for (int v = 15; v >= 0; --v) {
            out.push_back(static_cast<uint8_t>(v));  // not a map this layout uses
        }
    }
    return out;
}

std::vector<uint8_t> pixelChunkRecord(uint8_t recordFormat, uint32_t offset, const uint8_t* data,
                                      size_t count) {
    std::vector<uint8_t> out = bareRecord(recordFormat, 1);
    putLe32(out, offset);
    out.insert(out.end(), data, data + count);
    return out;
}

std::vector<uint8_t> paletteChunkRecord(uint32_t offset, const uint8_t* data, size_t count) {
    std::vector<uint8_t> out = bareRecord(4, 2);
    putLe32(out, offset);
    out.insert(out.end(), data, data + count);
    return out;
}

std::vector<uint8_t> bareRecord(uint8_t recordFormat, uint32_t type) {
    std::vector<uint8_t> out;
    appendRecordType(out, recordFormat, type);
    return out;
}

}  // namespace sim
