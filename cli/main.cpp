// lumagrab-cli: captures a GPS receiver's screen from the command line.
#include <unistd.h>

#include <iostream>

#include "cli/cli_app.h"
#include "cli/cli_system.h"
#include "cli/stop_signals.h"
#include "settings/app_settings.h"

int main(int argc, char** argv) {
    installStopSignals();
    const std::vector<std::string> args = cliArguments(argc, argv);
    const CliContext context{std::cout, std::cerr, settingsStorePath(), isatty(STDERR_FILENO) != 0};
    return runCli(args, context);
}
