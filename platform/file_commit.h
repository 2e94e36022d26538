// Writing a file whole or not at all, and telling the user when that failed.
//
// The data goes to a temporary file in the target's directory, which is
// renamed onto the target only once every write, the flush to disk and the
// close succeeded: a failed write never leaves half a file, nor destroys the
// file it was to replace.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>

enum class FileWriteResult { Written, OpenFailed, WriteFailed };

// Writes the parts, back to back, as the new contents of `path`. OpenFailed
// when nothing can be created there (or what stands there is a directory or a
// file that may not be written), WriteFailed when writing, flushing or the
// final rename failed; in both cases no file is left behind.
FileWriteResult fileWriteWhole(const std::string& path,
                               std::initializer_list<std::span<const uint8_t>> parts);

// The same without asking whether `path` may be replaced: whatever stands
// there (a read-only file included) gives way to the new contents. The new
// file is created with `mode` (less the umask); the directory is flushed
// after the rename so that the new contents survive a power cut.
FileWriteResult fileReplaceWhole(const std::string& path,
                                 std::initializer_list<std::span<const uint8_t>> parts,
                                 mode_t mode = 0666);

enum class FileClaimResult { Claimed, Taken, Failed };

// Creates an empty file at `path` unless something (a file, a directory, a
// dangling link) already stands there: Claimed, Taken, or Failed when the
// directory refuses new files.
FileClaimResult fileClaimName(const std::string& path);

// Test seam: called with the temporary file's path once it is written and
// flushed, just before the rename. Empty by default.
void fileSetBeforeRenameHook(std::function<void(const std::string& temporaryPath)> hook);

// Shows "ERROR: Unable to open file <path>" or "ERROR: Unable to write file
// <path>" in a message box captioned "Lumagrab". Nothing for Written.
void fileReportFailure(FileWriteResult result, const std::string& path);
