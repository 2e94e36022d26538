// The command line of lumagrab-cli: commands, options and their checks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class CliCommand { None, Query, Detect, Capture, Products, Ports };

struct CliOptions {
    CliCommand command = CliCommand::None;
    std::string port;                   // a device path, "1" or "2"; empty: from the settings
    std::optional<uint8_t> baudChoice;  // 1 Auto, 2 to 6 a fixed rate; none: from the settings
    std::string output;                 // capture: exact file (.bmp or .png)
    std::string directory;              // capture: directory for a generated name
    double everySeconds = 0;            // capture: pause between captures; 0: no repeat
    uint32_t count = 0;  // capture: number of captures; 0: one, or endless with --every
    std::optional<uint16_t> simulate;  // product ID of the built-in virtual receiver
    bool quiet = false;
};

enum class CliParse { Run, Help, Version, Usage };

// Fills `options` from the arguments (without the program name). On Usage,
// `error` says what is wrong.
CliParse parseCliArguments(const std::vector<std::string>& args, CliOptions& options,
                           std::string& error);

// True when `path` ends in `extension` (given in lower case), in any mix of
// upper and lower case, after at least one other character.
bool pathHasExtension(const std::string& path, std::string_view extension);

// The help: the commands and the options this build can run, in the
// system's terms, and where the settings are kept (`settingsPlace`).
std::string cliUsage(const std::string& settingsPlace);
