// The virtual receiver needs a pseudo-terminal, which Windows lacks: the
// help does not offer it.
#include <windows.h>

#include "cli/cli_system.h"
// After windows.h, on which it builds.
#include <shellapi.h>

#include "platform/wide_text_win32.h"

const CliSystemHelp kCliSystemHelp = {
    "  ports      list the COM ports Windows knows, with whether they can be opened now\n",
    "  -p, --port COMn|1|2   COM port (COM1, COM2, \\\\.\\COM12), or port 1 / port 2 of the "
    "settings\n",
    "",
    "  -h, --help, /?, --version\n",
    "the registry key ",
};

std::vector<std::string> cliArguments(int, char**) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) args.push_back(narrow(wide[i]));
    LocalFree(wide);
    SetConsoleOutputCP(CP_UTF8);
    return args;
}
