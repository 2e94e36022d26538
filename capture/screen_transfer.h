// One screen transfer: the screen records of one download, taken one by one.
//
// A header record gives the geometry of the raw picture; pixel chunks carry
// runs of raw bytes at a byte offset; palette chunks carry colours, which fill
// the palette in arrival order. The transfer records which raw bytes have
// arrived, so that chunks may come in any order and the picture is complete
// only when every byte of it has come: a lost or damaged record leaves it
// incomplete rather than silently zero.
//
// Records come from the wire and are not trusted: a packet whose checksum
// failed, records shorter than their fixed part, pixel chunks before a header,
// palette chunks where the palette is built in, palette entries past 256 and
// the part of a chunk that lies past the end of the raw picture are ignored; a
// header whose geometry cannot be used ends the transfer with
// DownloadOutOfMemory.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "catalogue/bitmap_types.h"
#include "capture/screen_convert.h"
#include "link/packet_link.h"
#include "catalogue/product_catalogue.h"

// Where the fields of the screen records sit in one record format.
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

// The layout of `recordFormat`, or nullptr for a format that has none.
const RecordLayout* screenRecordLayout(uint8_t recordFormat);

// Sets the bitmap depth and colour count from the screen type and copies a
// built-in palette; `downloadsPalette` says whether the palette comes in
// palette chunks instead. DownloadInvalidPalette when the device cannot be
// captured (no such screen type, no built-in palette, no record layout).
uint8_t screenPrepareBitmap(BitmapInfo& info, const DeviceInfo& device, bool& downloadsPalette);

class ScreenTransfer {
  public:
    // `device` must have a record layout; `info` receives the palette as it
    // arrives and the header when the picture is complete.
    ScreenTransfer(BitmapInfo& info, const DeviceInfo& device, bool downloadsPalette);

    // Handles one packet. True when it brought picture or palette bytes that
    // the transfer still lacked (the header that starts it counts too); other
    // packets, repeats and ignored records give false.
    bool handlePacket(const Packet& packet);

    bool done() const { return done_; }
    uint8_t error() const { return error_; }
    std::vector<uint8_t> takePixels() { return std::move(pixels_); }

    // The raw size of the present geometry (0 before a usable header), and
    // whether raw byte `at` has arrived.
    uint32_t rawSize() const { return haveHeader_ ? geometry_.rawSize() : 0; }
    bool bytePresent(uint32_t at) const;
    uint32_t presentCount() const { return presentCount_; }

  private:
    void finish(uint8_t error);
    bool handleHeader(std::span<const uint8_t> record);
    bool handlePixelChunk(std::span<const uint8_t> record);
    bool handlePaletteChunk(std::span<const uint8_t> record);
    uint32_t markPresent(uint32_t from, uint32_t to);
    void complete();

    BitmapInfo& info_;
    const DeviceInfo& device_;
    const RecordLayout& layout_;
    const bool downloadsPalette_;
    ScreenGeometry geometry_;
    bool haveHeader_ = false;
    std::unique_ptr<uint8_t[]> raw_;
    std::vector<uint64_t> present_;  // one bit a raw byte
    uint32_t presentCount_ = 0;
    int palettePosition_ = 0;
    bool done_ = false;
    uint8_t error_ = 0;
    std::vector<uint8_t> pixels_;
};
