// The small seams that stand in for operating-system services.
//
// Each seam is a free function with a default implementation for a Linux
// desktop or terminal, and a hook that the window program, the CLI or a test
// installs to replace it. Hooks are installed before the core is used and are
// not changed while a device operation runs. Passing an empty hook restores
// the default.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Message-box styles and answers, with the values the message texts were
// written against, so that callers can say exactly which box they show.
namespace msgbox {
constexpr uint32_t Ok = 0x00;
constexpr uint32_t OkCancel = 0x01;
constexpr uint32_t YesNo = 0x04;
constexpr uint32_t IconStop = 0x10;
constexpr uint32_t IconQuestion = 0x20;
constexpr uint32_t IconExclamation = 0x30;
constexpr uint32_t IconInformation = 0x40;
constexpr uint32_t ButtonMask = 0x0F;
constexpr uint32_t IconMask = 0xF0;

constexpr int IdOk = 1;
constexpr int IdCancel = 2;
constexpr int IdYes = 6;
constexpr int IdNo = 7;
}  // namespace msgbox

// --- Sleep -----------------------------------------------------------------
// Blocks the calling thread for `ms` milliseconds (the device's pauses around
// a rate change), or until a stop request is raised. Tests replace it with a
// recorder so they do not wait.
void platformSleep(uint32_t ms);
void platformSetSleepHook(std::function<void(uint32_t)> hook);

// --- Message box -----------------------------------------------------------
// Shows a modal message and returns the button pressed (msgbox::Id...).
// Default: writes "caption: text" to standard error and answers IdOk
// (IdYes for a yes/no question), which is what a terminal program wants.
int platformMessageBox(const std::string& text, const std::string& caption, uint32_t style);
void platformSetMessageBoxHook(
    std::function<int(const std::string& text, const std::string& caption, uint32_t style)> hook);

// --- Save dialog -----------------------------------------------------------
struct SaveDialogRequest {
    std::string title;
    // Pairs of (description, pattern), in the order shown; the first is selected.
    std::vector<std::pair<std::string, std::string>> filters;
    std::string initialDirectory;
    std::string fileName;          // proposed name or full path; may be empty
    std::string defaultExtension;  // appended when the user types a name without one
    bool overwritePrompt = false;  // ask before an existing file is replaced
};
// Asks the user for a file name. Returns true with the chosen path in
// `chosen`; false when cancelled or when no dialog can be shown (default).
bool platformSaveDialog(const SaveDialogRequest& request, std::string& chosen);
void platformSetSaveDialogHook(
    std::function<bool(const SaveDialogRequest& request, std::string& chosen)> hook);

// --- Message pump ----------------------------------------------------------
// Handles at most one pending window message, without waiting. Default: no-op
// (the window lives on its own thread, or there is no window).
void platformPumpOneMessage();
void platformSetMessagePumpHook(std::function<void()> hook);

// --- Current directory -----------------------------------------------------
// Makes `path` the current directory; false when it is not an accessible
// directory. Used to validate a directory typed by the user.
bool platformSetCurrentDirectory(const std::string& path);

// --- Well-known directories ------------------------------------------------
// $XDG_CONFIG_HOME, else $HOME/.config. Linux only: Windows keeps the
// settings in the registry.
std::string platformConfigDirectory();
// The user's desktop directory: XDG_DESKTOP_DIR from user-dirs.dirs, else
// ~/Desktop when it exists, else $HOME (else "/tmp" with no home at all); on
// Windows the Desktop known folder, else the user profile.
std::string platformDefaultOutputDirectory();
