// Text between the program (UTF-8) and the system's wide calls (UTF-16).
#pragma once

#include <string>
#include <string_view>

std::wstring utf16(std::string_view text);
std::string utf8(std::wstring_view text);
