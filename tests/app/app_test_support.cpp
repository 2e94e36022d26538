#include "app_test_support.h"

#include <QDir>
#include <QPixmap>
#include <fstream>

std::string writeSettingsFile(const std::string& dir, const std::string& valueLines) {
    const std::string path = dir + "/GPSLumagrab.reg";
    std::ofstream(path) << "REGEDIT4\n\n[" << kSettingsKey << "]\n" << valueLines;
    return path;
}

bool saveScreenshot(const QImage& picture, const QString& name) {
    QDir().mkpath(QStringLiteral(LUMAGRAB_SCREENSHOT_DIR));
    const QString path = QStringLiteral(LUMAGRAB_SCREENSHOT_DIR "/%1.png").arg(name);
    return picture.save(path) && QImage(path).size() == picture.size();
}

bool saveScreenshot(QWidget* widget, const QString& name) {
    return saveScreenshot(widget->grab().toImage(), name);
}
