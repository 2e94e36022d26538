#include "platform/platform.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "platform/path_names.h"
#include "platform/stop_request.h"

namespace {

std::function<void(uint32_t)> gSleepHook;
std::function<int(const std::string&, const std::string&, uint32_t)> gMessageBoxHook;
std::function<bool(const SaveDialogRequest&, std::string&)> gSaveDialogHook;
std::function<void()> gMessagePumpHook;

}  // namespace

void platformSleep(uint32_t ms) {
    if (gSleepHook) {
        gSleepHook(ms);
        return;
    }
    // In slices, so that a stop request ends the pause within a few
    // milliseconds; up to a deadline, because a slice may last longer than
    // asked (15.6 ms on a Windows timer at its default resolution).
    using Clock = std::chrono::steady_clock;
    constexpr Clock::duration kSlice = std::chrono::milliseconds(5);
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    for (Clock::time_point now = Clock::now(); now < end && !stopRequested(); now = Clock::now())
        std::this_thread::sleep_for(std::min(kSlice, end - now));
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
    if (path.empty())
        return false;
    std::error_code error;
    std::filesystem::current_path(pathFromText(path), error);
    return !error;
}
