// What each system's port list (port_list_posix.cpp, port_list_win32.cpp)
// gives the shared part (port_list.cpp). Only for serial/.
#pragma once

// The reasons serialOpenProblem() gives for a refused and for a busy port.
extern const char* const kPortDeniedReason;
extern const char* const kPortBusyReason;
