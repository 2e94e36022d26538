// The virtual receiver needs a pseudo-terminal, which Windows lacks: the
// help does not offer it.
#include "cli/cli_system.h"

const CliSystemHelp kCliSystemHelp = {
    "  ports      list the COM ports Windows knows, with whether they can be opened now\n",
    "  -p, --port COMn|1|2   COM port (COM1, COM2, \\\\.\\COM12), or port 1 / port 2 of the "
    "settings\n",
    "",
    "  -h, --help, /?, --version\n",
    "the registry key ",
};
