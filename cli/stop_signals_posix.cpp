#include <signal.h>

#include "cli/cli_app.h"
#include "cli/stop_signals.h"

namespace {

void onStopSignal(int signal) {
    cliRequestStop(signal);
}

}  // namespace

// The handler resets itself, so that a second signal ends the program.
void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}
