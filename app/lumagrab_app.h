// The application object: it runs the main dialog modally, and the program
// ends when the dialog has closed. There is no message loop of its own.
#pragma once

#include <string>

#include "settings/app_settings.h"

class MainDialog;

class LumagrabApp {
  public:
    // `simulatedPort`: the device path that stands for port 1 in this run
    // (see MainDialog), or empty.
    explicit LumagrabApp(std::string settingsPath = settingsStorePath(),
                         std::string simulatedPort = {});

    // Per-instance initialisation: builds the main dialog, runs it modally
    // and destroys it (which saves the settings). Returns false: nothing is
    // left to run afterwards.
    bool InitInstance();

    // Closes the program from outside the window (a signal, the end of the
    // desktop session) as the window's close box does; before the window
    // runs, it makes InitInstance end at once.
    void Close();

    // The main window while InitInstance runs it, else null.
    MainDialog* mainWindow() const { return mainWindow_; }

  private:
    std::string settingsPath_;
    std::string simulatedPort_;
    MainDialog* mainWindow_ = nullptr;
    bool closeAtOnce_ = false;
};
