// The backend behind the serial port layer: the handful of device operations
// that serial_port.cpp needs, so that the port's logic (flags, purges, the
// order of the set-up steps) runs the same over a real tty and over the
// scripted fake that the tests use.
//
// A backend holds at most one open device. Every operation other than open()
// is only called while the device is open. No operation blocks for long:
// reads take only what is already there, and write() gives up when the line
// takes nothing for a while (reported as a full transmit queue).
#pragma once

#include <cstdint>
#include <string>

// Line-error bits reported by SerialDevice::takeErrors(). The values follow
// the classic serial error mask so that a mask read here means the same thing
// everywhere it is passed on.
namespace lineerror {
constexpr uint32_t RxQueueOverflow = 0x0001;  // the driver's input queue overflowed
constexpr uint32_t Overrun = 0x0002;          // the UART lost characters
constexpr uint32_t Parity = 0x0004;
constexpr uint32_t Frame = 0x0008;
constexpr uint32_t Break = 0x0010;
constexpr uint32_t TxFull = 0x0100;      // the output queue took nothing in time
constexpr uint32_t DeviceGone = 0x0400;  // I/O error: the device vanished or hung up
}  // namespace lineerror

// Queue-discard bits for SerialDevice::purge().
namespace purge {
constexpr uint32_t TxAbort = 0x01;
constexpr uint32_t RxAbort = 0x02;
constexpr uint32_t TxClear = 0x04;
constexpr uint32_t RxClear = 0x08;
constexpr uint32_t All = TxAbort | RxAbort | TxClear | RxClear;
constexpr uint32_t Receive = RxAbort | RxClear;
constexpr uint32_t Transmit = TxAbort | TxClear;
constexpr uint32_t Clear = TxClear | RxClear;
}  // namespace purge

class SerialDevice {
  public:
    virtual ~SerialDevice() = default;

    // Opens the device at `path` for exclusive use. On failure returns false
    // and `error` holds the errno that explains it (EBUSY when another opener
    // holds the device).
    virtual bool open(const std::string& path, int& error) = 0;
    // Releases the device; puts back the line settings found at open().
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sets raw 8N1 at `rate` bit/s (a nominal rate: 9600 ... 115200), no flow
    // control, receiver on, modem lines ignored. False when the driver refused.
    virtual bool configure(uint32_t rate) = 0;
    // Discards the queues named by the purge:: bits.
    virtual void purge(uint32_t flags) = 0;
    // Raises or drops DTR. Devices without modem lines ignore it.
    virtual void setDtr(bool raised) = 0;

    // Returns the lineerror:: bits seen since the last call (and forgets
    // them), and stores the number of bytes waiting in the input queue.
    virtual uint32_t takeErrors(uint32_t& bytesWaiting) = 0;
    // Reads up to `count` bytes that are already waiting. Returns the number
    // read (0 when none), or -1 on an I/O error.
    virtual int32_t read(uint8_t* buffer, uint32_t count) = 0;
    // Writes the whole block. False when the device failed or stalled; the
    // reason is reported by the next takeErrors().
    virtual bool write(const uint8_t* data, uint32_t count) = 0;

    // A descriptor that becomes readable when input arrives, for waiting with
    // poll(); -1 when the backend has none.
    virtual int waitDescriptor() const = 0;
};
