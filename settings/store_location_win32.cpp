// The settings on Windows: the registry, under HKEY_CURRENT_USER. The
// machine's key of the same path is where earlier installations kept them;
// writing there needs administrator rights, so it is only ever read.
#include "platform/registry_key.h"
#include "settings/app_settings.h"

namespace {

constexpr std::string_view kUserRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kMachineRoot = "HKEY_LOCAL_MACHINE\\";

std::string machineKeyOf(const std::string& userKey) {
    if (userKey.size() < kUserRoot.size() ||
        !registryNamesEqual(std::string_view(userKey).substr(0, kUserRoot.size()), kUserRoot)) {
        return {};
    }
    return std::string(kMachineRoot) + userKey.substr(kUserRoot.size());
}

}  // namespace

std::string settingsStorePath() {
    return kSettingsUserKey;
}

std::unique_ptr<SettingsStore> settingsOpenStore(const std::string& storePath) {
    return std::make_unique<RegistryKeyStore>(storePath, machineKeyOf(storePath));
}
