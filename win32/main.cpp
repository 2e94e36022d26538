// lumagrab.exe: the window program for Windows. The command line is not
// examined: the window is all there is.
#include <windows.h>
// After windows.h, on which they build.
#include <commctrl.h>
#include <objbase.h>

#include "win32/win32_main_dialog.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // The folder chooser of Set Output Directory is a shell object.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const int status = runWindowProgram();
    CoUninitialize();
    return status;
}
