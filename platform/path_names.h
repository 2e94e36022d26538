// File names as the system writes them: one file per system
// (path_names_posix.cpp, path_names_win32.cpp).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The program keeps file names in UTF-8; the standard library's paths take
// and give them so on every system (a plain std::string would be read in
// some other code page on Windows).
std::filesystem::path pathFromText(std::string_view utf8);
std::string pathText(const std::filesystem::path& path);

// The separator that joins a folder and a name: '/' on Linux, '\' on Windows.
char pathSeparator();
// Whether `c` separates folders: '/' on Linux; '\' and '/' on Windows.
bool pathIsSeparator(char c);
// Whether the system takes `name`, without any folder, as the name of a file
// of its own. Linux: not empty, "." or "..", and at most 255 bytes. Windows
// also refuses the characters <>:"|?* and control characters (a colon would
// name a drive or a file's alternate data stream), the device names (CON,
// PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with any extension), and a name
// that ends in a dot or a blank, which Windows would silently drop.
bool pathNameAcceptable(std::string_view name);
