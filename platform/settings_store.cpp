#include "platform/settings_store.h"

#include <utility>

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool registryNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

const RegistryValue* registryFindValue(const std::vector<RegistryValue>& values,
                                       std::string_view name) {
    for (const RegistryValue& value : values) {
        if (registryNamesEqual(value.name, name))
            return &value;
    }
    return nullptr;
}

void registrySetValue(std::vector<RegistryValue>& values, RegistryValue value) {
    for (RegistryValue& existing : values) {
        if (registryNamesEqual(existing.name, value.name)) {
            existing = std::move(value);
            return;
        }
    }
    values.push_back(std::move(value));
}

void SettingsStore::setString(std::string_view name, std::string_view text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    setValue(RegistryValue{std::string(name), regtype::String, std::move(data)});
}

void SettingsStore::setDword(std::string_view name, uint32_t number) {
    setValue(
        RegistryValue{std::string(name),
                      regtype::Dword,
                      {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                       static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)}});
}

void SettingsStore::setBinary(std::string_view name, std::vector<uint8_t> bytes) {
    setValue(RegistryValue{std::string(name), regtype::Binary, std::move(bytes)});
}
