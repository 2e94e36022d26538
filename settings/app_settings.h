// The user's settings, shared by the window program and the command-line
// front end, and their load and save over the settings store.
//
// The store (platform/settings_store.h) holds one key with one value per
// field: on Linux a REGEDIT4 text file, on Windows the registry under
// HKEY_CURRENT_USER, where an ordinary user may write. A store is named by
// its location: the file's path, or the key's path. Anything read from it is
// untrusted: a missing, unreadable or malformed store, a value of the wrong
// type or size, or a key without some values all give the first-run default
// of the affected field, never a crash. Load fills the key only when it did
// not exist before; an existing key is never completed. Save writes every
// value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/settings_store.h"
#include "serial/system_serial.h"

constexpr size_t kOutputPathSize = 512;  // 511 characters and a NUL
constexpr size_t kDevicePathMax = 4095;  // longest device path accepted from the store

// The settings' key: in the file on Linux; on Windows the machine's key that
// earlier installations wrote, read while the user's key does not exist yet.
inline constexpr const char* kSettingsKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\GPSLumagrab";
// The settings' key in the Windows registry.
inline constexpr const char* kSettingsUserKey = "HKEY_CURRENT_USER\\Software\\Orvane\\GPSLumagrab";
// Value names.
namespace settings_value {
inline constexpr const char* OutputPath = "OutputPath";
inline constexpr const char* CommPort = "CommPort";
inline constexpr const char* BaudRate = "BaudRate";
inline constexpr const char* AutoBaudRate = "AutoBaudRate";
inline constexpr const char* AutoName = "AutoName";
inline constexpr const char* AutoSave = "AutoSave";
inline constexpr const char* Com1Device = "Com1Device";
inline constexpr const char* Com2Device = "Com2Device";
}  // namespace settings_value

struct AppSettings {
    uint8_t commPort = 1;                   // 1 = port 1, 2 = port 2; other values are kept as read
    uint8_t baudRate = 1;                   // 1 = Auto, 2 to 6 = a fixed rate index
    uint8_t autoBaudRate = 0;               // rate index the link last ran at, 0 = none
    char outputPath[kOutputPathSize] = {};  // always NUL-terminated
    int32_t autoName = 0;                   // nonzero = on
    int32_t autoSave = 0;                   // nonzero = on; implies autoName in the menus
    std::string com1Device = systemDefaultPortDevice(1);  // device path of port 1
    std::string com2Device = systemDefaultPortDevice(2);  // device path of port 2

    // The output path as text (up to its NUL).
    std::string_view outputPathText() const;
    // Copies `path`, cut to its first 511 characters, into outputPath.
    void setOutputPath(std::string_view path);
    // The device path of port 1 or 2; empty for any other port number.
    const std::string& devicePath(uint8_t port) const;
};

// The first-run values: port 1, Auto rate, no remembered rate, the user's
// desktop directory, Auto Name and Auto Save off, the default device paths.
AppSettings settingsFirstRunDefaults();

// Where the settings live: $XDG_CONFIG_HOME/Orvane/GPSLumagrab.reg (see
// platformConfigDirectory()); on Windows the registry key kSettingsUserKey.
std::string settingsStorePath();

// The store at `storePath`, a file's path or a registry key's, as the system
// keeps its settings. A registry key that does not exist yet shows the values
// of the machine's key of the same path (HKEY_LOCAL_MACHINE\SOFTWARE\...).
std::unique_ptr<SettingsStore> settingsOpenStore(const std::string& storePath);

// Reads the settings. When the store holds no key yet (first run, or a file
// that could not be read or parsed), the key is filled at once: with the
// values an earlier installation left in the machine's key (Windows), the
// first-run defaults for the rest (a file that could not be parsed is kept
// beside as "<file>.bak" first). Returns false when the key could not be
// filled; the settings are loaded in any case.
bool settingsLoad(AppSettings& settings, const std::string& storePath = settingsStorePath());

// Reads the settings without writing anything: a missing key gives the
// first-run defaults in memory only.
AppSettings settingsRead(const std::string& storePath = settingsStorePath());

// Writes every value, keeping any other content of the store. False when the
// store could not be written; a previous file is then left whole.
bool settingsSave(const AppSettings& settings, const std::string& storePath = settingsStorePath());

// Writes only "AutoBaudRate" (the rate to look at first next time), for a
// program that otherwise only reads the settings. False when not written.
bool settingsSaveAutoBaudRate(uint8_t autoBaudRate,
                              const std::string& storePath = settingsStorePath());
