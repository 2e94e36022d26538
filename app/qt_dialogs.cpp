#include "app/qt_dialogs.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>
#include <optional>

#include "app/dialog_template.h"
#include "app/qt_boxes.h"
#include "window/dialog_templates.h"
#include "window/settings_forms.h"

namespace {

// A dialog drawn from a template whose OK asks `checkOk` first: a message
// refuses it (shown, owned by the dialog) and the dialog stays open.
class TemplateDialog : public QDialog {
  public:
    TemplateDialog(QWidget* owner, const DialogTemplate& dialogTemplate)
        : QDialog(owner), client_(buildDialog(this, dialogTemplate)) {}

    template <typename Widget>
    Widget* control(int id) const {
        return findControl<Widget>(client_, id);
    }
    std::function<std::optional<DialogMessage>()> checkOk;
    std::function<void()> afterRefusal;

    void accept() override {
        if (checkOk) {
            if (const std::optional<DialogMessage> refusal = checkOk()) {
                showMessageBox(this, refusal->text, refusal->caption, refusal->style);
                if (afterRefusal)
                    afterRefusal();
                return;
            }
        }
        QDialog::accept();
    }

  private:
    QWidget* client_;
};

QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string toPath(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

void chooseDirectoryInto(QLineEdit* field) {
    QFileDialog chooser(field->window(), QStringLiteral("Choose Output Directory"), field->text());
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
        field->setText(chooser.selectedFiles().first());
}

}  // namespace

void runAboutDialog(QWidget* owner, const std::string& versionHistory) {
    TemplateDialog dialog(owner, kAboutTemplate);
    // The text keeps CR LF line ends; the view wants bare line feeds.
    dialog.control<QPlainTextEdit>(res::IDC_HISTORY)
        ->setPlainText(
            QString::fromStdString(versionHistory).replace(QStringLiteral("\r\n"), "\n"));
    dialog.control<QPushButton>(res::IDOK)->setFocus();
    dialog.exec();
}

void runSupportedProductsDialog(QWidget* owner, const std::vector<std::string>& lines) {
    TemplateDialog dialog(owner, kSupportedProductsTemplate);
    auto* list = dialog.control<QListWidget>(res::IDC_PRODUCT_LIST);
    for (const std::string& line : lines) list->addItem(QString::fromStdString(line));
    dialog.control<QPushButton>(res::IDOK)->setFocus();
    dialog.exec();
}

bool runOutputDirectoryDialog(QWidget* owner, OutputDirectoryForm& form) {
    TemplateDialog dialog(owner, kOutputDirectoryTemplate);
    auto* field = dialog.control<QLineEdit>(res::IDC_OUTPUT_DIRECTORY);
    field->setText(fromPath(form.fieldText()));
    QObject::connect(dialog.control<QPushButton>(res::IDC_BROWSE), &QPushButton::clicked, &dialog,
                     [field] { chooseDirectoryInto(field); });
    dialog.checkOk = [&] { return form.accept(toPath(field->text())); };
    dialog.afterRefusal = [field] { field->selectAll(); };
    field->setFocus();
    return dialog.exec() == QDialog::Accepted;
}

bool runCommPortsDialog(QWidget* owner, CommPortsForm& form) {
    TemplateDialog dialog(owner, kCommPortsTemplate);
    auto* com1 = dialog.control<QComboBox>(res::IDC_COM1_DEVICE);
    auto* com2 = dialog.control<QComboBox>(res::IDC_COM2_DEVICE);
    for (auto [field, current] : {std::pair{com1, form.com1Device()}, {com2, form.com2Device()}}) {
        for (const std::string& device : form.devicesOffered()) field->addItem(fromPath(device));
        field->setEditText(fromPath(current));
    }
    dialog.checkOk = [&] {
        return form.accept(toPath(com1->currentText()), toPath(com2->currentText()));
    };
    com1->setFocus();
    return dialog.exec() == QDialog::Accepted;
}
