// The window program's side of the platform seams: message boxes and the
// Save dialog as Qt dialogs, and the message pump as Qt event processing.
//
// A seam may be called from a worker thread (a device command runs on one);
// the dialog is then shown on the window's thread and the caller waits for
// the answer.
#pragma once

void installQtPlatformHooks();
void removeQtPlatformHooks();
