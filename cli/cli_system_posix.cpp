#include "cli/cli_system.h"

const CliSystemHelp kCliSystemHelp = {
    "  ports      list the serial devices present, with whether this user may open them\n",
    "  -p, --port PATH|1|2   serial device (/dev/ttyUSB0), or port 1 / port 2 of the settings\n",
    "  --simulate[=ID]       use a built-in virtual receiver (optional product ID) instead of a "
    "port\n",
    "  -h, --help, --version\n",
    "the file ",
};

std::vector<std::string> cliArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}
