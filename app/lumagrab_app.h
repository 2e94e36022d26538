// The application object: it runs the main dialog modally, and the program
// ends when the dialog has closed. There is no message loop of its own.
#pragma once

#include <string>

#include "window/main_dialog.h"

class QtMainDialog;

class LumagrabApp {
  public:
    explicit LumagrabApp(MainDialog::Options options = {});

    // Per-instance initialisation: builds the main dialog, runs it modally
    // and destroys it (which saves the settings). Returns false: nothing is
    // left to run afterwards. When the window could not start, startError()
    // says why.
    bool InitInstance();
    const std::string& startError() const { return startError_; }

    // Closes the program from outside the window (a signal, the end of the
    // desktop session) as the window's close box does; before the window
    // runs, it makes InitInstance end at once.
    void Close();

    // The main window while InitInstance runs it, else null.
    QtMainDialog* mainWindow() const { return mainWindow_; }

  private:
    MainDialog::Options options_;
    QtMainDialog* mainWindow_ = nullptr;
    bool closeAtOnce_ = false;
    std::string startError_;
};
