// Where the user's configuration and desktop live on a Linux desktop (XDG).
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/platform.h"

namespace {

bool isDirectory(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    return (home && *home) ? std::string(home) : std::string();
}

// Reads XDG_DESKTOP_DIR="$HOME/Something" from user-dirs.dirs; empty when absent.
std::string xdgDesktopDirectory() {
    std::ifstream in(platformConfigDirectory() + "/user-dirs.dirs");
    std::string line;
    const std::string key = "XDG_DESKTOP_DIR=";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = homeDirectory() + value.substr(5);
        return value;
    }
    return {};
}

}  // namespace

std::string platformConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg)
        return xdg;
    const std::string home = homeDirectory();
    return (home.empty() ? std::string("/tmp") : home) + "/.config";
}

std::string platformDefaultOutputDirectory() {
    const std::string xdg = xdgDesktopDirectory();
    if (isDirectory(xdg))
        return xdg;
    const std::string home = homeDirectory();
    if (isDirectory(home + "/Desktop"))
        return home + "/Desktop";
    if (!home.empty())
        return home;
    return "/tmp";
}
