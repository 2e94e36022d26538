#include "app/qt_main_dialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRadioButton>
#include <utility>

#include "app/dialog_template.h"
#include "app/main_menu.h"
#include "app/qt_boxes.h"
#include "app/qt_dialogs.h"
#include "window/dialog_templates.h"
#include "window/resource_ids.h"

QtMainDialog::QtMainDialog(MainDialog::Options options)
    : menuBar_(buildMainMenu(this, [this](int id) { forward(id); })),
      client_(buildDialog(this, kMainDialogTemplate, menuBar_)),
      behaviour_(*this, std::move(options)) {
    setWindowIcon(applicationIcon());
    for (int id : res::kCommandControls) {
        if (id == res::IDCANCEL)
            continue;  // Exit ends the dialog through reject()
        auto* button = findControl<QAbstractButton>(client_, id);
        connect(button, &QAbstractButton::clicked, this, [this, id] { forward(id); });
    }
}

QtMainDialog::~QtMainDialog() {
    behaviour_.OnDestroy();
}

bool QtMainDialog::start() {
    return behaviour_.OnInitDialog();
}

void QtMainDialog::reject() {
    forward(res::IDCANCEL);
}

QWidget* QtMainDialog::control(int id) const {
    return findControl<QWidget>(client_, id);
}

void QtMainDialog::setControlText(int id, const std::string& text) {
    if (auto* label = qobject_cast<QLabel*>(control(id)))
        label->setText(QString::fromStdString(text));
}

void QtMainDialog::enableControl(int id, bool enable) {
    control(id)->setEnabled(enable);
}

void QtMainDialog::showControl(int id, bool show) {
    control(id)->setVisible(show);
}

void QtMainDialog::checkControl(int id, bool checked) {
    // An exclusive radio button cannot be unchecked directly.
    auto* button = qobject_cast<QRadioButton*>(control(id));
    button->setAutoExclusive(false);
    button->setChecked(checked);
    button->setAutoExclusive(true);
}

void QtMainDialog::focusControl(int id) {
    control(id)->setFocus();
}

void QtMainDialog::setControlTip(int id, const std::string& tip) {
    control(id)->setToolTip(QString::fromStdString(tip));
}

void QtMainDialog::setProgressRange(int32_t lower, int32_t upper) {
    findControl<QProgressBar>(client_, res::IDC_PROGRESS)->setRange(lower, upper);
}

void QtMainDialog::setProgressPosition(int32_t position) {
    findControl<QProgressBar>(client_, res::IDC_PROGRESS)->setValue(position);
}

void QtMainDialog::enableMenuItem(int id, bool enable) {
    findMenuItem(menuBar_, id)->setEnabled(enable);
}

void QtMainDialog::enableMenu(int position, bool enable) {
    ::enableMenu(menuBarSubMenu(menuBar_, position), enable);
}

void QtMainDialog::checkMenuItem(int id, bool checked) {
    findMenuItem(menuBar_, id)->setChecked(checked);
}

int QtMainDialog::showMessage(const std::string& text, const std::string& caption, uint32_t style) {
    return showMessageBox(this, text, caption, style);
}

bool QtMainDialog::askSaveFile(const SaveDialogRequest& request, std::string& chosen) {
    return showSaveDialog(this, request, chosen);
}

bool QtMainDialog::runOutputDirectoryDialog(OutputDirectoryForm& form) {
    return ::runOutputDirectoryDialog(this, form);
}

bool QtMainDialog::runCommPortsDialog(CommPortsForm& form) {
    return ::runCommPortsDialog(this, form);
}

void QtMainDialog::showAbout(const std::string& versionHistory) {
    runAboutDialog(this, versionHistory);
}

void QtMainDialog::showSupportedProducts(const std::vector<std::string>& lines) {
    runSupportedProductsDialog(this, lines);
}

void QtMainDialog::closeDialogs() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(w);
        if (dialog && dialog != this && dialog->isVisible())
            dialog->reject();
    }
}

void QtMainDialog::closeWindow() {
    QDialog::reject();
}

void QtMainDialog::wake() {
    // Posted with the window as context: dropped if the window is gone.
    QMetaObject::invokeMethod(
        this, [this] { behaviour_.RunPosted(); }, Qt::QueuedConnection);
}
