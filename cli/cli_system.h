// What the help says in each system's terms: one file per system
// (cli_system_posix.cpp, cli_system_win32.cpp). Only for cli/.
#pragma once

#include <string>
#include <vector>

struct CliSystemHelp {
    const char* portsCommand;    // the line of the ports command
    const char* portOption;      // the line of --port
    const char* simulateOption;  // the line of --simulate, empty where it cannot run
    const char* helpOption;      // the line of --help and --version
    const char* settingsPlace;   // what holds the settings, before its path
};

extern const CliSystemHelp kCliSystemHelp;

// The command line without the program's name, in UTF-8 (on Windows read as
// wide text, whatever the console's code page), and standard output and
// error set to show UTF-8 text.
std::vector<std::string> cliArguments(int argc, char** argv);
