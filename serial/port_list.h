// The serial devices present on this machine, for choosing a port.
#pragma once

#include <string>
#include <vector>

// On Linux, device paths: the stable names under /dev/serial/by-id first,
// then /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS*, each group in natural order
// (ttyS2 before ttyS10). On Windows, the COM names of the serial devices
// Windows knows (HARDWARE\DEVICEMAP\SERIALCOMM), in natural order. Empty when
// there are none.
std::vector<std::string> serialListDevices();
// The same list under another root directory instead of /dev.
std::vector<std::string> serialListDevicesUnder(const std::string& devRoot);

// True when the device at `path` can be opened for exclusive use now (it is
// closed again at once); otherwise false, with the errno that explains it in
// `error` (ENOENT, EACCES, EBUSY, ...).
bool serialCanOpen(const std::string& path, int& error);

// Why the device at `path` could not be opened, for the user, from the errno
// of the attempt: "Cannot open <path>: " and the reason, in the system's
// terms (on Linux the dialout group and the daemons that hold serial ports,
// on Windows the other program that has the COM port open).
std::string serialOpenProblem(const std::string& path, int error);

// Natural order: digit runs compare by value, everything else by character,
// so that ttyS2 comes before ttyS10 and COM2 before COM10.
bool serialNaturalLess(const std::string& a, const std::string& b);
