#include "capture/screen_download.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <span>

#include "capture/progress.h"
#include "capture/screen_convert.h"
#include "link/packet_link.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"

namespace {

// Where the fields of the screen records sit in each record format.
struct RecordLayout {
    uint32_t typeBytes;  // width of the record type: 2 (signed), 1 or 4
    uint32_t transposedAt;
    uint32_t forwardAt;
    uint32_t rowBytesAt;
    uint32_t bitsPerPixelAt;
    uint32_t rowPixelsAt;
    uint32_t rowCountAt;
    uint32_t fieldBytes;  // width of the four geometry fields: 2 or 4, signed
    uint32_t headerBytes;
    uint32_t chunkOffsetAt;
    uint32_t chunkDataAt;
};

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

const RecordLayout* layoutFor(uint8_t recordFormat) {
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

// One screen transfer: the geometry, the raw picture as it arrives, the
// downloaded palette, and the finished bitmap.
class ScreenTransfer {
  public:
    ScreenTransfer(BitmapInfo& info, const DeviceInfo& device, bool downloadsPalette)
        : info_(info),
          device_(device),
          layout_(*layoutFor(device.recordFormat)),
          downloadsPalette_(downloadsPalette) {}

    void handlePacket(const Packet& packet) {
        if (packet.id != PacketId::ScreenRecord || packet.length <= 0)
            return;
        const std::span<const uint8_t> record(packet.payload, static_cast<size_t>(packet.length));
        if (record.size() < layout_.typeBytes)
            return;
        switch (readSigned(record.data(), layout_.typeBytes)) {
            case HeaderRecord:
                handleHeader(record);
                break;
            case PixelChunkRecord:
                handlePixelChunk(record);
                break;
            case PaletteChunkRecord:
                handlePaletteChunk(record);
                break;
            default:
                break;
        }
    }

    bool done() const { return done_; }
    uint8_t error() const { return error_; }
    std::vector<uint8_t> takePixels() { return std::move(pixels_); }

  private:
    void finish(uint8_t error) {
        done_ = true;
        error_ = error;
    }

    void handleHeader(std::span<const uint8_t> record) {
        if (record.size() < layout_.headerBytes)
            return;
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
        if (!screenGeometryUsable(geometry))
            return finish(DownloadOutOfMemory);
        try {
            // Cleared, so that bytes no chunk covers read as 0.
            raw_.assign(geometry.rawSize(), 0);
        } catch (const std::bad_alloc&) {
            return finish(DownloadOutOfMemory);
        }
        geometry_ = geometry;
        haveHeader_ = true;
    }

    void handlePixelChunk(std::span<const uint8_t> record) {
        // Without a header there is nowhere to put the data.
        if (!haveHeader_ || record.size() < layout_.chunkDataAt)
            return;
        const uint32_t offset = readU32(record.data() + layout_.chunkOffsetAt);
        const std::span<const uint8_t> data = record.subspan(layout_.chunkDataAt);
        const uint32_t rawSize = geometry_.rawSize();
        const uint64_t end = uint64_t{offset} + data.size();
        reportProgress(end, static_cast<int32_t>(rawSize));
        if (!data.empty() && end <= rawSize) {
            std::memcpy(raw_.data() + offset, data.data(), data.size());
        }
        // The first chunk that reaches the end completes the picture, even
        // one whose data runs past it and so was not copied.
        if (end >= rawSize)
            complete();
    }

    void handlePaletteChunk(std::span<const uint8_t> record) {
        if (!downloadsPalette_ || record.size() < kPaletteDataAt)
            return;
        const uint32_t offset = readU32(record.data() + kPaletteOffsetAt);
        const std::span<const uint8_t> data = record.subspan(kPaletteDataAt);
        reportProgress(uint64_t{offset} + data.size(), kPaletteStreamBytes);
        // Entries fill in arrival order, whatever the offset says; a last
        // entry cut short takes 0 for its missing colours.
        for (size_t i = 0; i < data.size() && palettePosition_ < kPaletteCapacity; i += 3) {
            const auto colour = [&](size_t at) -> uint8_t {
                return at < data.size() ? data[at] : 0;
            };
            info_.palette[palettePosition_++] = {colour(i), colour(i + 1), colour(i + 2), 0};
        }
    }

    static void reportProgress(uint64_t end, int32_t total) {
        progressSetRange(total);
        progressUpdate(static_cast<uint32_t>(std::min<uint64_t>(end, UINT32_MAX)), total);
    }

    void complete() {
        if (device_.postProcess != nullptr &&
            !device_.postProcess(raw_.data(), raw_.data(), geometry_.rawSize())) {
            return finish(DownloadOutOfMemory);
        }
        screenFillHeader(geometry_, info_.header);
        if (!screenConvert(geometry_, raw_.data(), info_.header, pixels_)) {
            return finish(DownloadOutOfMemory);
        }
        finish(DownloadOk);
    }

    BitmapInfo& info_;
    const DeviceInfo& device_;
    const RecordLayout& layout_;
    const bool downloadsPalette_;
    ScreenGeometry geometry_;
    bool haveHeader_ = false;
    std::vector<uint8_t> raw_;
    int palettePosition_ = 0;
    bool done_ = false;
    uint8_t error_ = DownloadOk;
    std::vector<uint8_t> pixels_;
};

// Sets the bitmap depth and colour count from the screen type and copies a
// built-in palette. DownloadInvalidPalette when the device cannot be captured
// that way.
uint8_t prepareBitmap(BitmapInfo& info, const DeviceInfo& device, bool& downloadsPalette) {
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
    if (layoutFor(device.recordFormat) == nullptr)
        return DownloadInvalidPalette;
    if (!downloadsPalette) {
        if (device.palette == nullptr)
            return DownloadInvalidPalette;
        std::copy_n(device.palette, info.header.biClrUsed, info.palette);
    }
    return DownloadOk;
}

// The error a poll left behind, in the order they are looked at.
uint8_t lineError() {
    if (serialRxOverrun())
        return DownloadRxOverrun;
    if (serialTxFull())
        return DownloadTxFull;
    if (serialOtherError())
        return DownloadSerialError;
    if (linkOverflow())
        return DownloadPacketOverrun;
    return DownloadOk;
}

uint8_t receiveScreen(ScreenTransfer& transfer) {
    Packet packet;
    uint32_t idleTicks = 0;
    for (;;) {
        // The 800th quiet tick ends the download after this pass; only a
        // packet of this same pass that completes the picture still counts.
        bool outOfTime = false;
        if (tickPending()) {
            outOfTime = ++idleTicks >= kDownloadIdleTicks;
            if (!outOfTime)
                tickClear();
        }
        const int32_t received = serialPoll();
        if (const uint8_t error = lineError(); error != DownloadOk)
            return error;
        // Every waiting packet, whatever this poll read: packets left queued
        // would otherwise wait for bytes that may never come.
        bool tookPacket = false;
        while (!transfer.done() && linkPacketWaiting()) {
            linkTakePacket(packet);
            tookPacket = true;
            transfer.handlePacket(packet);
        }
        if (tookPacket)
            idleTicks = 0;
        if (transfer.done())
            return transfer.error();
        if (outOfTime)
            return DownloadNotResponding;
        // While data flows, collect it a tick at a time rather than waking for
        // every few bytes; when the line is quiet, wake for the first byte.
        if (received > 0) {
            tickWaitPending();
        } else {
            tickWaitForTickOrData();
        }
    }
}

void clearErrorFlags() {
    serialSetRxOverrun(0);
    serialSetTxFull(0);
    serialSetOtherError(0);
    linkSetOverflow(0);
}

}  // namespace

std::vector<uint8_t> screenDownload(BitmapInfo& info, const DeviceInfo& device, uint8_t& error) {
    bool downloadsPalette = false;
    error = prepareBitmap(info, device, downloadsPalette);
    linkSendWord(PacketId::Command, CommandId::SendScreen);
    tickStart();
    std::vector<uint8_t> pixels;
    if (error == DownloadOk) {
        ScreenTransfer transfer(info, device, downloadsPalette);
        error = receiveScreen(transfer);
        if (error == DownloadOk)
            pixels = transfer.takePixels();
    }
    clearErrorFlags();
    tickStop();
    return pixels;
}
