// A settings store of one test's own, removed afterwards: a file in a
// temporary folder on Linux (scratch_settings_posix.cpp), a key of its own
// under HKEY_CURRENT_USER\Software\Orvane on Windows, with the machine's key
// of the same path (tests/windows/scratch_settings_win32.cpp).
#pragma once

#include <string>

#include "support/test_support.h"

class ScratchSettings {
  public:
    ScratchSettings();
    ~ScratchSettings();
    ScratchSettings(const ScratchSettings&) = delete;
    ScratchSettings& operator=(const ScratchSettings&) = delete;
    // What settingsLoad() and the others take as the store's path.
    const std::string& location() const { return location_; }

  private:
    TempDir dir_;
    std::string location_;
};

struct AppSettings;
// Every field holds its first-run value (settings_test.cpp).
void expectFirstRunValues(const AppSettings& s);
