#include "platform/file_commit.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/file_commit_system.h"
#include "platform/path_names.h"

namespace {

std::function<void(const std::string&)> gBeforeRenameHook;

std::string directoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Creates a new temporary file beside `path`; -1 when none can be created.
int createTemporaryBeside(const std::string& path, std::string& temporary, mode_t mode) {
    static unsigned serial = 0;
    const std::string directory = directoryOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = directory + "/.lumagrab-" + std::to_string(getpid()) + "-" +
                    std::to_string(serial++) + ".tmp";
        const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, std::span<const uint8_t> data) {
    while (!data.empty()) {
        const ssize_t written = write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data = data.subspan(static_cast<size_t>(written));
    }
    return true;
}

// Renaming would replace a file that could not be opened for writing, or
// even a directory; such a path is refused as if it could not be created.
bool mayReplace(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOENT;
    return !S_ISDIR(st.st_mode) && access(path.c_str(), W_OK) == 0;
}

// Follows symbolic links to the file they name (which may not exist yet), so
// that the new contents go where the link points instead of replacing it.
std::string resolveLinks(std::string path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string target(PATH_MAX, '\0');
        const ssize_t length = readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<size_t>(length) >= target.size())
            return path;
        target.resize(static_cast<size_t>(length));
        path = target.front() == '/' ? target : directoryOf(path) + "/" + target;
    }
    return path;
}

// Makes a finished rename survive a power cut.
void syncDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

bool writeParts(int fd, std::initializer_list<std::span<const uint8_t>> parts) {
    bool ok = true;
    for (std::span<const uint8_t> part : parts) ok = ok && writeAll(fd, part);
    ok = ok && fsync(fd) == 0;
    return (close(fd) == 0) && ok;
}

// A folder that takes no new file may still hold a file that may be written:
// then it is written where it stands, without the temporary file's safety.
// Only for a refused folder: a full disk must not cost the old contents.
FileWriteResult writeInPlace(const std::string& path,
                             std::initializer_list<std::span<const uint8_t>> parts) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return FileWriteResult::OpenFailed;
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return FileWriteResult::OpenFailed;
    return writeParts(fd, parts) ? FileWriteResult::Written : FileWriteResult::WriteFailed;
}

// Gives the finished temporary file the name `path` unless a file holds it:
// a hard link where the file system has them, else a rename that never
// replaces. 0, or the errno (EEXIST: the name is taken).
int claimName(const std::string& temporary, const std::string& path) {
    if (link(temporary.c_str(), path.c_str()) == 0) {
        unlink(temporary.c_str());
        return 0;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS)
        return errno;
    return renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0
               ? 0
               : errno;
}

// The contents in a new temporary file beside `path`, written and flushed.
// Unless the result is Written, no temporary file is left; OpenFailed leaves
// the errno of the refused creation.
FileWriteResult writeTemporary(const std::string& path,
                               std::initializer_list<std::span<const uint8_t>> parts, mode_t mode,
                               std::string& temporary) {
    const int fd = createTemporaryBeside(path, temporary, mode);
    if (fd < 0)
        return FileWriteResult::OpenFailed;
    if (!writeParts(fd, parts)) {
        unlink(temporary.c_str());
        return FileWriteResult::WriteFailed;
    }
    if (gBeforeRenameHook)
        gBeforeRenameHook(temporary);
    return FileWriteResult::Written;
}

FileWriteResult replaceResolved(const std::string& target,
                                std::initializer_list<std::span<const uint8_t>> parts,
                                mode_t mode) {
    std::string temporary;
    const FileWriteResult written = writeTemporary(target, parts, mode, temporary);
    if (written == FileWriteResult::OpenFailed)
        return errno == EACCES || errno == EPERM ? writeInPlace(target, parts) : written;
    if (written != FileWriteResult::Written)
        return written;
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return FileWriteResult::WriteFailed;
    }
    syncDirectory(directoryOf(target));
    return FileWriteResult::Written;
}

}  // namespace

FileWriteResult fileReplaceWhole(const std::string& path,
                                 std::initializer_list<std::span<const uint8_t>> parts,
                                 mode_t mode) {
    return replaceResolved(resolveLinks(path), parts, mode);
}

FileWriteResult fileWriteWhole(const std::string& path,
                               std::initializer_list<std::span<const uint8_t>> parts) {
    const std::string target = resolveLinks(path);
    if (!mayReplace(target))
        return FileWriteResult::OpenFailed;
    return replaceResolved(target, parts, 0666);
}

bool fileCanWrite(const std::string& path) {
    const std::string target = resolveLinks(path);
    if (!pathNameAcceptable(target.substr(target.rfind('/') + 1)) || !mayReplace(target))
        return false;
    struct stat st {};
    // A file that may be written is, in place when its folder takes no new one.
    return stat(target.c_str(), &st) == 0 || fileFolderTakesFiles(directoryOf(target));
}

bool fileFolderTakesFiles(const std::string& folder) {
    struct stat st {};
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           access(folder.c_str(), W_OK | X_OK) == 0;
}

FileWriteResult fileWriteTemporaryBeside(const std::string& path,
                                         std::initializer_list<std::span<const uint8_t>> parts,
                                         std::string& temporary) {
    return writeTemporary(path, parts, 0666, temporary);
}

NameClaim fileGiveName(const std::string& temporary, const std::string& path) {
    const int claimed = claimName(temporary, path);
    if (claimed == 0)
        syncDirectory(directoryOf(path));
    return claimed == 0        ? NameClaim::Claimed
           : claimed == EEXIST ? NameClaim::Taken
                               : NameClaim::Failed;
}

void fileRemoveTemporary(const std::string& temporary) {
    unlink(temporary.c_str());
}

void fileSetBeforeRenameHook(std::function<void(const std::string&)> hook) {
    gBeforeRenameHook = std::move(hook);
}
