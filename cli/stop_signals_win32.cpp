#include <windows.h>

#include <atomic>
#include <csignal>

#include "cli/cli_app.h"
#include "cli/stop_signals.h"

namespace {

std::atomic<bool> gStopAsked{false};

// Runs on a thread of the console's. Ctrl-C counts as SIGINT, a Ctrl-Break or
// the console closing as SIGTERM; the second event is left to the default
// handler, which ends the program.
BOOL WINAPI onConsoleEvent(DWORD event) {
    if (gStopAsked.exchange(true))
        return FALSE;
    cliRequestStop(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
    return TRUE;
}

}  // namespace

void installStopSignals() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}
