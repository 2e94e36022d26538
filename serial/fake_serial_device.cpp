#include "serial/fake_serial_device.h"

#include <algorithm>
#include <cstdio>

#include "serial/serial_port.h"

namespace {

std::string hexByte(uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", static_cast<unsigned>(value & 0xFF));
    return text;
}

void clearErrorFlags() {
    serialSetRxOverrun(0);
    serialSetTxFull(0);
    serialSetOtherError(0);
}

}  // namespace

void FakeSerialDevice::feed(const std::vector<uint8_t>& bytes) {
    input.insert(input.end(), bytes.begin(), bytes.end());
}

bool FakeSerialDevice::open(const std::string& path, int& error) {
    calls.push_back("open " + path);
    error = open_ ? EBUSY : openError;
    if (error != 0)
        return false;
    open_ = true;
    return true;
}

void FakeSerialDevice::close() {
    calls.push_back("close");
    open_ = false;
    dtr = false;
}

bool FakeSerialDevice::configure(uint32_t newRate) {
    calls.push_back("configure " + std::to_string(newRate));
    bool ok = true;
    if (!configureResults.empty()) {
        ok = configureResults.front();
        configureResults.pop_front();
    }
    if (ok)
        rate = newRate;
    return ok;
}

void FakeSerialDevice::purge(uint32_t flags) {
    calls.push_back("purge " + hexByte(flags));
    if (flags & purge::Receive)
        input.clear();
}

void FakeSerialDevice::setDtr(bool raised) {
    calls.push_back(raised ? "dtr 1" : "dtr 0");
    dtr = raised;
}

uint32_t FakeSerialDevice::takeErrors(uint32_t& bytesWaiting) {
    ++takeErrorsCount;
    uint32_t mask = pendingMask_;
    pendingMask_ = 0;
    if (!errorMasks.empty()) {
        mask |= errorMasks.front();
        errorMasks.pop_front();
    }
    bytesWaiting = static_cast<uint32_t>(input.size());
    return mask;
}

int32_t FakeSerialDevice::read(uint8_t* buffer, uint32_t count) {
    if (failReads > 0) {
        --failReads;
        pendingMask_ |= readFailureMask;
        return -1;
    }
    const uint32_t n = std::min({count, readLimit, static_cast<uint32_t>(input.size())});
    std::copy_n(input.begin(), n, buffer);
    input.erase(input.begin(), input.begin() + n);
    return static_cast<int32_t>(n);
}

bool FakeSerialDevice::write(const uint8_t* data, uint32_t count) {
    writes.emplace_back(data, data + count);
    bool ok = true;
    if (failWrites > 0) {
        --failWrites;
        pendingMask_ |= writeFailureMask;
        ok = false;
    }
    if (onWrite)
        onWrite(writes.back());
    return ok;
}

ScopedFakeSerial::ScopedFakeSerial() {
    serialShutdown();
    serialSetBackend(&device);
    serialInit();
    clearErrorFlags();
}

ScopedFakeSerial::~ScopedFakeSerial() {
    serialShutdown();
    serialSetBackend(nullptr);
    clearErrorFlags();
}
