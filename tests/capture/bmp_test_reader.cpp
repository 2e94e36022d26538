#include "capture/bmp_test_reader.h"

#include "support/test_support.h"

namespace {

uint32_t le(const std::vector<uint8_t>& bytes, size_t at, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[at + i];
    return value;
}

}  // namespace

std::vector<uint8_t> BmpImage::indices() const {
    std::vector<uint8_t> out;
    for (int row = height - 1; row >= 0; --row) {
        for (size_t bit = 0; bit < static_cast<size_t>(width) * bitCount; bit += bitCount) {
            const uint8_t byte = rows.at(row * stride() + bit / 8);
            const int shift = 8 - bitCount - static_cast<int>(bit % 8);
            out.push_back(static_cast<uint8_t>((byte >> shift) & ((1u << bitCount) - 1)));
        }
    }
    return out;
}

bool BmpImage::paddingIsZero() const {
    for (int32_t row = 0; row < height; ++row) {
        for (size_t bit = static_cast<size_t>(width) * bitCount; bit < stride() * 8; ++bit) {
            if (rows[row * stride() + bit / 8] & (0x80 >> (bit % 8)))
                return false;
        }
    }
    return true;
}

std::optional<BmpImage> parseBmp(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
        return std::nullopt;
    BmpImage image;
    image.fileSize = le(bytes, 2, 4);
    image.pixelOffset = le(bytes, 10, 4);
    image.width = static_cast<int32_t>(le(bytes, 18, 4));
    image.height = static_cast<int32_t>(le(bytes, 22, 4));
    image.bitCount = static_cast<uint16_t>(le(bytes, 28, 2));
    image.colorsUsed = le(bytes, 46, 4);
    if (le(bytes, 6, 4) != 0 || le(bytes, 14, 4) != 40 || le(bytes, 26, 2) != 1 ||
        le(bytes, 30, 4) != 0 || le(bytes, 50, 4) != image.colorsUsed)
        return std::nullopt;
    if (image.pixelOffset < 54 || image.pixelOffset > bytes.size() || image.width < 0 ||
        image.height < 0)
        return std::nullopt;
    image.colorTable.assign(bytes.begin() + 54, bytes.begin() + image.pixelOffset);
    image.rows.assign(bytes.begin() + image.pixelOffset, bytes.end());
    if (image.rows.size() != size_t{image.stride()} * image.height)
        return std::nullopt;
    return image;
}

std::optional<BmpImage> readBmp(const std::string& path) {
    return parseBmp(readFileBytes(path));
}
