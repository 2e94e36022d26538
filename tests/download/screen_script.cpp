#include "download/screen_script.h"

#include <algorithm>

namespace {

void putLe(Bytes& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putAt(Bytes& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

int typeBytes(int format) {
    return format == 1 ? 2 : format == 2 ? 1 : 4;
}

}  // namespace

Bytes encodeFrame(uint8_t id, const Bytes& payload) {
    Bytes out{0x10, id};
    auto put = [&out](uint8_t b) {
        out.push_back(b);
        if (b == 0x10)
            out.push_back(b);
    };
    uint8_t sum = id + static_cast<uint8_t>(payload.size());
    put(static_cast<uint8_t>(payload.size()));
    for (uint8_t b : payload) {
        put(b);
        sum += b;
    }
    put(static_cast<uint8_t>(-sum));
    out.push_back(0x10);
    out.push_back(0x03);
    return out;
}

Bytes screenFrame(const Bytes& record) {
    return encodeFrame(69, record);
}

TestPicture makePicture(int width, int height, int colours) {
    TestPicture picture{width, height, Bytes(static_cast<size_t>(width) * height)};
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const int value = (column * 3 + row * row + (column > row ? 1 : 0)) % colours;
            picture.pixels[static_cast<size_t>(row) * width + column] = static_cast<uint8_t>(value);
        }
    }
    return picture;
}

RawScreen encodeRaw(const TestPicture& picture, const RawLayout& layout) {
    RawScreen raw;
    raw.rowPixels = picture.width;
    raw.rowCount = picture.height;
    raw.rowBytes = (raw.rowPixels * layout.bitsPerPixel + 7) / 8;
    raw.bytes.assign(static_cast<size_t>(raw.rowBytes) * raw.rowCount, 0);
    for (int y = 0; y < raw.rowCount; ++y) {
        for (int x = 0; x < raw.rowPixels; ++x) {
            const size_t bit = static_cast<size_t>(x) * layout.bitsPerPixel;
            raw.bytes[static_cast<size_t>(y) * raw.rowBytes + bit / 8] |=
                static_cast<uint8_t>(picture.at(x, y) << (bit % 8));
        }
    }
    return raw;
}

Bytes headerRecord(int format, const RawLayout& layout, int32_t rowBytes, int32_t rowPixels,
                   int32_t rowCount) {
    const uint32_t fields[4] = {static_cast<uint32_t>(rowBytes),
                                static_cast<uint32_t>(layout.bitsPerPixel),
                                static_cast<uint32_t>(rowPixels), static_cast<uint32_t>(rowCount)};
    Bytes out;
    if (format == 1 || format == 2) {
        // Each 8-bit flag and the two unused bytes sit in a 16-bit slot whose
        // second byte is not read; fill those with junk.
        const size_t base = format == 1 ? 2 : 1;
        out.assign(format == 1 ? 18 : 17, 0xEE);
        putAt(out, 0, 0, base);
        out[base] = 0;      // not transposed
        out[base + 2] = 1;  // forward
        for (int i = 0; i < 4; ++i) putAt(out, base + 8 + 2 * i, fields[i], 2);
        return out;
    }
    putLe(out, 0, 4);
    out.push_back(0);  // not transposed
    out.push_back(1);  // forward
    out.push_back(0xEE);
    out.push_back(0xEE);
    for (uint32_t field : fields) putLe(out, field, 4);
    for (uint8_t value = 0; value < 16; ++value) out.push_back(value);  // value map: identity
    return out;
}

Bytes headerRecord(int format, const RawLayout& layout, const RawScreen& raw) {
    return headerRecord(format, layout, raw.rowBytes, raw.rowPixels, raw.rowCount);
}

Bytes pixelRecord(int format, uint32_t offset, const Bytes& data) {
    Bytes out;
    putLe(out, 1, typeBytes(format));
    putLe(out, offset, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes paletteRecord(uint32_t offset, const Bytes& data) {
    Bytes out;
    putLe(out, 2, 4);
    putLe(out, offset, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes pixelFrames(int format, const Bytes& raw, size_t chunk) {
    Bytes out;
    for (size_t at = 0; at < raw.size(); at += chunk) {
        const size_t count = std::min(chunk, raw.size() - at);
        const Bytes data(raw.begin() + at, raw.begin() + at + count);
        const Bytes framed = screenFrame(pixelRecord(format, static_cast<uint32_t>(at), data));
        out.insert(out.end(), framed.begin(), framed.end());
    }
    return out;
}
