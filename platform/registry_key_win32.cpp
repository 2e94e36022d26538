#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/registry_key.h"
#include "platform/wide_text_win32.h"

namespace {

constexpr DWORD kNameCharsMax = 255;

bool isStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

// The root and the path below it; false for a root this store does not use.
bool splitKeyPath(const std::string& keyPath, HKEY& root, std::wstring& subKey) {
    static const std::pair<std::string_view, HKEY> roots[] = {
        {"HKEY_CURRENT_USER\\", HKEY_CURRENT_USER}, {"HKEY_LOCAL_MACHINE\\", HKEY_LOCAL_MACHINE}};
    for (const auto& [name, handle] : roots) {
        if (keyPath.size() > name.size() &&
            registryNamesEqual(keyPath.substr(0, name.size()), name)) {
            root = handle;
            subKey = widen(std::string_view(keyPath).substr(name.size()));
            return true;
        }
    }
    return false;
}

// The key opened for reading; null when it does not exist or cannot be read.
HKEY openForReading(const std::string& keyPath, REGSAM view) {
    HKEY root = nullptr;
    std::wstring subKey;
    HKEY key = nullptr;
    if (!splitKeyPath(keyPath, root, subKey) ||
        RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

RegistryValue valueFromRegistry(const wchar_t* name, DWORD type, const uint8_t* data, DWORD size) {
    RegistryValue value{narrow(name), type, {}};
    if (isStringType(type)) {
        const std::string text =
            narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(data), size / 2));
        value.data.assign(text.begin(), text.end());
    } else {
        value.data.assign(data, data + size);
    }
    return value;
}

std::vector<RegistryValue> readValues(HKEY key) {
    std::vector<RegistryValue> values;
    std::vector<uint8_t> data(kRegistryValueBytesMax);
    wchar_t name[kNameCharsMax + 1];
    for (DWORD index = 0; index < kRegistryValuesMax; ++index) {
        DWORD nameChars = kNameCharsMax + 1;
        DWORD size = static_cast<DWORD>(data.size());
        DWORD type = 0;
        const LONG result =
            RegEnumValueW(key, index, name, &nameChars, nullptr, &type, data.data(), &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_SUCCESS && size <= data.size())
            values.push_back(valueFromRegistry(name, type, data.data(), size));
    }
    return values;
}

LONG writeValue(HKEY key, const RegistryValue& value) {
    std::wstring text;
    const BYTE* bytes = value.data.data();
    size_t size = value.data.size();
    if (isStringType(value.type)) {
        text = widen(std::string_view(reinterpret_cast<const char*>(bytes), size));
        bytes = reinterpret_cast<const BYTE*>(text.data());
        size = text.size() * sizeof(wchar_t);
    }
    if (size > kRegistryValueBytesMax)
        return ERROR_INVALID_DATA;
    return RegSetValueExW(key, widen(value.name).c_str(), 0, value.type, bytes,
                          static_cast<DWORD>(size));
}

}  // namespace

RegistryKeyStore::RegistryKeyStore(std::string keyPath, const std::string& fallbackPath)
    : keyPath_(std::move(keyPath)) {
    HKEY key = openForReading(keyPath_, 0);
    if (key == nullptr) {
        createdNow_ = fillWhole_ = true;
        key = openForReading(fallbackPath, KEY_WOW64_32KEY);
    }
    if (key != nullptr) {
        values_ = readValues(key);
        RegCloseKey(key);
    }
}

const RegistryValue* RegistryKeyStore::value(std::string_view name) const {
    return registryFindValue(values_, name);
}

void RegistryKeyStore::setValue(RegistryValue value) {
    changed_.push_back(value.name);
    registrySetValue(values_, std::move(value));
}

bool RegistryKeyStore::commit() {
    HKEY root = nullptr;
    std::wstring subKey;
    HKEY key = nullptr;
    if (!splitKeyPath(keyPath_, root, subKey) ||
        RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool written = true;
    for (const RegistryValue& value : values_) {
        const bool wanted =
            fillWhole_ || std::any_of(changed_.begin(), changed_.end(), [&](const std::string& n) {
                return registryNamesEqual(n, value.name);
            });
        if (wanted && writeValue(key, value) != ERROR_SUCCESS)
            written = false;
    }
    RegCloseKey(key);
    if (written) {
        fillWhole_ = false;
        changed_.clear();
    }
    return written;
}
