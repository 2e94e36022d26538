#include "app/lumagrab_app.h"

#include <QApplication>
#include <utility>

#include "app/qt_main_dialog.h"
#include "window/resource_ids.h"

LumagrabApp::LumagrabApp(MainDialog::Options options) : options_(std::move(options)) {}

bool LumagrabApp::InitInstance() {
    QtMainDialog dialog(options_);
    if (!dialog.start()) {
        startError_ = dialog.behaviour().startError();
        return false;
    }
    mainWindow_ = &dialog;
    if (!closeAtOnce_)
        dialog.exec();
    mainWindow_ = nullptr;
    return false;  // the dialog is destroyed on the way out, which saves the settings
}

void LumagrabApp::Close() {
    if (mainWindow_) {
        mainWindow_->behaviour().OnCommand(res::IDCANCEL);
        return;
    }
    closeAtOnce_ = true;
    if (QWidget* box = QApplication::activeModalWidget())
        box->close();  // a box of the start-up, before the window shows
}
