#include "serial/serial_port.h"

#include <cerrno>

#include "platform/platform.h"
#include "serial/serial_device.h"
#include "serial/system_serial.h"

namespace {

constexpr uint32_t kOpenRate = 9600;
constexpr uint32_t kRateChangePauseMs = 500;
constexpr uint32_t kMaxReadCount = 65535;

struct PortState {
    bool initialised = false;
    bool open = false;
    ByteHandler handler = nullptr;
    uint8_t baudIndex = 0;
    uint8_t rxOverrun = 0;
    uint8_t txFull = 0;
    uint8_t otherError = 0;
    int lastOpenError = 0;
    std::string devicePath[2] = {systemDefaultPortDevice(1), systemDefaultPortDevice(2)};
};

PortState gPort;
const std::unique_ptr<SerialDevice> gSystemDevice = makeSystemSerialDevice();
SerialDevice* gDevice = gSystemDevice.get();

// The receive buffer: one fixed block, so that polling never allocates.
uint8_t gReadBuffer[65536];

bool portUsable() {
    return gPort.initialised && gPort.open;
}

// Forgets the port without the rate reset of serialClose.
void releaseDevice() {
    if (gPort.open)
        gDevice->close();
    gPort.open = false;
    gPort.baudIndex = 0;
}

bool failOpen(int error) {
    gPort.lastOpenError = error;
    return false;
}

// The rate change proper. `closeOnFailure` is false inside serialClose, so
// that a failed reset there cannot start a second close.
bool changeRate(uint32_t rate, bool closeOnFailure) {
    if (!portUsable())
        return false;
    uint32_t nominal = 0;
    if (!serialClassifyRate(rate, &gPort.baudIndex, &nominal))
        return false;
    gDevice->purge(purge::All);
    platformSleep(kRateChangePauseMs);
    gDevice->setDtr(true);
    if (!gDevice->configure(nominal)) {
        if (closeOnFailure)
            serialClose();
        return false;
    }
    gDevice->setDtr(true);
    gDevice->purge(purge::All);
    return true;
}

}  // namespace

void serialInit() {
    releaseDevice();
    gPort.initialised = true;
    gPort.handler = nullptr;
}

void serialShutdown() {
    releaseDevice();
    gPort.initialised = false;
    gPort.handler = nullptr;
}

void serialSetByteHandler(ByteHandler handler) {
    if (gPort.initialised)
        gPort.handler = handler;
}

void serialSetPortDevice(uint8_t port, const std::string& path) {
    if (port == 1 || port == 2)
        gPort.devicePath[port - 1] = path;
}

std::string serialPortDevice(uint8_t port) {
    return (port == 1 || port == 2) ? gPort.devicePath[port - 1] : std::string();
}

int32_t serialOpen(uint8_t port) {
    if (!gPort.initialised || (port != 1 && port != 2))
        return failOpen(EINVAL);
    if (gPort.open)
        return failOpen(EBUSY);
    int error = 0;
    if (!gDevice->open(gPort.devicePath[port - 1], error))
        return failOpen(error ? error : EIO);
    gPort.open = true;
    gDevice->purge(purge::All);
    errno = 0;
    if (!gDevice->configure(kOpenRate)) {
        const int configureError = errno ? errno : EIO;
        serialClose();
        return failOpen(configureError);
    }
    gDevice->purge(purge::All);
    gDevice->setDtr(true);
    gPort.baudIndex = baudindex::Rate9600;
    gPort.lastOpenError = 0;
    return 1;
}

int serialLastOpenError() {
    return gPort.lastOpenError;
}

void serialClose() {
    if (!portUsable())
        return;
    changeRate(kOpenRate, false);
    gDevice->setDtr(false);
    gDevice->purge(purge::All);
    releaseDevice();
}

int32_t serialSetBaudRate(uint32_t rate) {
    return changeRate(rate, true) ? 1 : 0;
}

