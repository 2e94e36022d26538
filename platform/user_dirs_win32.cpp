// Where the user's desktop lives on Windows: its Known Folder.
#include <shlobj.h>  // brings <windows.h> and the Known Folder IDs

#include "platform/platform.h"
#include "platform/wide_text_win32.h"

namespace {

// Empty when the folder is unknown on this machine.
std::string knownFolder(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::string result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)))
        result = narrow(path);
    CoTaskMemFree(path);
    return result;
}

bool isDirectory(const std::string& path) {
    const DWORD attributes =
        path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string temporaryDirectory() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof path, path);
    return (length > 0 && length < sizeof path) ? std::string(path, length) : std::string(".");
}

}  // namespace

std::string platformDefaultOutputDirectory() {
    const std::string desktop = knownFolder(FOLDERID_Desktop);
    if (isDirectory(desktop))
        return desktop;
    const std::string profile = knownFolder(FOLDERID_Profile);
    return profile.empty() ? temporaryDirectory() : profile;
}
