// What each system's whole-file writer (file_commit.cpp, file_commit_win32.cpp)
// gives the part both share (file_commit_shared.cpp). Only for platform/.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "platform/file_commit.h"

// Writes the parts to a new temporary file beside `path`, flushed and closed,
// and names it in `temporary`. Unless the result is Written, none is left.
FileWriteResult fileWriteTemporaryBeside(const std::string& path,
                                         std::initializer_list<std::span<const uint8_t>> parts,
                                         std::string& temporary);

enum class NameClaim { Claimed, Taken, Failed };
// Gives the finished temporary file the name `path` in one step that never
// replaces: Taken when something stands there, the temporary file kept.
NameClaim fileGiveName(const std::string& temporary, const std::string& path);

void fileRemoveTemporary(const std::string& temporary);
