// The program's text and the wide text of the system's W calls. The program
// keeps file names and settings in the ANSI code page, the encoding its
// arguments arrive in, so that a path read from the registry or a Known
// Folder names the same file as one typed on the command line; this is the
// one place that says so. Only for the Windows files of platform/.
#pragma once

#include <string>
#include <string_view>

// Both keep embedded NULs: the whole of `text` is converted.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);
