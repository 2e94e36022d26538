// lumagrab-cli: the commands of the command-line front end, runnable in
// process so that tests see exactly what the user sees.
#pragma once

#include <ostream>
#include <string>
#include <vector>

enum CliExit : int {
    ExitDone = 0,
    ExitUsage = 2,
    ExitNoReceiver = 3,    // no receiver answered, none was found, or the port cannot be opened
    ExitNotSupported = 4,  // the product's screen cannot be captured
    ExitRate = 5,          // the bit rate could not be set
    ExitDownload = 6,      // the download failed
    ExitFile = 7,          // the file could not be written
};

struct CliContext {
    std::ostream& out;
    std::ostream& err;
    std::string settingsPath;         // the settings store
    bool progressOnTerminal = false;  // draw the progress bar on `err`
};

// Runs one command line (without the program name) and returns its exit code.
int runCli(const std::vector<std::string>& args, const CliContext& context);

// Stops the running command at its next pass, as `signal` asks: the port is
// put back, the rate remembered, no file is left, no message shown, and the
// command ends with 128 + `signal`. Safe in a signal handler.
void cliRequestStop(int signal);
