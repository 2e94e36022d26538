// Reading a small file whole (the settings file on Linux).
#pragma once

#include <cstddef>
#include <string>

enum class FileReadResult { Absent, Read, Unusable };

// Reads the regular file at `path` into `text` when it holds at most
// `maxBytes` bytes. Absent when nothing stands there; Unusable for anything
// else that cannot be read whole (a directory, a device, a FIFO, a larger
// file, a read error). Never blocks on what is planted at the path.
FileReadResult fileReadSmall(const std::string& path, size_t maxBytes, std::string& text);
