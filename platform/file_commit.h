// Writing a file whole or not at all, and telling the user when that failed.
//
// The data goes to a temporary file in the target's directory, which is
// renamed onto the target only once every write, the flush to disk and the
// close succeeded: a failed write never leaves half a file, nor destroys the
// file it was to replace. A symbolic link is written through: the temporary
// file goes beside the file it names, which is then replaced. A folder that
// takes no new file but holds a file that may be written gets that file
// written in place.
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

// Writes the parts as a new file under the first name from `nextName` that no
// file holds, and leaves that name in `path`. `nextName` sets `path` to the
// next name to try (all in one folder) and returns false when there is none.
// The finished file takes its name in one step that never replaces (a hard
// link, or a rename that refuses to replace), so no file is ever replaced and
// no empty or partial file is left under a name, even if the process dies.
// OpenFailed when no name is free or nothing can be created there.
FileWriteResult fileCreateUnderFreeName(const std::function<bool(std::string& path)>& nextName,
                                        std::initializer_list<std::span<const uint8_t>> parts,
                                        std::string& path);

// Whether fileWriteWhole() could write `path` now, for refusing a path
// before the work that makes its contents: the system takes the file's name
// (path_names.h), no folder and no file that may not be written stands
// there, and either a writable file does or its folder takes new files.
bool fileCanWrite(const std::string& path);
// Whether `folder` exists and new files can be made in it.
bool fileFolderTakesFiles(const std::string& folder);

// Test seam: called with the temporary file's path once it is written and
// flushed, just before the rename. Empty by default.
void fileSetBeforeRenameHook(std::function<void(const std::string& temporaryPath)> hook);

// Shows "ERROR: Unable to open file <path>" or "ERROR: Unable to write file
// <path>" in a message box captioned "Lumagrab". Nothing for Written.
void fileReportFailure(FileWriteResult result, const std::string& path);
