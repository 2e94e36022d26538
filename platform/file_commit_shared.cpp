#include "platform/file_commit_system.h"

FileWriteResult fileCreateUnderFreeName(const std::function<bool(std::string& path)>& nextName,
                                        std::initializer_list<std::span<const uint8_t>> parts,
                                        std::string& path) {
    if (!nextName(path))
        return FileWriteResult::OpenFailed;
    std::string temporary;
    const FileWriteResult written = fileWriteTemporaryBeside(path, parts, temporary);
    if (written != FileWriteResult::Written)
        return written;
    for (;;) {
        switch (fileGiveName(temporary, path)) {
            case NameClaim::Claimed:
                return FileWriteResult::Written;
            case NameClaim::Taken:
                if (nextName(path))
                    continue;
                fileRemoveTemporary(temporary);
                return FileWriteResult::OpenFailed;
            case NameClaim::Failed:
                fileRemoveTemporary(temporary);
                return FileWriteResult::WriteFailed;
        }
    }
}
