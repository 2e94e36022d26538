// The window program put together: the behaviour and its Win32 window. Kept
// apart from the system's headers (see win32_main_dialog.h).
#include "win32/win32_main_dialog.h"
#include "window/main_dialog.h"

int runWindowProgram() {
    Win32MainDialog window;
    MainDialog behaviour(window, MainDialog::Options{});
    window.attach(behaviour);
    const bool ran = window.run();
    behaviour.OnDestroy();
    return ran ? 0 : 1;
}
