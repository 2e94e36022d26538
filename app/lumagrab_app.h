// The application object: it runs the main dialog modally, and the program
// ends when the dialog has closed. There is no message loop of its own.
#pragma once

#include <string>

#include "settings/app_settings.h"

class MainDialog;

class LumagrabApp {
  public:
    explicit LumagrabApp(std::string settingsPath = settingsStorePath());

    // Per-instance initialisation: builds the main dialog, runs it modally
    // and destroys it (which saves the settings). Returns false: nothing is
    // left to run afterwards.
    bool InitInstance();

    // The main window while InitInstance runs it, else null.
    MainDialog* mainWindow() const { return mainWindow_; }

  private:
    std::string settingsPath_;
    MainDialog* mainWindow_ = nullptr;
};
