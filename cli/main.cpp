// lumagrab-cli: captures a GPS receiver's screen from the command line.
#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "cli/cli_app.h"
#include "settings/app_settings.h"

namespace {

void onStopSignal(int signal) {
    cliRequestStop(signal);
}

// The first SIGINT or SIGTERM stops the running command; the handler then
// resets itself, so that a second one ends the program at once.
void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    installStopHandlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CliContext context{std::cout, std::cerr, settingsStorePath(), isatty(STDERR_FILENO) != 0};
    return runCli(args, context);
}
