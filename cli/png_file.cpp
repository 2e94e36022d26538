#include "cli/png_file.h"

#include <algorithm>

#include "platform/file_commit.h"

bool indexedPictureOf(const BitmapInfo& info, std::span<const uint8_t> pixels,
                      IndexedPicture& picture) {
    const BITMAPINFOHEADER& h = info.header;
    const uint32_t bits = h.biBitCount;
    if ((bits != 1 && bits != 4 && bits != 8) || h.biWidth <= 0 || h.biHeight <= 0 ||
        h.biClrUsed > kPaletteCapacity) {
        return false;
    }
    const uint64_t width = static_cast<uint64_t>(h.biWidth);
    const uint64_t height = static_cast<uint64_t>(h.biHeight);
    const uint64_t stride = (bits * width + 31) / 32 * 4;
    if (stride * height != pixels.size()) {
        return false;
    }
    picture.width = static_cast<uint32_t>(width);
    picture.height = static_cast<uint32_t>(height);
    picture.indices.resize(width * height);
    uint32_t largest = 0;
    const uint32_t mask = (1u << bits) - 1;
    for (uint64_t top = 0; top < height; ++top) {
        const uint8_t* row = pixels.data() + (height - 1 - top) * stride;  // bottom-up rows
        for (uint64_t x = 0; x < width; ++x) {
            const uint64_t bit = x * bits;
            const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & mask;
            picture.indices[top * width + x] = static_cast<uint8_t>(index);
            largest = std::max(largest, index);
        }
    }
    const uint32_t entries = std::max<uint32_t>(std::max<uint32_t>(h.biClrUsed, 1), largest + 1);
    picture.palette.assign(info.palette, info.palette + std::min<uint32_t>(entries, h.biClrUsed));
    picture.palette.resize(entries, RGBQUAD{0, 0, 0, 0});
    return true;
}

bool pngSave(const BitmapInfo& info, std::span<const uint8_t> pixels, const std::string& path) {
    IndexedPicture picture;
    std::vector<uint8_t> png;
    if (!indexedPictureOf(info, pixels, picture) || !pngEncode(picture, png)) {
        fileReportFailure(FileWriteResult::WriteFailed, path);
        return false;
    }
    const FileWriteResult result = fileWriteWhole(path, {png});
    fileReportFailure(result, path);
    return result == FileWriteResult::Written;
}
