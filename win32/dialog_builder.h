// The window's descriptions (window/dialog_templates.h) as the system's own
// dialog templates and menus: a dialog template is built in memory, control
// by control, in the layout the dialog manager reads, so that one
// description serves both the Win32 and the Qt front end.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "window/dialog_templates.h"

// The icon resource of the program (the window's, About's and the shell's).
constexpr WORD kIconResource = 128;

// The window style of each kind of control, and its class: a system class
// atom (0x80 button to 0x85 combo box) or a class name.
struct ControlClass {
    DWORD style;
    WORD atom;            // 0 when `name` is used
    const wchar_t* name;  // or null
};
ControlClass controlClass(ControlKind kind);

// A DLGTEMPLATE for `dialog`, ready for DialogBoxIndirectParamW; DWORD
// aligned. `extendedStyle` is the window's (WS_EX_APPWINDOW for the main
// window).
std::vector<uint32_t> buildDialogTemplate(const DialogTemplate& dialog, DWORD extendedStyle = 0);

// The menu bar of the main window, every item with its command ID.
HMENU buildMainMenu();
