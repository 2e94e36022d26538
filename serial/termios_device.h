// The SerialDevice backend over a Linux tty (a UART, a USB adapter or a
// pseudo-terminal). Its kernel headers stay fenced in termios_device.cpp.
#pragma once

#include <memory>

#include "serial/serial_device.h"

// A new tty backend, not yet open. The port layer owns one as its default.
std::unique_ptr<SerialDevice> makeTermiosDevice();
