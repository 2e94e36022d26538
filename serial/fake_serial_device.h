// A scripted SerialDevice for tests: records what the port layer asks of the
// device and plays back line errors, incoming bytes and failures.
//
//   ScopedFakeSerial fake;            // serialInit() with the fake installed
//   serialOpen(1);
//   fake.device.feed({0x10, ...});    // bytes arriving from the line
//   fake.device.errorMasks.push_back(lineerror::Frame);  // next takeErrors()
//   serialPoll();
//   EXPECT_EQ(fake.device.calls, ...);
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "serial/serial_device.h"

class FakeSerialDevice final : public SerialDevice {
  public:
    // --- Script -------------------------------------------------------------
    int openError = 0;                                 // errno for open() to fail with; 0 opens
    std::deque<bool> configureResults;                 // one per configure(); true once empty
    std::deque<uint32_t> errorMasks;                   // one per takeErrors(); 0 once empty
    uint32_t readLimit = UINT32_MAX;                   // most bytes one read() returns
    int failReads = 0;                                 // this many read() calls fail with -1
    uint32_t readFailureMask = lineerror::DeviceGone;  // reported after a failed read
    int failWrites = 0;                                // this many write() calls fail
    uint32_t writeFailureMask = lineerror::TxFull;     // reported after a failed write
    // Called with every block written (also failed ones), e.g. to answer it.
    std::function<void(const std::vector<uint8_t>& block)> onWrite;

    // Bytes arriving from the line, read by the next polls.
    void feed(const std::vector<uint8_t>& bytes);

    // --- Record -------------------------------------------------------------
    // "open PATH", "close", "configure RATE", "purge 0xNN", "dtr 1", "dtr 0".
    std::vector<std::string> calls;
    std::vector<std::vector<uint8_t>> writes;
    std::deque<uint8_t> input;
    uint32_t rate = 0;
    bool dtr = false;
    int takeErrorsCount = 0;

    // --- SerialDevice -------------------------------------------------------
    bool open(const std::string& path, int& error) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool configure(uint32_t newRate) override;
    void purge(uint32_t flags) override;
    void setDtr(bool raised) override;
    uint32_t takeErrors(uint32_t& bytesWaiting) override;
    int32_t read(uint8_t* buffer, uint32_t count) override;
    bool write(const uint8_t* data, uint32_t count) override;
    int waitDescriptor() const override { return -1; }

  private:
    bool open_ = false;
    uint32_t pendingMask_ = 0;
};

// Installs a fresh FakeSerialDevice behind the port layer and initialises the
// layer; on destruction shuts the layer down and restores the tty backend.
// The three error flags are cleared on both ends so tests do not leak them.
class ScopedFakeSerial {
  public:
    ScopedFakeSerial();
    ~ScopedFakeSerial();
    ScopedFakeSerial(const ScopedFakeSerial&) = delete;
    ScopedFakeSerial& operator=(const ScopedFakeSerial&) = delete;

    FakeSerialDevice device;
};
