#include <windows.h>

#include "platform/file_read.h"

FileReadResult fileReadSmall(const std::string& path, size_t maxBytes, std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                   ? FileReadResult::Absent
                   : FileReadResult::Unusable;
    }
    FileReadResult result = FileReadResult::Unusable;
    LARGE_INTEGER size{};
    // Only a disk file: a COM port or a pipe named here must not be read.
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) &&
        static_cast<uint64_t>(size.QuadPart) <= maxBytes) {
        text.resize(maxBytes + 1);
        size_t used = 0;
        DWORD got = 0;
        BOOL ok = TRUE;
        while (used < text.size() &&
               (ok = ReadFile(file, text.data() + used, static_cast<DWORD>(text.size() - used),
                              &got, nullptr)) &&
               got > 0) {
            used += got;
        }
        text.resize(used);
        if (ok && used <= maxBytes)
            result = FileReadResult::Read;
    }
    CloseHandle(file);
    return result;
}
