#include "app_test_support.h"

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <fstream>

#include "app/dialog_template.h"
#include "app/main_dialog.h"
#include "app/qt_platform_hooks.h"

QtPlatformHooks::QtPlatformHooks() {
    installQtPlatformHooks();
}

QtPlatformHooks::~QtPlatformHooks() {
    removeQtPlatformHooks();
}

bool waitUntilIdle(const MainDialog& dialog, int timeoutMs) {
    return QTest::qWaitFor([&] { return !dialog.commandRunning(); }, timeoutMs);
}

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

namespace {

QString captionOf(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    return QString();
}

}  // namespace

QString templateMismatch(QWidget* dialog, int width, int height,
                         std::span<const ExpectedControl> expected) {
    const DialogUnits units(dialog->font());
    for (const ExpectedControl& e : expected) {
        QWidget* w = findControl<QWidget>(dialog, e.id);
        const QString where = QStringLiteral("control %1: ").arg(e.id);
        if (!w)
            return where + "missing";
        if (QString(w->metaObject()->className()) != e.className)
            return where + w->metaObject()->className();
        if (captionOf(w) != e.caption)
            return where + captionOf(w);
        if (w->geometry() != units.toPixels(e.x, e.y, e.width, e.height))
            return where + "misplaced";
        if (w->parentWidget()->size() != units.toPixels(width, height))
            return where + "in a client area of the wrong size";
    }
    return QString();
}
