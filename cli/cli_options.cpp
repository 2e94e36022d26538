#include "cli/cli_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "cli/cli_system.h"
#include "sim/virtual_receiver.h"

std::string cliUsage(const std::string& settingsPlace) {
    const CliSystemHelp& system = kCliSystemHelp;
    return std::string(
               "usage: lumagrab-cli [OPTIONS] COMMAND\n"
               "  query      identify the receiver\n"
               "  detect     find the receiver on port 1 and port 2 at every rate, as Auto "
               "Detect does\n"
               "  capture    download the screen and save it\n"
               "  products   list the products whose screen can be captured\n") +
           system.portsCommand + "OPTIONS\n" + system.portOption +
           "  -b, --baud auto|9600|19200|38400|57600|115200\n"
           "  -o, --output FILE     capture: write FILE (.bmp, or .png for a PNG)\n"
           "  -d, --dir DIR         capture: write under a generated name in DIR\n"
           "  --every SECONDS       capture: repeat until interrupted or --count captures\n"
           "  --count N\n" +
           system.simulateOption + "  -q, --quiet           no progress display\n" +
           system.helpOption + "The settings are kept in " + system.settingsPlace + settingsPlace +
           ".\n";
}

namespace {

constexpr double kMaxEverySeconds = 7 * 24 * 3600;

std::optional<CliCommand> commandNamed(std::string_view name) {
    static const std::pair<std::string_view, CliCommand> commands[] = {
        {"query", CliCommand::Query},
        {"detect", CliCommand::Detect},
        {"capture", CliCommand::Capture},
        {"products", CliCommand::Products},
        {"ports", CliCommand::Ports}};
    for (const auto& [text, command] : commands) {
        if (name == text) {
            return command;
        }
    }
    return std::nullopt;
}

std::optional<uint8_t> baudChoiceNamed(std::string_view name) {
    static const std::pair<std::string_view, uint8_t> choices[] = {
        {"auto", 1}, {"9600", 2}, {"19200", 3}, {"38400", 4}, {"57600", 5}, {"115200", 6}};
    for (const auto& [text, choice] : choices) {
        if (name == text) {
            return choice;
        }
    }
    return std::nullopt;
}

template <typename T>
bool parseWhole(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseSeconds(const std::string& text, double& seconds) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value <= 0 ||
        value > kMaxEverySeconds) {
        return false;
    }
    seconds = value;
    return true;
}

// Walks the arguments; each option takes its value from "--name=value" or
// from the next argument.
class ArgumentReader {
  public:
    ArgumentReader(const std::vector<std::string>& args, std::string& error)
        : args_(args), error_(error) {}

    bool done() const { return next_ >= args_.size(); }
    std::string take() { return args_[next_++]; }
    bool value(const std::string& name, const std::optional<std::string>& inline_,
               std::string& out) {
        if (inline_) {
            out = *inline_;
            return true;
        }
        if (done()) {
            error_ = name + " needs a value";
            return false;
        }
        out = take();
        return true;
    }

  private:
    const std::vector<std::string>& args_;
    std::string& error_;
    size_t next_ = 0;
};

bool applyOption(const std::string& name, const std::optional<std::string>& inlineValue,
                 ArgumentReader& reader, CliOptions& o, std::string& error) {
    std::string v;
    auto fail = [&](const std::string& why) {
        error = why;
        return false;
    };
    if (name == "-q" || name == "--quiet") {
        o.quiet = true;
        return !inlineValue || fail(name + " takes no value");
    }
    if (name == "--simulate") {
        uint16_t id = sim::kDefaultSimulatedProduct;
        if (inlineValue && !parseWhole(*inlineValue, id)) {
            return fail("--simulate takes a product ID from 0 to 65535");
        }
        o.simulate = id;
        return true;
    }
    if (!reader.value(name, inlineValue, v)) {
        return false;
    }
    if (name == "-p" || name == "--port") {
        o.port = v;
        return !v.empty() || fail("--port needs a device path, 1 or 2");
    }
    if (name == "-b" || name == "--baud") {
        o.baudChoice = baudChoiceNamed(v);
        return o.baudChoice.has_value() ||
               fail("--baud takes auto, 9600, 19200, 38400, 57600 or 115200");
    }
    if (name == "-o" || name == "--output") {
        o.output = v;
        return pathHasExtension(v, ".bmp") || pathHasExtension(v, ".png") ||
               fail("--output needs a file ending in .bmp or .png");
    }
    if (name == "-d" || name == "--dir") {
        o.directory = v;
        return !v.empty() || fail("--dir needs a directory");
    }
    if (name == "--every") {
        return parseSeconds(v, o.everySeconds) || fail("--every takes a number of seconds above 0");
    }
    if (name == "--count") {
        return (parseWhole(v, o.count) && o.count > 0) || fail("--count takes a number above 0");
    }
    return fail("unknown option " + name);
}

bool checkCombination(const CliOptions& o, std::string& error) {
    const bool captureOnly =
        !o.output.empty() || !o.directory.empty() || o.everySeconds > 0 || o.count > 0;
    if (o.command == CliCommand::None) {
        error = "no command given";
    } else if (captureOnly && o.command != CliCommand::Capture) {
        error = "--output, --dir, --every and --count go with capture only";
    } else if (!o.output.empty() && !o.directory.empty()) {
        error = "--output and --dir cannot be used together";
    } else if (!o.output.empty() && (o.everySeconds > 0 || o.count > 1)) {
        error = "repeated captures need --dir, not --output";
    } else if (o.simulate && !o.port.empty()) {
        error = "--simulate and --port cannot be used together";
    } else {
        return true;
    }
    return false;
}

}  // namespace

bool pathHasExtension(const std::string& path, std::string_view extension) {
    if (path.size() <= extension.size()) {
        return false;
    }
    for (size_t i = 0; i < extension.size(); ++i) {
        const char c = path[path.size() - extension.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != extension[i]) {
            return false;
        }
    }
    return true;
}

CliParse parseCliArguments(const std::vector<std::string>& args, CliOptions& options,
                           std::string& error) {
    CliOptions o;
    ArgumentReader reader(args, error);
    while (!reader.done()) {
        const std::string arg = reader.take();
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            return CliParse::Help;
        }
        if (arg == "--version") {
            return CliParse::Version;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            const size_t eq = arg.find('=');
            const bool isLong = arg.rfind("--", 0) == 0;
            const std::string name = isLong ? arg.substr(0, eq) : arg;
            std::optional<std::string> inlineValue;
            if (isLong && eq != std::string::npos) {
                inlineValue = arg.substr(eq + 1);
            }
            if (!applyOption(name, inlineValue, reader, o, error)) {
                return CliParse::Usage;
            }
            continue;
        }
        const std::optional<CliCommand> command = commandNamed(arg);
        if (!command) {
            error = "unknown command " + arg;
            return CliParse::Usage;
        }
        if (o.command != CliCommand::None) {
            error = "only one command at a time";
            return CliParse::Usage;
        }
        o.command = *command;
    }
    if (!checkCombination(o, error)) {
        return CliParse::Usage;
    }
    options = o;
    return CliParse::Run;
}
