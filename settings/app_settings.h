// The user's settings, shared by the window program and the command-line
// front end, and their load and save over the registry-file store.
//
// The store is a REGEDIT4 text file (platform/registry_store.h) holding one
// key with one value per field. Anything read from it is untrusted: a missing,
// unreadable or malformed file, a value of the wrong type or size, or a key
// without some values all give the first-run default of the affected field,
// never a crash. Load writes the first-run defaults only when the key did not
// exist before; an existing key is never completed. Save writes every value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "serial/system_serial.h"

constexpr size_t kOutputPathSize = 512;  // 511 characters and a NUL
constexpr size_t kDevicePathMax = 4095;  // longest device path accepted from the store

// Key and value names of the store.
inline constexpr const char* kSettingsKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\GPSLumagrab";
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

// $XDG_CONFIG_HOME/Orvane/GPSLumagrab.reg, on Windows
// %APPDATA%\Orvane\GPSLumagrab.reg (see platformConfigDirectory()).
std::string settingsStorePath();

// Reads the settings. When the store holds no key yet (first run, or a file
// that could not be read or parsed), the first-run defaults are written to it
// (a file that could not be parsed is kept beside as "<file>.bak" first).
// Returns false when those defaults could not be written; the settings are
// loaded in any case.
bool settingsLoad(AppSettings& settings, const std::string& storePath = settingsStorePath());

// Reads the settings without writing anything: a missing key gives the
// first-run defaults in memory only.
AppSettings settingsRead(const std::string& storePath = settingsStorePath());

// Writes every value, keeping any other content of the store. False when the
// file could not be written; the previous file is then left whole.
bool settingsSave(const AppSettings& settings, const std::string& storePath = settingsStorePath());

// Writes only "AutoBaudRate" (the rate to look at first next time), for a
// program that otherwise only reads the settings. False when not written.
bool settingsSaveAutoBaudRate(uint8_t autoBaudRate,
                              const std::string& storePath = settingsStorePath());
