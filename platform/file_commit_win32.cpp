// Whole-file writing on Windows: a temporary file beside the target, written,
// flushed to disk and closed, then moved onto the target in one step with
// write-through (MoveFileExW), so that a failed write never leaves half a
// file nor destroys the file it was to replace.
//
#include <windows.h>

#include <utility>

#include "platform/file_commit.h"
#include "platform/file_commit_system.h"
#include "platform/path_names.h"
#include "platform/wide_text_win32.h"

namespace {

std::function<void(const std::string&)> gBeforeRenameHook;

size_t lastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

// The folder of `path`; a root ("\", "C:\") keeps its separator, since "C:"
// alone would name the current folder of drive C.
std::string directoryOf(const std::string& path) {
    const size_t separator = lastSeparator(path);
    if (separator == std::string::npos)
        return ".";
    const bool root = separator == 0 || (separator == 2 && path[1] == ':');
    return path.substr(0, root ? separator + 1 : separator);
}

// Creates a new temporary file beside `path`; INVALID_HANDLE_VALUE when none
// can be created.
HANDLE createTemporaryBeside(const std::string& path, std::string& temporary) {
    static unsigned serial = 0;
    const size_t separator = lastSeparator(path);
    const std::string folder = separator == std::string::npos ? "" : path.substr(0, separator + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = folder + ".lumagrab-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(serial++) + ".tmp";
        HANDLE file = CreateFileW(widen(temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE file, std::span<const uint8_t> data) {
    while (!data.empty()) {
        const DWORD chunk = data.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(data.size());
        DWORD written = 0;
        if (!WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0)
            return false;
        data = data.subspan(written);
    }
    return true;
}

// Moving would replace a read-only file, or fail on a directory; such a path
// is refused as if it could not be created.
bool mayReplace(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

// A read-only file gives way too (the settings store replaces whatever
// stands at its path).
void clearReadOnly(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// The contents in a new temporary file beside `path`, written, flushed and
// closed. Unless the result is Written, no temporary file is left.
FileWriteResult writeTemporary(const std::string& path,
                               std::initializer_list<std::span<const uint8_t>> parts,
                               std::string& temporary) {
    HANDLE file = createTemporaryBeside(path, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return FileWriteResult::OpenFailed;
    bool ok = true;
    for (std::span<const uint8_t> part : parts) ok = ok && writeAll(file, part);
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DeleteFileW(widen(temporary).c_str());
        return FileWriteResult::WriteFailed;
    }
    if (gBeforeRenameHook)
        gBeforeRenameHook(temporary);
    return FileWriteResult::Written;
}

}  // namespace

FileWriteResult fileReplaceWhole(const std::string& path,
                                 std::initializer_list<std::span<const uint8_t>> parts, mode_t) {
    std::string temporary;
    const FileWriteResult written = writeTemporary(path, parts, temporary);
    if (written != FileWriteResult::Written)
        return written;
    const std::wstring wideTemporary = widen(temporary);
    const std::wstring target = widen(path);
    clearReadOnly(target);
    if (!MoveFileExW(wideTemporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(wideTemporary.c_str());
        return FileWriteResult::WriteFailed;
    }
    return FileWriteResult::Written;
}

FileWriteResult fileWriteWhole(const std::string& path,
                               std::initializer_list<std::span<const uint8_t>> parts) {
    if (!mayReplace(path))
        return FileWriteResult::OpenFailed;
    return fileReplaceWhole(path, parts);
}

bool fileCanWrite(const std::string& path) {
    const size_t separator = lastSeparator(path);
    const std::string name = separator == std::string::npos ? path : path.substr(separator + 1);
    return pathNameAcceptable(name) && mayReplace(path) && fileFolderTakesFiles(directoryOf(path));
}

bool fileFolderTakesFiles(const std::string& folder) {
    const DWORD attributes = GetFileAttributesW(widen(folder).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

FileWriteResult fileWriteTemporaryBeside(const std::string& path,
                                         std::initializer_list<std::span<const uint8_t>> parts,
                                         std::string& temporary) {
    return writeTemporary(path, parts, temporary);
}

NameClaim fileGiveName(const std::string& temporary, const std::string& path) {
    // Without MOVEFILE_REPLACE_EXISTING the move refuses a name that is taken.
    if (MoveFileExW(widen(temporary).c_str(), widen(path).c_str(), MOVEFILE_WRITE_THROUGH))
        return NameClaim::Claimed;
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? NameClaim::Taken
                                                                       : NameClaim::Failed;
}

void fileRemoveTemporary(const std::string& temporary) {
    DeleteFileW(widen(temporary).c_str());
}

void fileSetBeforeRenameHook(std::function<void(const std::string&)> hook) {
    gBeforeRenameHook = std::move(hook);
}
