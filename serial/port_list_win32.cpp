// The serial devices Windows knows: the values of HARDWARE\DEVICEMAP\SERIALCOMM,
// where each serial driver enters the COM name of each port it serves.
#include <windows.h>

#include <algorithm>

#include "serial/port_list.h"
#include "serial/port_list_system.h"

// A COM port has one opener at a time; Windows answers a second one as
// access denied, which the backend reports as busy.
const char* const kPortDeniedReason = "access denied.";
const char* const kPortBusyReason =
    "the port is busy, held by another program (a terminal program, a GPS or map program, "
    "another copy of Lumagrab). Close it and try again.";

namespace {

constexpr DWORD kMaxName = 256;  // longer names are not COM names; they are skipped

std::vector<std::string> comNamesIn(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char valueName[kMaxName];
        DWORD valueNameSize = sizeof valueName;
        char data[kMaxName + 1] = {};
        DWORD type = 0;
        DWORD dataSize = kMaxName;  // one byte spare keeps the text terminated
        const LONG result = RegEnumValueA(key, index, valueName, &valueNameSize, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && type == REG_SZ && data[0] != '\0')
            names.emplace_back(data);
    }
    return names;
}

}  // namespace

std::vector<std::string> serialListDevices() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::vector<std::string> names = comNamesIn(key);
    RegCloseKey(key);
    std::sort(names.begin(), names.end(), serialNaturalLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}
