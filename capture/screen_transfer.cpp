#include "capture/screen_transfer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "capture/post_process.h"
#include "capture/progress.h"
#include "capture/screen_download.h"

namespace {

constexpr RecordLayout kFormat1{2, 2, 4, 10, 12, 14, 16, 2, 18, 2, 6};
constexpr RecordLayout kFormat2{1, 1, 3, 9, 11, 13, 15, 2, 17, 1, 5};
constexpr RecordLayout kFormat3And4{4, 4, 5, 8, 12, 16, 20, 4, 40, 4, 8};
constexpr uint32_t kValueMapAt = 24;

// Palette chunks: a 32-bit type, a 32-bit offset in the 768-byte palette
// stream, then blue-green-red triples.
constexpr uint32_t kPaletteOffsetAt = 4;
constexpr uint32_t kPaletteDataAt = 8;
constexpr int32_t kPaletteStreamBytes = 768;

enum RecordType : int64_t { HeaderRecord = 0, PixelChunkRecord = 1, PaletteChunkRecord = 2 };

uint32_t readU32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

int32_t readSigned(const uint8_t* p, uint32_t bytes) {
    if (bytes == 1)
        return p[0];
    if (bytes == 2)
        return static_cast<int16_t>(p[0] | p[1] << 8);
    return static_cast<int32_t>(readU32(p));
}

void reportProgress(uint64_t done, int32_t total) {
    progressSetRange(total);
    progressUpdate(static_cast<uint32_t>(std::min<uint64_t>(done, UINT32_MAX)), total);
}

}  // namespace

const RecordLayout* screenRecordLayout(uint8_t recordFormat) {
    switch (recordFormat) {
        case RecordFormat1:
            return &kFormat1;
        case RecordFormat2:
            return &kFormat2;
        case RecordFormat3:
        case RecordFormat4:
            return &kFormat3And4;
        default:
            return nullptr;
    }
}

uint8_t screenPrepareBitmap(BitmapInfo& info, const DeviceInfo& device, bool& downloadsPalette) {
    struct Depth {
        uint16_t bitCount;
        uint32_t colours;
    };
    static constexpr Depth kDepths[] = {{0, 0}, {1, 2}, {4, 4}, {8, 16}, {8, 256}};
    if (device.screenType < ScreenMono || device.screenType > ScreenColor256) {
        return DownloadInvalidPalette;
    }
    info.header.biBitCount = kDepths[device.screenType].bitCount;
    info.header.biClrUsed = kDepths[device.screenType].colours;
    downloadsPalette = device.screenType == ScreenColor256 ||
                       (device.screenType == ScreenColor16 && device.recordFormat == RecordFormat4);
    if (screenRecordLayout(device.recordFormat) == nullptr)
        return DownloadInvalidPalette;
    if (!downloadsPalette) {
        if (device.palette == nullptr)
            return DownloadInvalidPalette;
        std::copy_n(device.palette, info.header.biClrUsed, info.palette);
    }
    return DownloadOk;
}

ScreenTransfer::ScreenTransfer(BitmapInfo& info, const DeviceInfo& device, bool downloadsPalette)
    : info_(info),
      device_(device),
      layout_(*screenRecordLayout(device.recordFormat)),
      downloadsPalette_(downloadsPalette) {}

bool ScreenTransfer::handlePacket(const Packet& packet) {
    // A record whose checksum failed is dropped whole: its bytes stay missing.
    if (packet.id != PacketId::ScreenRecord || packet.length <= 0 || !packet.valid)
        return false;
    const std::span<const uint8_t> record(packet.payload, static_cast<size_t>(packet.length));
    if (record.size() < layout_.typeBytes)
        return false;
    switch (readSigned(record.data(), layout_.typeBytes)) {
        case HeaderRecord:
            return handleHeader(record);
        case PixelChunkRecord:
            return handlePixelChunk(record);
        case PaletteChunkRecord:
            return handlePaletteChunk(record);
        default:
            return false;
    }
}

bool ScreenTransfer::bytePresent(uint32_t at) const {
    return at < rawSize() && (present_[at / 64] >> (at % 64) & 1) != 0;
}

void ScreenTransfer::finish(uint8_t error) {
    done_ = true;
    error_ = error;
}

