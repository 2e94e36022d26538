#include "link/device_link.h"

#include <algorithm>

#include "link/device_wait.h"
#include "link/packet_link.h"
#include "platform/platform.h"
#include "platform/stop_request.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"

namespace {

constexpr uint32_t kNoDataTicks = 50;
constexpr uint32_t kRepeatAtTick = 40;
constexpr uint32_t kBeforeChangeMs = 2000;
constexpr uint32_t kAfterConfirmMs = 500;
constexpr uint32_t kAfterChangeMs = 2000;

void sendCommand(uint16_t command) {
    linkSendWord(PacketId::Command, command);
}

void sendListCommand() {
    sendCommand(CommandId::ListBaudRates);
}

void acknowledge(uint16_t id) {
    linkSendWord(PacketId::Acknowledge, id);
}

// Keeps the first kMaxRates rates of a list packet, highest first.
int32_t storeRateList(const Packet& list, uint32_t (&rates)[kMaxRates]) {
    const int32_t count = std::min(list.length / 4, kMaxRates);
    for (int32_t i = 0; i < count; ++i) rates[i] = payloadValue(list, 4 * i, 4);
    std::sort(rates, rates + count, [](uint32_t a, uint32_t b) { return a > b; });
    return count;
}

// Waits, one pass per tick, until `handle` takes a packet as the answer or
// `kNoDataTicks` passes whose poll read nothing (see RequestWait for
// `resend`). Every waiting packet is offered to `handle` in each pass,
// whatever the poll read, so that a reply that came in one burst behind
// another packet is not left in the queue.
template <typename Handle>
bool pollForAnswer(void (*resend)(), Handle handle) {
    RequestWait wait(kNoDataTicks, resend);
    for (;;) {
        wait.beginPass();
        wait.countPass(serialPoll() > 0);
        const bool answered = wait.takeUntil(handle);
        const bool waiting = wait.endPass();
        if (answered && !stopRequested())
            return true;
        if (!waiting)
            return false;
    }
}

// Polls while bytes keep coming and takes every waiting packet; true when one
// of them had a payload. The pass's own tick is lowered first, so that a line
// that never falls quiet ends the drain at the next tick instead of never.
bool drainForAnswer(RequestWait& wait) {
    tickClear();
    bool answered = false;
    while (serialPoll() > 0) {
        wait.takeUntil([&answered](const Packet& p) {
            answered = answered || p.length > 0;
            return false;
        });
        if (tickPending())
            break;
    }
    return answered;
}

// A list that offers nothing but the rate the link runs at: there is nothing
// to move to, and the link works.
bool onlyPresentRate(const uint32_t* rates, int32_t count) {
    uint8_t index = 0;
    return count > 0 && std::all_of(rates, rates + count, [&](uint32_t rate) {
               return serialClassifyRate(rate, &index, nullptr) && index == serialBaudIndex();
           });
}

}  // namespace

int32_t deviceCheckLink() {
    sendListCommand();
    RequestWait wait(kNoDataTicks, sendListCommand);
    bool answered = false;
    while (!answered) {
        wait.beginPass();
        const bool bytes = serialBytesWaiting() > 0;
        if (bytes)
            answered = drainForAnswer(wait);
        if (wait.countPass(bytes) && wait.idlePasses() == kRepeatAtTick)
            sendListCommand();
        if (!wait.endPass())
            break;
    }
    return answered && !stopRequested() ? 1 : 0;
}

int32_t deviceProbeBaudRates() {
    if (deviceCheckLink())
        return 1;
    for (uint8_t index = baudindex::Rate9600; index <= baudindex::Rate115200 && !stopRequested();
         ++index) {
        serialSetBaudRate(serialRateForIndex(index));
        if (deviceCheckLink())
            return 1;
    }
    return 0;
}

int32_t deviceListBaudRates(uint32_t (&rates)[kMaxRates], int32_t& count) {
    count = 0;
    sendListCommand();
    const bool received = pollForAnswer(sendListCommand, [&](const Packet& p) {
        if (p.length == 0 || p.id != PacketId::BaudRateList)
            return false;
        acknowledge(PacketId::BaudRateList);
        count = storeRateList(p, rates);
        return true;
    });
    return received ? 1 : 0;
}

int32_t deviceChangeBaudRate(uint32_t rate) {
    platformSleep(kBeforeChangeMs);
    if (stopRequested())
        return 0;
    const uint8_t request[4] = {static_cast<uint8_t>(rate), static_cast<uint8_t>(rate >> 8),
                                static_cast<uint8_t>(rate >> 16), static_cast<uint8_t>(rate >> 24)};
    linkSendPacket(PacketId::BaudChangeRequest, request, sizeof request);
    // Asked for only once the link has answered: no screen to outwait.
    const bool agreed = pollForAnswer(
        nullptr, [](const Packet& p) { return p.length > 0 && p.id == PacketId::BaudChangeReply; });
    if (!agreed)
        return 0;
    acknowledge(PacketId::BaudChangeReply);
    const int32_t changed = serialSetBaudRate(rate);
    for (int confirmation = 0; confirmation < 2; ++confirmation) {
        sendCommand(CommandId::ConfirmBaudRate);
        platformSleep(kAfterConfirmMs);
    }
    platformSleep(kAfterChangeMs);
    return stopRequested() ? 0 : changed;
}

int32_t deviceNegotiateBaudRate(uint8_t& autoBaudRate) {
    uint32_t rates[kMaxRates];
    int32_t count = 0;
    if (!deviceListBaudRates(rates, count)) {
        if (!deviceCheckLink())
            return 0;
        autoBaudRate = serialBaudIndex();
        return 1;
    }
    if (onlyPresentRate(rates, count)) {
        autoBaudRate = serialBaudIndex();
        return 1;
    }
    // The highest listed rate is never tried.
    for (int32_t i = 1; i < count; ++i) {
        uint8_t index = 0;
        if (!serialClassifyRate(rates[i], &index, nullptr))
            continue;
        if (index == serialBaudIndex()) {
            autoBaudRate = index;
            return 1;
        }
        if (!deviceChangeBaudRate(rates[i]))
            continue;
        if (deviceCheckLink()) {
            autoBaudRate = index;
            return 1;
        }
    }
    return 0;
}

int32_t deviceSetDesiredBaudRate(uint8_t baudChoice, uint8_t& autoBaudRate) {
    if (baudChoice < baudindex::Auto || baudChoice > baudindex::Rate115200)
        return 0;
    if (baudChoice == baudindex::Auto) {
        // Every link starts at 9600: a remembered 9600 says nothing about
        // what the device offers, so only a faster link already up is kept.
        if (autoBaudRate == serialBaudIndex() && autoBaudRate > baudindex::Rate9600)
            return 1;
        return deviceNegotiateBaudRate(autoBaudRate);
    }
    if (baudChoice == serialBaudIndex())
        return 1;
    return deviceChangeBaudRate(serialRateForIndex(baudChoice));
}
