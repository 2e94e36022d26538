#include "capture/bitmap_file.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "platform/file_commit.h"
#include "platform/path_names.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderBytes;

// --- File layout -----------------------------------------------------------

class LittleEndianWriter {
  public:
    explicit LittleEndianWriter(uint8_t* out) : out_(out) {}
    void put16(uint32_t value) { putBytes(value, 2); }
    void put32(uint32_t value) { putBytes(value, 4); }

  private:
    void putBytes(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) *out_++ = static_cast<uint8_t>(value >> (8 * i));
    }
    uint8_t* out_;
};

std::array<uint8_t, kHeadersBytes> encodeHeaders(const BITMAPINFOHEADER& header,
                                                 uint32_t colorTableBytes) {
    std::array<uint8_t, kHeadersBytes> bytes{};
    LittleEndianWriter out(bytes.data());
    out.put16(0x4D42);  // "BM"
    out.put32(kHeadersBytes + colorTableBytes + header.biSizeImage);
    out.put16(0);
    out.put16(0);
    out.put32(kHeadersBytes + colorTableBytes);
    out.put32(header.biSize);
    out.put32(static_cast<uint32_t>(header.biWidth));
    out.put32(static_cast<uint32_t>(header.biHeight));
    out.put16(header.biPlanes);
    out.put16(header.biBitCount);
    out.put32(header.biCompression);
    out.put32(header.biSizeImage);
    out.put32(static_cast<uint32_t>(header.biXPelsPerMeter));
    out.put32(static_cast<uint32_t>(header.biYPelsPerMeter));
    out.put32(header.biClrUsed);
    out.put32(header.biClrImportant);
    return bytes;
}

// Checks that the picture makes a bitmap file and hands the file's parts to
// `write`; a failure is told with `path`.
bool saveBitmapWith(
    const BitmapInfo& info, std::span<const uint8_t> pixels, uint8_t screenType,
    const std::string& path,
    const std::function<FileWriteResult(std::initializer_list<std::span<const uint8_t>>)>& write) {
    const uint32_t colorTableBytes = bitmapColorTableBytes(screenType);
    if (pixels.size() != info.header.biSizeImage ||
        uint64_t{kHeadersBytes} + colorTableBytes + pixels.size() > UINT32_MAX) {
        fileReportFailure(FileWriteResult::WriteFailed, path);
        return false;
    }
    const auto headers = encodeHeaders(info.header, colorTableBytes);
    const auto* colorTable = reinterpret_cast<const uint8_t*>(info.palette);
    const FileWriteResult result = write({headers, {colorTable, colorTableBytes}, pixels});
    fileReportFailure(result, path);
    return result == FileWriteResult::Written;
}

bool saveBitmap(const std::string& path, const BitmapInfo& info, std::span<const uint8_t> pixels,
                uint8_t screenType) {
    return saveBitmapWith(info, pixels, screenType, path,
                          [&path](auto parts) { return fileWriteWhole(path, parts); });
}

// --- Generated names -------------------------------------------------------

std::string cleanDeviceName(const char* name) {
    std::string cleaned;
    for (size_t i = 0; i < kProductNameSize && name[i] != '\0'; ++i) {
        if (name[i] == ' ')
            continue;
        cleaned += name[i] == '/' ? '_' : name[i];
    }
    return cleaned;
}

std::string candidateName(const std::string& directory, const std::string& stem, uint32_t number) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, "-%02u.bmp", number);
    return directory + pathSeparator() + stem + suffix;
}

bool pathExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::symlink_status(pathFromText(path), error));
}

// The first candidate from `number` on that no file holds; false when the
// candidates no longer fit (or the numbers run out), with `path` the last one.
bool findFreeName(const std::string& directory, const std::string& stem, uint32_t& number,
                  std::string& path) {
    for (; number != 0; ++number) {
        path = candidateName(directory, stem, number);
        if (path.size() >= kBitmapPathSize)
            return false;
        if (!pathExists(path))
            return true;
    }
    return false;
}

void removeTrailingSeparator(std::string& directory) {
    if (!directory.empty() && pathIsSeparator(directory.back()))
        directory.pop_back();
}

}  // namespace

uint32_t bitmapColorTableBytes(uint8_t screenType) {
    switch (screenType) {
        case ScreenMono:
            return 8;
        case ScreenGray:
            return 16;
        case ScreenColor16:
            return 64;
        case ScreenColor256:
            return 1024;
        default:
            return 0;
    }
}

bool bitmapMakeAutoName(std::string& path, std::string& outputDirectory, const char* deviceName) {
    removeTrailingSeparator(outputDirectory);
    uint32_t number = 1;
    return findFreeName(outputDirectory, cleanDeviceName(deviceName), number, path);
}

bool bitmapSaveAs(const BitmapInfo& info, std::span<const uint8_t> pixels, uint8_t screenType,
                  std::string& outputDirectory, const DeviceInfo* device, std::string* savedPath) {
    SaveDialogRequest request;
    if (device != nullptr && !bitmapMakeAutoName(request.fileName, outputDirectory, device->name)) {
        fileReportFailure(FileWriteResult::OpenFailed, request.fileName);
        return false;
    }
    request.title = "Save Bitmap";
    request.filters = {{"Bitmap Files (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}};
    request.initialDirectory = outputDirectory;
    request.defaultExtension = "bmp";
    request.overwritePrompt = true;
    std::string chosen;
    if (!platformSaveDialog(request, chosen) || chosen.empty())
        return false;
    if (chosen.size() >= kBitmapPathSize) {
        fileReportFailure(FileWriteResult::OpenFailed, chosen);
        return false;
    }
    if (!saveBitmap(chosen, info, pixels, screenType))
        return false;
    if (savedPath != nullptr)
        *savedPath = chosen;
    return true;
}

bool bitmapSaveAuto(const BitmapInfo& info, std::span<const uint8_t> pixels, uint8_t screenType,
                    std::string& outputDirectory, const DeviceInfo& device,
                    std::string* savedPath) {
    removeTrailingSeparator(outputDirectory);
    const std::string stem = cleanDeviceName(device.name);
    uint32_t number = 0;
    std::string path = candidateName(outputDirectory, stem, 1);
    // Each name taken meanwhile (by another capture, say) moves on to the next.
    const auto nextName = [&](std::string& candidate) {
        return findFreeName(outputDirectory, stem, ++number, candidate);
    };
    const bool saved = saveBitmapWith(info, pixels, screenType, path, [&](auto parts) {
        return fileCreateUnderFreeName(nextName, parts, path);
    });
    if (saved && savedPath != nullptr)
        *savedPath = path;
    return saved;
}