// A later header replaces the geometry and starts the picture anew; only the
// first one counts as news, so that a device repeating its header cannot keep
// the transfer waiting.
bool ScreenTransfer::handleHeader(std::span<const uint8_t> record) {
    if (record.size() < layout_.headerBytes)
        return false;
    const uint8_t* p = record.data();
    ScreenGeometry geometry;
    geometry.transposed = p[layout_.transposedAt] == 1;
    geometry.forward = p[layout_.forwardAt] == 1;
    geometry.rowBytes = readSigned(p + layout_.rowBytesAt, layout_.fieldBytes);
    geometry.bitsPerPixel = readSigned(p + layout_.bitsPerPixelAt, layout_.fieldBytes);
    geometry.rowPixels = readSigned(p + layout_.rowPixelsAt, layout_.fieldBytes);
    geometry.rowCount = readSigned(p + layout_.rowCountAt, layout_.fieldBytes);
    geometry.mapValues = device_.recordFormat == RecordFormat3;
    if (geometry.mapValues) {
        std::copy_n(p + kValueMapAt, geometry.valueMap.size(), geometry.valueMap.begin());
    }
    if (!screenGeometryUsable(geometry)) {
        finish(DownloadOutOfMemory);
        return false;
    }
    const uint32_t size = geometry.rawSize();
    raw_.reset(new (std::nothrow) uint8_t[size]);
    try {
        present_.assign((size + 63) / 64, 0);
    } catch (const std::bad_alloc&) {
        raw_.reset();
    }
    if (!raw_) {
        finish(DownloadOutOfMemory);
        return false;
    }
    presentCount_ = 0;
    geometry_ = geometry;
    const bool first = !haveHeader_;
    haveHeader_ = true;
    return first;
}

// Marks raw bytes [from, to) present and returns how many were new.
uint32_t ScreenTransfer::markPresent(uint32_t from, uint32_t to) {
    uint32_t added = 0;
    for (uint32_t at = from; at < to; ++at) {
        uint64_t& word = present_[at / 64];
        const uint64_t bit = uint64_t{1} << (at % 64);
        added += (word & bit) == 0;
        word |= bit;
    }
    presentCount_ += added;
    return added;
}

bool ScreenTransfer::handlePixelChunk(std::span<const uint8_t> record) {
    // Without a header there is nowhere to put the data.
    if (!haveHeader_ || record.size() < layout_.chunkDataAt)
        return false;
    const uint32_t offset = readU32(record.data() + layout_.chunkOffsetAt);
    const std::span<const uint8_t> data = record.subspan(layout_.chunkDataAt);
    const uint32_t size = geometry_.rawSize();
    if (data.empty() || offset >= size)
        return false;
    // The part of a chunk that runs past the end of the picture is dropped.
    const uint32_t end =
        static_cast<uint32_t>(std::min<uint64_t>(uint64_t{offset} + data.size(), size));
    std::memcpy(raw_.get() + offset, data.data(), end - offset);
    const bool brought = markPresent(offset, end) > 0;
    reportProgress(presentCount_, static_cast<int32_t>(size));
    if (presentCount_ == size)
        complete();
    return brought;
}

bool ScreenTransfer::handlePaletteChunk(std::span<const uint8_t> record) {
    if (!downloadsPalette_ || record.size() < kPaletteDataAt)
        return false;
    const uint32_t offset = readU32(record.data() + kPaletteOffsetAt);
    const std::span<const uint8_t> data = record.subspan(kPaletteDataAt);
    reportProgress(uint64_t{offset} + data.size(), kPaletteStreamBytes);
    const int before = palettePosition_;
    // Entries fill in arrival order, whatever the offset says; a last entry
    // cut short takes 0 for its missing colours.
    for (size_t i = 0; i < data.size() && palettePosition_ < kPaletteCapacity; i += 3) {
        const auto colour = [&](size_t at) -> uint8_t { return at < data.size() ? data[at] : 0; };
        info_.palette[palettePosition_++] = {colour(i), colour(i + 1), colour(i + 2), 0};
    }
    return palettePosition_ > before;
}

void ScreenTransfer::complete() {
    const uint32_t size = geometry_.rawSize();
    const PostProcessFn routine = postProcessRoutine(device_.postProcess);
    if (routine != nullptr && !routine(raw_.get(), raw_.get(), size)) {
        return finish(DownloadOutOfMemory);
    }
    screenFillHeader(geometry_, info_.header);
    if (!screenConvert(geometry_, raw_.get(), info_.header, pixels_)) {
        return finish(DownloadOutOfMemory);
    }
    finish(DownloadOk);
}
