// Downloading the connected device's screen.
//
// screenDownload() asks the device for its screen (one SendScreen command)
// and hands the screen records it receives to a ScreenTransfer
// (capture/screen_transfer.h), which records which raw bytes have arrived.
// When every byte of the raw picture is there, in whatever order the records
// came, the device's correction routine is applied and the picture is turned
// into a bottom-up bitmap (capture/screen_convert.h). The device's DeviceInfo
// decides everything else: bitmap depth and palette from its screen type, the
// record layout from its record format.
//
// Receiving runs on the tick timer: the transfer ends with
// DownloadNotResponding after 800 ticks (4 s) in which no record brought
// anything new, so a device that falls silent, loses a record or keeps
// sending other packets cannot keep it waiting for ever. Every packet waiting
// in the queue is taken in each pass, and the loop sleeps until the next tick
// or the next data when there is nothing to do. Progress is reported per
// chunk through progressSetRange/progressUpdate; the caller binds the display
// beforehand.
//
// Line errors are those of the transfer itself: the four serial and queue
// error flags are cleared when it starts and again at the end, and the timer
// is stopped, whatever the outcome. A stop request (platform/stop_request.h)
// ends the download at its next pass with no picture and error 0.
#pragma once

#include <cstdint>
#include <vector>

#include "catalogue/bitmap_types.h"
#include "catalogue/product_catalogue.h"

enum DownloadError : uint8_t {
    DownloadOk = 0,
    DownloadNotResponding = 1,   // nothing new for 800 ticks: silent, or bytes still missing
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
// palette in info.palette. Otherwise returns nothing and `error` says why;
// nothing with `error` 0 means the download was stopped.
// Palette entries the download does not write keep the caller's values.
std::vector<uint8_t> screenDownload(BitmapInfo& info, const DeviceInfo& device, uint8_t& error);
