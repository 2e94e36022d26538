// Stopping the running command from outside: the first interrupt or
// termination request stops it through cliRequestStop(); a second one ends
// the program at once. One file per system, picked by the build.
#pragma once

void installStopSignals();
