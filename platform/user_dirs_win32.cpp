// Where the user's configuration and desktop live on Windows: the Known
// Folders of the roaming application data and the desktop. Paths are handed
// on in the ANSI code page, as the program's other paths (its arguments) are.
#include <shlobj.h>  // brings <windows.h> and the Known Folder IDs

#include "platform/platform.h"

namespace {

std::string narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.pop_back();  // the terminating NUL
    return result;
}

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

std::string platformConfigDirectory() {
    const std::string appData = knownFolder(FOLDERID_RoamingAppData);
    return appData.empty() ? temporaryDirectory() : appData;
}

std::string platformDefaultOutputDirectory() {
    const std::string desktop = knownFolder(FOLDERID_Desktop);
    if (isDirectory(desktop))
        return desktop;
    const std::string profile = knownFolder(FOLDERID_Profile);
    return profile.empty() ? temporaryDirectory() : profile;
}
