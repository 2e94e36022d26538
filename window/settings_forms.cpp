#include "window/settings_forms.h"

#include <algorithm>

#include "platform/platform.h"
#include "serial/system_serial.h"
#include "settings/app_settings.h"

namespace {

// `text` cut to what a buffer of `size` bytes holds with its NUL, without
// splitting a UTF-8 character.
std::string cutToBuffer(std::string_view text, size_t size) {
    size_t length = std::min(text.size(), size - 1);
    while (length > 0 && length < text.size() &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
        --length;
    }
    return std::string(text.substr(0, length));
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool acceptableDevicePath(std::string_view path) {
    return !path.empty() && path.size() <= kDevicePathMax;
}

}  // namespace

OutputDirectoryForm::OutputDirectoryForm(std::string_view storedPath)
    : path_(cutToBuffer(storedPath, kOutputPathSize)) {
    if (!platformSetCurrentDirectory(path_))
        path_.clear();
}

std::optional<DialogMessage> OutputDirectoryForm::accept(std::string_view typed) {
    path_ = cutToBuffer(typed, kOutputPathSize);
    if (platformSetCurrentDirectory(path_))
        return std::nullopt;
    path_.clear();
    return DialogMessage{"Invalid directory entered.  Please re-enter a valid directory.",
                         "Set Output Directory", msgbox::Ok | msgbox::IconInformation};
}

CommPortsForm::CommPortsForm(std::string com1Device, std::string com2Device,
                             std::vector<std::string> devicesPresent)
    : com1_(std::move(com1Device)),
      com2_(std::move(com2Device)),
      devices_(std::move(devicesPresent)) {}

std::optional<DialogMessage> CommPortsForm::accept(std::string_view com1, std::string_view com2) {
    com1 = trimmed(com1);
    com2 = trimmed(com2);
    if (!acceptableDevicePath(com1) || !acceptableDevicePath(com2)) {
        return DialogMessage{"Please enter the device path of both ports, for example " +
                                 systemDefaultPortDevice(2) + ".",
                             "Set Comm Ports", msgbox::Ok | msgbox::IconInformation};
    }
    com1_ = com1;
    com2_ = com2;
    return std::nullopt;
}
