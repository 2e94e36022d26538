// How the desktop knows the window program: its version, and the desktop
// entry whose name lets Wayland shells match the window to its menu item
// and icon.
#pragma once

#include <cstdio>

// Prints "lumagrab VERSION" to out and returns true when an argument is
// --version; needs no display, so call it before the application object.
bool printVersionIfAsked(int argc, char** argv, std::FILE* out = stdout);

// Gives the application its version and desktop file name.
void setDesktopIdentity();