int32_t serialClassifyRate(uint32_t rate, uint8_t* index, uint32_t* nominal) {
    struct Band {
        uint32_t from;
        uint8_t index;  // 0: rejected
        uint32_t nominal;
    };
    // From the top down; each band starts at 96 % of its nominal rate.
    static constexpr Band kBands[] = {
        {110592, 6, 115200}, {55296, 5, 57600}, {36864, 4, 38400},
        {27648, 0, 0},       {18432, 3, 19200}, {9216, 2, 9600},
    };
    for (const Band& band : kBands) {
        if (rate < band.from)
            continue;
        if (band.index == 0)
            return 0;
        if (index)
            *index = band.index;
        if (nominal)
            *nominal = band.nominal;
        return 1;
    }
    return 0;
}

uint32_t serialRateForIndex(uint32_t index) {
    switch (index & 0xFF) {
        case 2:
            return 9600;
        case 3:
            return 19200;
        case 4:
            return 38400;
        case 5:
            return 57600;
        case 6:
            return 115200;
        default:
            return 0;
    }
}

uint8_t serialBaudIndex() {
    return gPort.baudIndex;
}

int32_t serialWrite(const uint8_t* data, uint32_t count) {
    if (!portUsable())
        return -1;
    if (gDevice->write(data, count))
        return 0;
    uint32_t waiting = 0;
    const uint32_t mask = gDevice->takeErrors(waiting);
    if (mask == 0)
        return 0;
    serialClassifyErrors(mask);
    return static_cast<int32_t>(mask);
}

int32_t serialPoll() {
    if (!portUsable())
        return -1;
    uint32_t waiting = 0;
    const uint32_t mask = gDevice->takeErrors(waiting);
    const bool handled = mask != 0 && serialClassifyErrors(mask);
    const uint32_t count = waiting < kMaxReadCount ? waiting : kMaxReadCount;
    if (count == 0)
        return 0;
    if (handled)
        return static_cast<int32_t>(count);
    const int32_t got = gDevice->read(gReadBuffer, count);
    if (got < 0) {
        serialClassifyErrors(gDevice->takeErrors(waiting));
        return 0;
    }
    if (gPort.handler) {
        for (int32_t i = 0; i < got; ++i) gPort.handler(gReadBuffer[i]);
    }
    return got;
}

int32_t serialBytesWaiting() {
    if (!portUsable())
        return -1;
    uint32_t waiting = 0;
    const uint32_t mask = gDevice->takeErrors(waiting);
    if (mask != 0 && serialClassifyErrors(mask))
        return 0;
    return waiting < kMaxReadCount ? static_cast<int32_t>(waiting) : int32_t{kMaxReadCount};
}

void serialFlush() {
    if (!gPort.open)
        return;
    gDevice->purge(purge::Clear);
    gDevice->setDtr(true);
}

int32_t serialClassifyErrors(uint32_t mask) {
    if (!gPort.open)
        return 0;
    constexpr uint32_t kOverrunBits = lineerror::RxQueueOverflow | lineerror::Overrun;
    bool handled = false;
    if (mask & kOverrunBits) {
        gDevice->purge(purge::Receive);
        gPort.rxOverrun = 1;
        handled = true;
    }
    if (mask & lineerror::TxFull) {
        gDevice->purge(purge::Transmit);
        gPort.txFull = 1;
        handled = true;
    }
    if (mask != 0 && (mask & (kOverrunBits | lineerror::TxFull)) == 0) {
        gPort.otherError = 1;
        handled = true;
    }
    return handled ? 1 : 0;
}

uint8_t serialRxOverrun() {
    return gPort.rxOverrun;
}
uint8_t serialTxFull() {
    return gPort.txFull;
}
uint8_t serialOtherError() {
    return gPort.otherError;
}
void serialSetRxOverrun(uint8_t value) {
    gPort.rxOverrun = value;
}
void serialSetTxFull(uint8_t value) {
    gPort.txFull = value;
}
void serialSetOtherError(uint8_t value) {
    gPort.otherError = value;
}

int serialWaitDescriptor() {
    return portUsable() ? gDevice->waitDescriptor() : -1;
}

void serialSetBackend(SerialDevice* device) {
    if (gPort.open)
        return;
    gDevice = device ? device : gSystemDevice.get();
}
