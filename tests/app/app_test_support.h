// Helpers for the window program's tests: driving modal dialogs, reading
// the settings file, and writing screenshots.
#pragma once

#include <QApplication>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "settings/app_settings.h"

// Calls `act` with the next modal dialog of type Dialog once it is shown,
// from the event loop that runs it. When none appears within a few seconds,
// every modal dialog is closed so that the test fails instead of hanging.
template <typename Dialog>
void onNextModal(std::function<void(Dialog*)> act) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, tries, act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog && dialog->isVisible()) {
            timer->deleteLater();
            timer->stop();
            act(dialog);
        } else if (++*tries > 500) {
            timer->deleteLater();
            timer->stop();
            while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        }
    });
    timer->start(10);
}

class MainDialog;

// The Qt forms of the platform seams (message boxes, Save dialog), for one test.
struct QtPlatformHooks {
    QtPlatformHooks();
    ~QtPlatformHooks();
};

// Lets the window's thread run until no device command (nor the search at
// start-up) runs on the main window's worker; false after `timeoutMs`.
bool waitUntilIdle(const MainDialog& dialog, int timeoutMs = 20000);

// A settings file in a fresh temporary directory, with given value lines.
std::string writeSettingsFile(const std::string& dir, const std::string& valueLines);

// Writes `picture` as NAME.png in the screenshot folder under the build
// folder, for a person to look at. True when it reads back whole.
bool saveScreenshot(const QImage& picture, const QString& name);
// The same for `widget`, rendered offscreen.
bool saveScreenshot(QWidget* widget, const QString& name);

// One control of a dialog template as the design gives it: resource ID,
// widget class, caption (button or label text, group title) and place in
// dialog units.
struct ExpectedControl {
    int id;
    const char* className;
    const char* caption;
    int x, y, width, height;
};

// Compares the controls of `dialog` with `expected`, and its client area
// (the controls' parent) with `width` x `height` dialog units of the dialog's
// font. Returns the first difference, or an empty string.
QString templateMismatch(QWidget* dialog, int width, int height,
                         std::span<const ExpectedControl> expected);
