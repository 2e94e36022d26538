#include "platform/platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "platform/stop_request.h"

namespace {

std::function<void(uint32_t)> gSleepHook;
std::function<int(const std::string&, const std::string&, uint32_t)> gMessageBoxHook;
std::function<bool(const SaveDialogRequest&, std::string&)> gSaveDialogHook;
std::function<void()> gMessagePumpHook;

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

void platformSleep(uint32_t ms) {
    if (gSleepHook) {
        gSleepHook(ms);
        return;
    }
    // In slices, so that a stop request ends the pause within a few milliseconds.
    constexpr uint32_t kSliceMs = 5;
    while (ms > 0 && !stopRequested()) {
        const uint32_t slice = ms < kSliceMs ? ms : kSliceMs;
        timespec ts{0, static_cast<long>(slice) * 1000000L};
        while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
        }
        ms -= slice;
    }
}

void platformSetSleepHook(std::function<void(uint32_t)> hook) {
    gSleepHook = std::move(hook);
}

int platformMessageBox(const std::string& text, const std::string& caption, uint32_t style) {
    if (gMessageBoxHook)
        return gMessageBoxHook(text, caption, style);
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return (style & msgbox::ButtonMask) == msgbox::YesNo ? msgbox::IdYes : msgbox::IdOk;
}

void platformSetMessageBoxHook(
    std::function<int(const std::string&, const std::string&, uint32_t)> hook) {
    gMessageBoxHook = std::move(hook);
}

bool platformSaveDialog(const SaveDialogRequest& request, std::string& chosen) {
    if (gSaveDialogHook)
        return gSaveDialogHook(request, chosen);
    return false;
}

void platformSetSaveDialogHook(std::function<bool(const SaveDialogRequest&, std::string&)> hook) {
    gSaveDialogHook = std::move(hook);
}

void platformPumpOneMessage() {
    if (gMessagePumpHook)
        gMessagePumpHook();
}

void platformSetMessagePumpHook(std::function<void()> hook) {
    gMessagePumpHook = std::move(hook);
}

bool platformSetCurrentDirectory(const std::string& path) {
    return !path.empty() && chdir(path.c_str()) == 0;
}

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
