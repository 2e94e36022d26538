// Pictures for the receiver's screen: built-in test patterns and .bmp files.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "sim/screen_encoder.h"
#include "sim/sim_wire.h"
#include "sim/virtual_receiver.h"

namespace sim {
namespace {

using wire::getLe16;
using wire::getLe32;

constexpr size_t MaxBmpFileBytes = 64u << 20;
constexpr size_t FileHeaderBytes = 14;

uint8_t patternValue(Pattern pattern, int x, int y, int width, int height, int colours) {
    switch (pattern) {
        case Pattern::Bars: {
            // Vertical bars, in as many bands as it takes to show every colour.
            const int64_t bands = (colours + width - 1) / width;
            const int64_t band = static_cast<int64_t>(y) * bands / height;
            return static_cast<uint8_t>((band * width + x) * colours / (bands * width));
        }
        case Pattern::Checker:
            return static_cast<uint8_t>((x / 8 + y / 5) % colours);
        case Pattern::Ramp:
            return static_cast<uint8_t>((x + 2 * y) % colours);
        case Pattern::Noise: {
            uint32_t h =
                static_cast<uint32_t>(x) * 0x9E3779B1u ^ static_cast<uint32_t>(y) * 0x85EBCA77u;
            h ^= h >> 15;
            h *= 0x2C1B3C6Du;
            h ^= h >> 12;
            return static_cast<uint8_t>(h % static_cast<uint32_t>(colours));
        }
    }
    return 0;
}

// The top-left corner gets a block of the last colour, two units wide and
// one high, so that no turned or mirrored copy of a pattern equals it.
bool inCornerMark(int x, int y, int width, int height) {
    const int unit = std::max(1, std::min(width, height) / 8);
    return x < 2 * unit && y < unit;
}

int32_t getLe32Signed(const uint8_t* bytes) {
    return static_cast<int32_t>(getLe32(bytes));
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > MaxBmpFileBytes) {
        error = path + " is too large for a screen picture";
        return false;
    }
    in.seekg(0);
    bytes.resize(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

struct BmpLayout {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitsPerPixel = 0;
    size_t paletteOffset = 0;
    size_t paletteEntries = 0;
    size_t pixelOffset = 0;
    size_t stride = 0;
};

std::string parseBmpHeaders(const std::vector<uint8_t>& f, BmpLayout& b) {
    if (f.size() < FileHeaderBytes + 40 || f[0] != 'B' || f[1] != 'M') {
        return "not a .bmp file";
    }
    const uint8_t* info = f.data() + FileHeaderBytes;
    const uint32_t infoSize = getLe32(info);
    if (infoSize < 40 || infoSize > 124 || FileHeaderBytes + infoSize > f.size()) {
        return "unsupported bitmap header";
    }
    const int32_t width = getLe32Signed(info + 4);
    const int32_t height = getLe32Signed(info + 8);
    b.bitsPerPixel = getLe16(info + 14);
    if (getLe16(info + 12) != 1 || getLe32(info + 16) != 0) {
        return "only uncompressed bitmaps can be read";
    }
    if (b.bitsPerPixel != 1 && b.bitsPerPixel != 4 && b.bitsPerPixel != 8) {
        return "only 1-, 4- and 8-bit bitmaps with a palette can be read";
    }
    if (width < 1 || width > MaxPictureSide || height == 0 || height < -MaxPictureSide ||
        height > MaxPictureSide) {
        return "picture sides must be 1 to " + std::to_string(MaxPictureSide) + " pixels";
    }
    b.width = width;
    b.height = height < 0 ? -height : height;
    b.topDown = height < 0;
    const uint32_t used = getLe32(info + 32);
    const size_t maxEntries = size_t{1} << b.bitsPerPixel;
    b.paletteEntries = used == 0 ? maxEntries : used;
    if (b.paletteEntries > maxEntries) {
        return "palette larger than the bit depth allows";
    }
    b.paletteOffset = FileHeaderBytes + infoSize;
    b.pixelOffset = getLe32(f.data() + 10);
    b.stride = (static_cast<size_t>(b.bitsPerPixel) * b.width + 31) / 32 * 4;
    if (b.paletteOffset + 4 * b.paletteEntries > f.size() || b.pixelOffset > f.size() ||
        b.stride * b.height > f.size() - b.pixelOffset) {
        return "file is shorter than its headers say";
    }
    return "";
}

}  // namespace

Picture makeTestPattern(Pattern pattern, int width, int height, int colours) {
    Picture p;
    if (width < 1 || height < 1 || colours < 1 || colours > 256) {
        return p;
    }
    p.width = width;
    p.height = height;
    p.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            p.pixels[static_cast<size_t>(y) * width + x] =
                inCornerMark(x, y, width, height)
                    ? static_cast<uint8_t>(colours - 1)
                    : patternValue(pattern, x, y, width, height, colours);
        }
    }
    return p;
}

bool parsePattern(std::string_view name, Pattern& pattern) {
    static const std::pair<std::string_view, Pattern> names[] = {{"bars", Pattern::Bars},
                                                                 {"checker", Pattern::Checker},
                                                                 {"ramp", Pattern::Ramp},
                                                                 {"noise", Pattern::Noise}};
    for (const auto& [text, value] : names) {
        if (name == text) {
            pattern = value;
            return true;
        }
    }
    return false;
}

bool loadPictureBmp(const std::string& path, Picture& picture, std::string& error) {
    std::vector<uint8_t> f;
    if (!readWholeFile(path, f, error)) {
        return false;
    }
    BmpLayout b;
    error = parseBmpHeaders(f, b);
    if (!error.empty()) {
        error = path + ": " + error;
        return false;
    }
    Picture p;
    p.width = b.width;
    p.height = b.height;
    for (size_t i = 0; i < b.paletteEntries; ++i) {
        const uint8_t* q = f.data() + b.paletteOffset + 4 * i;
        p.palette.push_back(Rgb{q[0], q[1], q[2]});
    }
    p.pixels.resize(static_cast<size_t>(b.width) * b.height);
    const unsigned mask = (1u << b.bitsPerPixel) - 1;
    for (int row = 0; row < b.height; ++row) {
        const int top = b.topDown ? row : b.height - 1 - row;
        const uint8_t* line = f.data() + b.pixelOffset + b.stride * row;
        for (int x = 0; x < b.width; ++x) {
            const size_t bit = static_cast<size_t>(x) * b.bitsPerPixel;
            const int shift = 8 - b.bitsPerPixel - static_cast<int>(bit % 8);
            const uint8_t index = static_cast<uint8_t>((line[bit / 8] >> shift) & mask);
            if (index >= b.paletteEntries) {
                error = path + ": pixel colour " + std::to_string(index) + " is not in its palette";
                return false;
            }
            p.pixels[static_cast<size_t>(top) * b.width + x] = index;
        }
    }
    picture = std::move(p);
    error.clear();
    return true;
}

}  // namespace sim
