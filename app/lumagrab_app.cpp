#include "app/lumagrab_app.h"

#include <QApplication>
#include <utility>

#include "app/main_dialog.h"
#include "app/resource_ids.h"

LumagrabApp::LumagrabApp(std::string settingsPath, std::string simulatedPort)
    : settingsPath_(std::move(settingsPath)), simulatedPort_(std::move(simulatedPort)) {}

bool LumagrabApp::InitInstance() {
    MainDialog dialog(settingsPath_, simulatedPort_);
    mainWindow_ = &dialog;
    if (!closeAtOnce_)
        dialog.exec();
    mainWindow_ = nullptr;
    return false;  // the dialog is destroyed on the way out, which saves the settings
}

void LumagrabApp::Close() {
    if (mainWindow_) {
        mainWindow_->OnCommand(res::IDCANCEL);
        return;
    }
    closeAtOnce_ = true;
    if (QWidget* box = QApplication::activeModalWidget())
        box->close();  // a box of the start-up, before the window shows
}
