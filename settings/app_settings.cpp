#include "settings/app_settings.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

namespace {

namespace value = settings_value;

// Each reader leaves the field unchanged (at its default) when the stored
// value has another type or size, as if the value were missing.

void readPortByte(const SettingsStore& store, const char* name, uint8_t& field) {
    const RegistryValue* v = store.value(name);
    if (v && v->type == regtype::Dword && v->data.size() == 4)
        field = v->data[0];
}

// One stored byte, sign-extended: a stored 0xFF reads as -1, which counts as on.
void readFlagByte(const SettingsStore& store, const char* name, int32_t& field) {
    const RegistryValue* v = store.value(name);
    if (v && v->type == regtype::Binary && v->data.size() == 1) {
        field = static_cast<int8_t>(v->data[0]);
    }
}

// The text up to the first NUL, when the whole value (NUL included) fits `maxBytes`.
bool readText(const SettingsStore& store, const char* name, size_t maxBytes, std::string& text) {
    const RegistryValue* v = store.value(name);
    if (!v || v->type != regtype::String || v->data.size() > maxBytes)
        return false;
    const auto nul = std::find(v->data.begin(), v->data.end(), uint8_t{0});
    text.assign(v->data.begin(), nul);
    return true;
}

void readDevicePath(const SettingsStore& store, const char* name, std::string& field) {
    std::string path;
    if (readText(store, name, kDevicePathMax + 1, path) && !path.empty())
        field = path;
}

AppSettings readAll(const SettingsStore& store) {
    AppSettings settings = settingsFirstRunDefaults();
    std::string path;
    if (readText(store, value::OutputPath, kOutputPathSize, path))
        settings.setOutputPath(path);
    readPortByte(store, value::CommPort, settings.commPort);
    readPortByte(store, value::BaudRate, settings.baudRate);
    readPortByte(store, value::AutoBaudRate, settings.autoBaudRate);
    readFlagByte(store, value::AutoName, settings.autoName);
    readFlagByte(store, value::AutoSave, settings.autoSave);
    readDevicePath(store, value::Com1Device, settings.com1Device);
    readDevicePath(store, value::Com2Device, settings.com2Device);
    return settings;
}

void writeAll(SettingsStore& store, const AppSettings& settings) {
    store.setString(value::OutputPath, settings.outputPathText());
    store.setDword(value::CommPort, settings.commPort);
    store.setDword(value::BaudRate, settings.baudRate);
    store.setDword(value::AutoBaudRate, settings.autoBaudRate);
    store.setBinary(value::AutoName, {static_cast<uint8_t>(settings.autoName)});
    store.setBinary(value::AutoSave, {static_cast<uint8_t>(settings.autoSave)});
    store.setString(value::Com1Device, settings.com1Device);
    store.setString(value::Com2Device, settings.com2Device);
}

}  // namespace

std::string_view AppSettings::outputPathText() const {
    return std::string_view(outputPath, strnlen(outputPath, kOutputPathSize - 1));
}

void AppSettings::setOutputPath(std::string_view path) {
    const size_t length = std::min(path.size(), kOutputPathSize - 1);
    std::memcpy(outputPath, path.data(), length);
    std::memset(outputPath + length, 0, kOutputPathSize - length);
}

const std::string& AppSettings::devicePath(uint8_t port) const {
    static const std::string none;
    if (port == 1)
        return com1Device;
    if (port == 2)
        return com2Device;
    return none;
}

AppSettings settingsFirstRunDefaults() {
    AppSettings settings;
    settings.setOutputPath(platformDefaultOutputDirectory());
    return settings;
}

bool settingsLoad(AppSettings& settings, const std::string& storePath) {
    const std::unique_ptr<SettingsStore> store = settingsOpenStore(storePath);
    settings = readAll(*store);
    if (!store->keyCreatedNow())
        return true;
    // What a new key shows (an earlier installation's values) is read once
    // and stored in the user's key, checked like any other value.
    writeAll(*store, settings);
    return store->commit();
}

AppSettings settingsRead(const std::string& storePath) {
    return readAll(*settingsOpenStore(storePath));
}

bool settingsSave(const AppSettings& settings, const std::string& storePath) {
    const std::unique_ptr<SettingsStore> store = settingsOpenStore(storePath);
    writeAll(*store, settings);
    return store->commit();
}

bool settingsSaveAutoBaudRate(uint8_t autoBaudRate, const std::string& storePath) {
    const std::unique_ptr<SettingsStore> store = settingsOpenStore(storePath);
    store->setDword(value::AutoBaudRate, autoBaudRate);
    return store->commit();
}
