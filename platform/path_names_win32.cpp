#include <array>

#include "platform/path_names.h"
#include "platform/settings_store.h"

namespace {

constexpr size_t kNameMax = 255;

// What opens a device instead of a file, in any folder and with any
// extension: the part before the first dot, trailing blanks dropped.
bool isDeviceName(std::string_view name) {
    static constexpr std::array<std::string_view, 22> devices = {
        "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
        "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    std::string_view stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    for (std::string_view device : devices) {
        if (registryNamesEqual(stem, device))
            return true;
    }
    return registryNamesEqual(stem, "CONIN$") || registryNamesEqual(stem, "CONOUT$");
}

}  // namespace

char pathSeparator() {
    return '\\';
}

bool pathIsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool pathNameAcceptable(std::string_view name) {
    if (name.empty() || name.size() > kNameMax || name.back() == '.' || name.back() == ' ')
        return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string_view("<>:\"|?*/\\").find(c) != std::string_view::npos) {
            return false;
        }
    }
    return !isDeviceName(name);
}
