#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/file_read.h"

// Opening without blocking keeps a FIFO or device planted at the path from
// hanging us.
FileReadResult fileReadSmall(const std::string& path, size_t maxBytes, std::string& text) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return (errno == ENOENT || errno == ENOTDIR) ? FileReadResult::Absent
                                                     : FileReadResult::Unusable;
    struct stat st {};
    FileReadResult result = FileReadResult::Unusable;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<uint64_t>(st.st_size) <= maxBytes) {
        text.resize(maxBytes + 1);
        size_t used = 0;
        ssize_t n = 0;
        while (used < text.size() && ((n = read(fd, text.data() + used, text.size() - used)) > 0 ||
                                      (n < 0 && errno == EINTR))) {
            if (n > 0)
                used += static_cast<size_t>(n);
        }
        text.resize(used);
        if (n >= 0 && used <= maxBytes)
            result = FileReadResult::Read;
    }
    close(fd);
    return result;
}
