#include "capture/bitmap_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace {

constexpr const char* kCaption = "Lumagrab";
constexpr const char* kOpenError = "ERROR: Unable to open file";
constexpr const char* kWriteError = "ERROR: Unable to write file";
constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kHeadersBytes = kFileHeaderBytes + kInfoHeaderBytes;

void reportFileError(const char* what, const std::string& path) {
    platformMessageBox(std::string(what) + " " + path, kCaption,
                       msgbox::Ok | msgbox::IconExclamation);
}

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

// --- Writing a file whole or not at all ---------------------------------------

enum class WriteResult { Written, OpenFailed, WriteFailed };

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a new temporary file beside `path`; -1 when none can be created.
int createTemporaryBeside(const std::string& path, std::string& temporary) {
    static unsigned serial = 0;
    const std::string directory = directoryOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = directory + "/.lumagrab-" + std::to_string(getpid()) + "-" +
                    std::to_string(serial++) + ".tmp";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, std::span<const uint8_t> data) {
    while (!data.empty()) {
        const ssize_t written = write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data = data.subspan(static_cast<size_t>(written));
    }
    return true;
}

// Renaming would replace a file that could not be opened for writing, or
// even a directory; such a path is refused as if it could not be created.
bool mayReplace(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    return !S_ISDIR(st.st_mode) && access(path.c_str(), W_OK) == 0;
}

WriteResult writeWholeFile(const std::string& path,
                           std::initializer_list<std::span<const uint8_t>> parts) {
    if (!mayReplace(path))
        return WriteResult::OpenFailed;
    std::string temporary;
    const int fd = createTemporaryBeside(path, temporary);
    if (fd < 0)
        return WriteResult::OpenFailed;
    bool ok = true;
    for (std::span<const uint8_t> part : parts) ok = ok && writeAll(fd, part);
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return WriteResult::WriteFailed;
    }
    return WriteResult::Written;
}

bool saveBitmap(const std::string& path, const BitmapInfo& info, std::span<const uint8_t> pixels,
                uint8_t screenType) {
    const uint32_t colorTableBytes = bitmapColorTableBytes(screenType);
    if (pixels.size() != info.header.biSizeImage ||
        uint64_t{kHeadersBytes} + colorTableBytes + pixels.size() > UINT32_MAX) {
        reportFileError(kWriteError, path);
        return false;
    }
    const auto headers = encodeHeaders(info.header, colorTableBytes);
    const auto* colorTable = reinterpret_cast<const uint8_t*>(info.palette);
    switch (writeWholeFile(path, {headers, {colorTable, colorTableBytes}, pixels})) {
        case WriteResult::Written:
            return true;
        case WriteResult::OpenFailed:
            reportFileError(kOpenError, path);
            return false;
        case WriteResult::WriteFailed:
            reportFileError(kWriteError, path);
            return false;
    }
    return false;
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
    return directory + "/" + stem + suffix;
}

bool pathExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
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
    if (!directory.empty() && directory.back() == '/')
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
                  std::string& outputDirectory, const DeviceInfo* device) {
    SaveDialogRequest request;
    if (device != nullptr && !bitmapMakeAutoName(request.fileName, outputDirectory, device->name)) {
        reportFileError(kOpenError, request.fileName);
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
        reportFileError(kOpenError, chosen);
        return false;
    }
    return saveBitmap(chosen, info, pixels, screenType);
}

bool bitmapSaveAuto(const BitmapInfo& info, std::span<const uint8_t> pixels, uint8_t screenType,
                    std::string& outputDirectory, const DeviceInfo& device) {
    removeTrailingSeparator(outputDirectory);
    const std::string stem = cleanDeviceName(device.name);
    std::string path;
    for (uint32_t number = 1;; ++number) {
        if (!findFreeName(outputDirectory, stem, number, path)) {
            reportFileError(kOpenError, path);
            return false;
        }
        // Claim the name before writing, so that no file is ever replaced;
        // the finished file is then renamed onto this empty placeholder.
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            break;
        }
        if (errno != EEXIST) {
            reportFileError(kOpenError, path);
            return false;
        }
    }
    if (!saveBitmap(path, info, pixels, screenType)) {
        unlink(path.c_str());
        return false;
    }
    return true;
}
