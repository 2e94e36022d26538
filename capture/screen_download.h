// Downloading the connected device's screen.
//
// screenDownload() asks the device for its screen (one SendScreen command)
// and receives screen records: a header with the geometry, pixel chunks at
// byte offsets of the raw picture and, where the palette is downloaded,
// palette chunks. The first pixel chunk that reaches the end of the raw
// picture completes it; the device's correction routine is applied and the
// picture is turned into a bottom-up bitmap (capture/screen_convert.h). The
// device's DeviceInfo decides everything else: bitmap depth and palette from
// its screen type, the record layout from its record format.
//
// Receiving runs on the tick timer: the device may stay silent for at most 800
// ticks (4 s) between packets. Every packet waiting in the queue is taken in
// each pass, and the loop sleeps until the next tick or the next data when
// there is nothing to do. Progress is reported per chunk through
// progressSetRange/progressUpdate; the caller binds the display beforehand.
//
// Records come from the wire and are not trusted: records shorter than their
// fixed part, pixel chunks before a header, chunks outside the raw picture,
// palette chunks where the palette is built in and palette entries past 256
// are ignored; a header whose geometry cannot be used ends the download with
// DownloadOutOfMemory. At the end the four serial and queue error flags are
// cleared and the timer is stopped, whatever the outcome.
#pragma once

#include <cstdint>
#include <vector>

#include "capture/bitmap_types.h"
#include "link/product_catalogue.h"

enum DownloadError : uint8_t {
    DownloadOk = 0,
    DownloadNotResponding = 1,   // no packet for 800 ticks
    DownloadOutOfMemory = 2,     // no room for the picture, or a geometry that cannot be built
    DownloadInvalidPalette = 3,  // the screen type is not 1 to 4 (or has no palette)
    DownloadTxFull = 4,          // the serial transmit queue was full
    DownloadRxOverrun = 5,       // the serial receive queue overran
    DownloadSerialError = 6,     // any other serial line error
    DownloadPacketOverrun = 7,   // the packet receive ring overflowed
};
constexpr int kDownloadErrorCount = 8;

// Ticks of silence after which the device counts as not responding.
constexpr uint32_t kDownloadIdleTicks = 800;

// Downloads the screen of `device`. On success returns the pixel rows
// (info.header.biSizeImage bytes) with `error` 0, info.header filled and the
// palette in info.palette. Otherwise returns nothing and `error` says why.
// Palette entries the download does not write keep the caller's values.
std::vector<uint8_t> screenDownload(BitmapInfo& info, const DeviceInfo& device, uint8_t& error);
