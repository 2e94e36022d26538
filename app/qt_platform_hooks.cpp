#include "app/qt_platform_hooks.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>

#include "platform/platform.h"

namespace {

bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

// Runs `show` on the window's thread and returns its result.
template <typename Result, typename Show>
Result runOnGuiThread(Show show) {
    if (onGuiThread() || !QCoreApplication::instance())
        return show();
    Result result{};
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { result = show(); }, Qt::BlockingQueuedConnection);
    return result;
}

QWidget* ownerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QMessageBox::Icon iconFor(uint32_t style) {
    switch (style & msgbox::IconMask) {
        case msgbox::IconStop:
            return QMessageBox::Critical;
        case msgbox::IconQuestion:
            return QMessageBox::Question;
        case msgbox::IconExclamation:
            return QMessageBox::Warning;
        case msgbox::IconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButtons buttonsFor(uint32_t style) {
    switch (style & msgbox::ButtonMask) {
        case msgbox::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case msgbox::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        default:
            return QMessageBox::Ok;
    }
}

int answerFor(int button) {
    switch (button) {
        case QMessageBox::Cancel:
            return msgbox::IdCancel;
        case QMessageBox::Yes:
            return msgbox::IdYes;
        case QMessageBox::No:
            return msgbox::IdNo;
        default:
            return msgbox::IdOk;
    }
}

int showMessageBox(const std::string& text, const std::string& caption, uint32_t style) {
    return runOnGuiThread<int>([&] {
        QMessageBox box(iconFor(style), QString::fromStdString(caption),
                        QString::fromStdString(text), buttonsFor(style), ownerWindow());
        box.setTextFormat(Qt::PlainText);
        return answerFor(box.exec());
    });
}

// "Bitmap Files (*.bmp)" with "*.bmp" becomes Qt's "Bitmap Files (*.bmp)";
// "*.*" means every file, which on Linux is "*" (names need no dot).
QString qtNameFilter(const std::string& description, const std::string& pattern) {
    QString label = QString::fromStdString(description);
    const qsizetype open = label.lastIndexOf(QLatin1String(" ("));
    if (open > 0 && label.endsWith(QLatin1Char(')')))
        label.truncate(open);
    QStringList patterns =
        QString::fromStdString(pattern).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
        if (p == QLatin1String("*.*"))
            p = QStringLiteral("*");
    }
    return QStringLiteral("%1 (%2)").arg(label, patterns.join(QLatin1Char(' ')));
}

bool showSaveDialog(const SaveDialogRequest& request, std::string& chosen) {
    return runOnGuiThread<bool>([&] {
        QFileDialog dialog(ownerWindow(), QString::fromStdString(request.title),
                           QFile::decodeName(QByteArray::fromStdString(request.initialDirectory)));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        QStringList filters;
        for (const auto& [description, pattern] : request.filters) {
            filters << qtNameFilter(description, pattern);
        }
        if (!filters.isEmpty())
            dialog.setNameFilters(filters);
        QString suffix = QString::fromStdString(request.defaultExtension);
        if (suffix.startsWith(QLatin1Char('.')))
            suffix.remove(0, 1);
        dialog.setDefaultSuffix(suffix);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
        if (!request.fileName.empty()) {
            dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(request.fileName)));
        }
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return false;
        chosen = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
        return true;
    });
}

// Keeps the window painted during a long transfer on the window's thread.
// User input waits, so no second command can start under the running one.
void pumpMessages() {
    if (onGuiThread())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace

void installQtPlatformHooks() {
    platformSetMessageBoxHook(showMessageBox);
    platformSetSaveDialogHook(showSaveDialog);
    platformSetMessagePumpHook(pumpMessages);
}

void removeQtPlatformHooks() {
    platformSetMessageBoxHook(nullptr);
    platformSetSaveDialogHook(nullptr);
    platformSetMessagePumpHook(nullptr);
}
