// The line settings the Win32 backend hands to the system, apart from the
// backend so that a test can read them: a pseudo-terminal under Wine carries
// the bytes whatever the stop bits or the flow control say. Only for
// win32_device.cpp and its test.
#pragma once

#include <windows.h>

#include <cstdint>

// Makes `dcb` raw 8N1 at `rate` with no software or hardware flow control,
// DTR and RTS raised, and reads and writes that go on after a line error.
// Fields it does not name keep what the driver gave.
void serialWin32LineSettings(DCB& dcb, uint32_t rate);
