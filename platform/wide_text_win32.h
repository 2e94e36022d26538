// The program's text and the wide text of the system's W calls. The program
// keeps all its text in UTF-8: file names, settings, arguments (read as
// wide text, see the CLI), the texts of the window; this is the one place
// that converts, whatever the system's ANSI code page. For the Windows files
// of every folder.
#pragma once

#include <string>
#include <string_view>

// Both keep embedded NULs: the whole of `text` is converted.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);
