#include <QApplication>

#include "app/app_identity.h"
#include "app/dialog_template.h"
#include "app/lumagrab_app.h"
#include "app/qt_platform_hooks.h"

int main(int argc, char** argv) {
    if (printVersionIfAsked(argc, argv)) {
        return 0;
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("GPS Lumagrab"));
    QApplication::setOrganizationName(QStringLiteral("Orvane"));
    setDesktopIdentity();
    QApplication::setWindowIcon(applicationIcon());
    installQtPlatformHooks();
    LumagrabApp app;
    app.InitInstance();
    removeQtPlatformHooks();
    return 0;
}
