// Writing a file whole or not at all, and telling the user when that failed.
//
// The data goes to a temporary file in the target's directory, which is
// renamed onto the target only once every write, the flush to disk and the
// close succeeded: a failed write never leaves half a file, nor destroys the
// file it was to replace.
#pragma once

#include <cstdint>
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

// Shows "ERROR: Unable to open file <path>" or "ERROR: Unable to write file
// <path>" in a message box captioned "Lumagrab". Nothing for Written.
void fileReportFailure(FileWriteResult result, const std::string& path);
