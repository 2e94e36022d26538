// One key of the Windows registry as the settings store (the Linux store is
// the REGEDIT4 file of registry_store.h).
//
// Keys are named with their root, "HKEY_CURRENT_USER\Software\..." or
// "HKEY_LOCAL_MACHINE\...". While the key does not exist, the store holds the
// values of a fallback key instead, read once when the store is opened and
// never written: there an earlier installation, a 32-bit program, left them,
// so that key is read in the registry view of 32-bit programs. Opening writes
// nothing; commit() creates the key, filled with those values and every
// change when it is new, else writes the changes alone.
//
// What is read is bounded: at most kRegistryValuesMax values, each with a
// name of at most 255 characters and at most kRegistryValueBytesMax bytes of
// data; a value beyond that is left out as if it were not there. Strings
// (REG_SZ, REG_EXPAND_SZ) are stored as UTF-16 through the W calls and handed
// out in the program's encoding (wide_text_win32.h), their NUL included.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/settings_store.h"

constexpr size_t kRegistryValuesMax = 1024;
constexpr size_t kRegistryValueBytesMax = 64 * 1024;

class RegistryKeyStore final : public SettingsStore {
  public:
    RegistryKeyStore(std::string keyPath, const std::string& fallbackPath);

    bool keyCreatedNow() const override { return createdNow_; }
    const RegistryValue* value(std::string_view name) const override;
    void setValue(RegistryValue value) override;
    bool commit() override;

  private:
    std::string keyPath_;
    std::vector<RegistryValue> values_;  // as read, with the changes made since
    std::vector<std::string> changed_;   // names of the values to write
    bool createdNow_ = false;
    bool fillWhole_ = false;  // the next commit creates the key: write every value
};
