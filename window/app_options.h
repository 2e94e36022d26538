// The window program's command line: lumagrab [--simulate[=ID]] [--help].
// Qt's own options (-platform, -display ...) are taken by Qt before these
// are read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

extern const char* const kAppUsage;

struct AppOptions {
    // Port 1 is a built-in virtual receiver playing this product.
    std::optional<uint16_t> simulate;
};

enum class AppParse { Run, Help, Usage };

// Reads the arguments after the program name. Usage: `error` says what is wrong.
AppParse parseAppArguments(const std::vector<std::string>& args, AppOptions& options,
                           std::string& error);

// True when the arguments ask for the help text: it is printed before Qt
// starts, so it needs no display.
bool asksForHelp(const std::vector<std::string>& args);
