#include "platform/file_commit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

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

// Makes a finished rename survive a power cut.
void syncDirectory(const std::string& directory) {
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
}

}  // namespace

FileWriteResult fileReplaceWhole(const std::string& path,
                                 std::initializer_list<std::span<const uint8_t>> parts,
                                 mode_t mode) {
    std::string temporary;
    const int fd = createTemporaryBeside(path, temporary, mode);
    if (fd < 0)
        return FileWriteResult::OpenFailed;
    bool ok = true;
    for (std::span<const uint8_t> part : parts) ok = ok && writeAll(fd, part);
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok && gBeforeRenameHook)
        gBeforeRenameHook(temporary);
    ok = ok && rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(temporary.c_str());
        return FileWriteResult::WriteFailed;
    }
    syncDirectory(directoryOf(path));
    return FileWriteResult::Written;
}

FileWriteResult fileWriteWhole(const std::string& path,
                               std::initializer_list<std::span<const uint8_t>> parts) {
    if (!mayReplace(path))
        return FileWriteResult::OpenFailed;
    return fileReplaceWhole(path, parts);
}

FileClaimResult fileClaimName(const std::string& path) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        close(fd);
        return FileClaimResult::Claimed;
    }
    return errno == EEXIST ? FileClaimResult::Taken : FileClaimResult::Failed;
}

void fileSetBeforeRenameHook(std::function<void(const std::string&)> hook) {
    gBeforeRenameHook = std::move(hook);
}
