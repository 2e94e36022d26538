#include "serial/port_list.h"
#include "serial/port_list_system.h"

const char* const kPortDeniedReason =
    "permission denied. Add your user to the dialout group "
    "(sudo usermod -aG dialout $USER), then log out and log in again.";
const char* const kPortBusyReason =
    "the port is busy, held by another program (ModemManager, gpsd and brltty are the usual "
    "ones).";

std::vector<std::string> serialListDevices() {
    return serialListDevicesUnder("/dev");
}
