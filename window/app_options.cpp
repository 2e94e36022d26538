#include "window/app_options.h"

#include <charconv>

#include "sim/virtual_receiver.h"

const char* const kAppUsage =
    "usage: lumagrab [OPTIONS]\n"
    "Captures the screen of a GPS receiver on a serial port (port 1 and port 2 of\n"
    "Settings > Set Comm Ports) into a bitmap file.\n"
    "OPTIONS\n"
    "  --simulate[=ID]   port 1 is a built-in virtual receiver (optional product ID)\n"
    "  --help            this text\n"
    "  --version         the program's version\n";

namespace {

constexpr std::string_view kSimulate = "--simulate";

bool parseProductId(std::string_view text, uint16_t& id) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

bool asksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h")
            return true;
    }
    return false;
}

AppParse parseAppArguments(const std::vector<std::string>& args, AppOptions& options,
                           std::string& error) {
    if (asksForHelp(args))
        return AppParse::Help;
    for (const std::string& arg : args) {
        const std::string_view text = arg;
        if (text == kSimulate) {
            options.simulate = sim::kDefaultSimulatedProduct;
        } else if (text.starts_with(kSimulate) && text[kSimulate.size()] == '=') {
            uint16_t id = 0;
            if (!parseProductId(text.substr(kSimulate.size() + 1), id)) {
                error = "--simulate takes a product ID from 0 to 65535";
                return AppParse::Usage;
            }
            options.simulate = id;
        } else {
            error = "unknown argument: " + arg;
            return AppParse::Usage;
        }
    }
    return AppParse::Run;
}
