// The settings on Linux: a REGEDIT4 file in the user's configuration folder.
#include "platform/platform.h"
#include "platform/registry_store.h"
#include "settings/app_settings.h"

std::string settingsStorePath() {
    return platformConfigDirectory() + "/Orvane/GPSLumagrab.reg";
}

std::unique_ptr<SettingsStore> settingsOpenStore(const std::string& storePath) {
    return std::make_unique<RegistryStore>(storePath, kSettingsKey);
}
