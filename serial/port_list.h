// The serial devices present on this machine, for choosing a port.
#pragma once

#include <string>
#include <vector>

// Device paths: the stable names under /dev/serial/by-id first, then
// /dev/ttyUSB*, /dev/ttyACM* and /dev/ttyS*, each group in natural order
// (ttyS2 before ttyS10). Empty when there are none.
std::vector<std::string> serialListDevices();
// The same list under another root directory instead of /dev.
std::vector<std::string> serialListDevicesUnder(const std::string& devRoot);
