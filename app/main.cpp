#include <QApplication>

#include "app/dialog_template.h"
#include "app/lumagrab_app.h"
#include "app/qt_platform_hooks.h"

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("GPS Lumagrab"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    QApplication::setWindowIcon(applicationIcon());
    installQtPlatformHooks();
    LumagrabApp app;
    app.InitInstance();
    removeQtPlatformHooks();
    return 0;
}
