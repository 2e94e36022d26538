#include "app_test_support.h"

#include <QDir>
#include <QPixmap>
#include <fstream>

std::string writeSettingsFile(const std::string& dir, const std::string& valueLines) {
    const std::string path = dir + "/GPSLumagrab.reg";
    std::ofstream(path) << "REGEDIT4\n\n[" << kSettingsKey << "]\n" << valueLines;
    return path;
}

QString screenshotPath(const QString& name) {
    QDir().mkpath(QStringLiteral(LUMAGRAB_SCREENSHOT_DIR));
    return QStringLiteral(LUMAGRAB_SCREENSHOT_DIR "/%1.png").arg(name);
}

QString saveScreenshot(QWidget* widget, const QString& name) {
    const QString path = screenshotPath(name);
    return widget->grab().save(path) ? path : QString();
}
