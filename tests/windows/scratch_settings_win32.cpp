#include <windows.h>

#include <string>

#include "settings/scratch_settings.h"

namespace {

std::wstring subKeyOf(const std::string& path) {
    return std::wstring(path.begin() + path.find('\\') + 1, path.end());
}

}  // namespace

ScratchSettings::ScratchSettings() {
    static unsigned serial = 0;
    location_ = "HKEY_CURRENT_USER\\Software\\Orvane\\LumagrabTest-" +
                std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
}

ScratchSettings::~ScratchSettings() {
    const std::wstring subKey = subKeyOf(location_);
    RegDeleteKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, subKey.c_str(), KEY_WOW64_32KEY, 0);
}
