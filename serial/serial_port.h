// The serial port: the one port through which the program talks to the GPS
// receiver.
//
// How it works. There is one port per process, kept in module-level state and
// used by one thread at a time. serialInit() makes the layer usable, then
// serialOpen() opens port 1 or 2 (mapped to device paths, see
// serialSetPortDevice) at 9600 bit/s 8N1 with DTR raised. Receiving is polled:
// nothing happens when data arrives until serialPoll() reads whatever is
// waiting and hands it byte by byte to the one registered ByteHandler.
//
// Failures are results, never exceptions: -1 from serialWrite, serialPoll and
// serialBytesWaiting when the layer is not initialised or no port is open
// (never a byte count), false/0 from the others. Line errors never end an
// operation: they purge the affected queue and raise one of three sticky
// flags (receive overrun, transmit full, other error) that callers read and
// clear with the setters. A device that vanishes raises the other-error flag.
//
// The device behind the port is a SerialDevice backend: the system's own by
// default (a tty, or a Win32 serial port), a scripted fake in tests
// (serialSetBackend).
#pragma once

#include <cstdint>
#include <string>

class SerialDevice;

// Receives each byte read by serialPoll, in arrival order, on the polling thread.
using ByteHandler = void (*)(uint8_t byte);

// BaudIndex: 0 no port, 1 automatic choice (settings only, not a rate),
// 2 = 9600, 3 = 19200, 4 = 38400, 5 = 57600, 6 = 115200 bit/s.
namespace baudindex {
constexpr uint8_t NoPort = 0;
constexpr uint8_t Auto = 1;
constexpr uint8_t Rate9600 = 2;
constexpr uint8_t Rate19200 = 3;
constexpr uint8_t Rate38400 = 4;
constexpr uint8_t Rate57600 = 5;
constexpr uint8_t Rate115200 = 6;
}  // namespace baudindex

// --- Life cycle -------------------------------------------------------------
// Makes the layer usable: no port, no handler, baud index 0. The three error
// flags are left as they are. A port still open is released first.
void serialInit();
// Makes the layer unusable and forgets the handler. Call serialClose first; a
// port still open is released (without the rate reset) rather than leaked.
void serialShutdown();
// Registers the handler; ignored while the layer is not initialised.
void serialSetByteHandler(ByteHandler handler);

// --- Port names -------------------------------------------------------------
// Port 1 and 2 name device paths (defaults /dev/ttyS0 and /dev/ttyUSB0, on
// Windows COM1 and COM2).
// Other port numbers are ignored / give "".
void serialSetPortDevice(uint8_t port, const std::string& path);
std::string serialPortDevice(uint8_t port);

// --- Open and close ---------------------------------------------------------
// Opens port 1 or 2 for exclusive use, raw 8N1 at 9600 bit/s, queues purged,
// DTR raised; baud index 2. False when not initialised, for any other port
// number (no device is touched), when the device cannot be opened or
// configured, and when a port is already open (close it first; the open port
// is kept).
int32_t serialOpen(uint8_t port);
// errno of the last failed serialOpen (ENOENT, EACCES, EBUSY, ...): EINVAL for
// a bad port number or an uninitialised layer, EBUSY while a port is open;
// 0 after a successful open.
int serialLastOpenError();
// Returns the port to 9600 bit/s (with its 500 ms pause), drops DTR, purges
// and closes; baud index 0. Does nothing without a port. If the rate reset
// fails the close goes on once to its end.
void serialClose();

// --- Rates ------------------------------------------------------------------
// Moves the port to the nominal rate of `rate`'s band: purge, 500 ms pause
// (platformSleep), DTR, new line settings, DTR, purge. False when not
// initialised, without a port, for a rejected rate (baud index unchanged), or
// when the driver refuses the settings (the port is then closed).
int32_t serialSetBaudRate(uint32_t rate);
// Maps any rate onto its band: 9216.. -> 2, 18432.. -> 3, 27648..36863
// rejected, 36864.. -> 4, 55296.. -> 5, 110592.. -> 6, below 9216 rejected.
// Writes whichever outputs are given; on rejection writes nothing. Pure.
int32_t serialClassifyRate(uint32_t rate, uint8_t* index = nullptr, uint32_t* nominal = nullptr);
// 9600 ... 115200 for indices 2 to 6 (low 8 bits count), 0 otherwise. Pure.
uint32_t serialRateForIndex(uint32_t index);
// The open port's BaudIndex; 0 without a port.
uint8_t serialBaudIndex();

// --- Data -------------------------------------------------------------------
// Writes the whole block. -1 without a port; 0 when written; otherwise the
// lineerror:: mask of the failure (0 if none was reported).
int32_t serialWrite(const uint8_t* data, uint32_t count);
// Reads everything waiting (at most 65535 bytes) and hands it to the handler,
// or drops it without one. Returns -1 without a port, 0 when nothing was
// read, else the number of bytes read. After a handled line error it reads
// nothing and returns the count that was waiting.
int32_t serialPoll();
// The number of bytes waiting, without reading; -1 without a port; 0 when a
// line error was just handled.
int32_t serialBytesWaiting();
// Discards both queues (no abort) and raises DTR; nothing without a port.
void serialFlush();
// Handles a lineerror:: mask: overrun bits purge the receive queue and raise
// the receive-overrun flag, TxFull purges the transmit queue and raises the
// transmit-full flag, any other non-zero mask raises the other-error flag.
// True when it handled something; always false without a port.
int32_t serialClassifyErrors(uint32_t mask);

// --- Sticky error flags (0 or 1) --------------------------------------------
uint8_t serialRxOverrun();
uint8_t serialTxFull();
uint8_t serialOtherError();
void serialSetRxOverrun(uint8_t value);
void serialSetTxFull(uint8_t value);
void serialSetOtherError(uint8_t value);

// --- Waiting and the backend ------------------------------------------------
// A descriptor that becomes readable when data arrives on the open port, for
// the tick waiter (tickWaitForTickOrData); -1 without a port or when the
// backend has none.
int serialWaitDescriptor();
// Replaces the device backend (not owned; it must outlive its use). Only while
// no port is open. nullptr restores the system's backend.
void serialSetBackend(SerialDevice* device);
