// lumagrab-cli: captures a GPS receiver's screen from the command line.
#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "cli/cli_app.h"
#include "settings/app_settings.h"

namespace {

void onInterrupt(int) {
    cliRequestStop();
    signal(SIGINT, SIG_DFL);  // a second Ctrl-C ends the program at once
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGINT, onInterrupt);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CliContext context{std::cout, std::cerr, settingsStorePath(), isatty(STDERR_FILENO) != 0};
    return runCli(args, context);
}
