#include "capture/screen_download.h"

#include <algorithm>

#include "capture/screen_transfer.h"
#include "link/packet_link.h"
#include "platform/stop_request.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"

namespace {

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
    if (screenRecordLayout(device.recordFormat) == nullptr)
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

// How receiveScreen() ended when it was asked to stop: no picture, and no
// error that anyone should be told about.
constexpr uint8_t kStopped = 0xFF;

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
        // would otherwise wait for bytes that may never come. Only a record
        // that brings something new counts as the device answering, so that
        // other traffic cannot keep the transfer waiting for ever.
        bool progressed = false;
        while (!transfer.done() && linkPacketWaiting()) {
            linkTakePacket(packet);
            progressed = transfer.handlePacket(packet) || progressed;
        }
        if (progressed)
            idleTicks = 0;
        if (transfer.done())
            return transfer.error();
        if (stopRequested())
            return kStopped;
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
    // Line errors counted before the transfer (a plug-in, a switch-on, an
    // earlier command) say nothing about it.
    clearErrorFlags();
    bool downloadsPalette = false;
    error = prepareBitmap(info, device, downloadsPalette);
    linkSendWord(PacketId::Command, CommandId::SendScreen);
    tickStart();
    std::vector<uint8_t> pixels;
    if (error == DownloadOk) {
        ScreenTransfer transfer(info, device, downloadsPalette);
        error = receiveScreen(transfer);
        if (error == kStopped)
            error = DownloadOk;
        else if (error == DownloadOk)
            pixels = transfer.takePixels();
    }
    clearErrorFlags();
    tickStop();
    return pixels;
}
