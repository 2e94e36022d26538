#include "serial/port_list.h"

std::vector<std::string> serialListDevices() {
    return serialListDevicesUnder("/dev");
}
