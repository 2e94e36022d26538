#include "capture/screen_download.h"

#include <algorithm>

#include "capture/screen_transfer.h"
#include "link/packet_link.h"
#include "platform/stop_request.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"

namespace {

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
    error = screenPrepareBitmap(info, device, downloadsPalette);
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
