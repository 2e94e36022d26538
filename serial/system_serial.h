// The serial backend of the system the program is built for, chosen by the
// build: the tty backend on Linux (termios_device.cpp), the Win32 serial API
// on Windows (win32_device.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/serial_device.h"

// A new backend, not yet open. The port layer owns one as its default.
std::unique_ptr<SerialDevice> makeSystemSerialDevice();

// The device names of port 1 and port 2 until the settings name others:
// /dev/ttyS0 and /dev/ttyUSB0 on Linux, COM1 and COM2 on Windows. Empty for
// any other port number.
std::string systemDefaultPortDevice(uint8_t port);
