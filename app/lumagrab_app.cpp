#include "app/lumagrab_app.h"

#include <utility>

#include "app/main_dialog.h"

LumagrabApp::LumagrabApp(std::string settingsPath) : settingsPath_(std::move(settingsPath)) {}

bool LumagrabApp::InitInstance() {
    MainDialog dialog(settingsPath_);
    mainWindow_ = &dialog;
    dialog.exec();
    mainWindow_ = nullptr;
    return false;  // the dialog is destroyed on the way out, which saves the settings
}
