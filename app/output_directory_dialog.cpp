#include "app/output_directory_dialog.h"

#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "app/dialog_template.h"
#include "app/resource_ids.h"
#include "platform/platform.h"
#include "settings/app_settings.h"

namespace {

const char* const kCaption = "Set Output Directory";
const char* const kInvalidDirectory =
    "Invalid directory entered.  Please re-enter a valid directory.";

// The field keeps the letters as typed: file names are case-sensitive here.
// It is narrower than the full row to make room for a directory chooser.
constexpr ControlSpec kControls[] = {
    {res::IDC_OUTPUT_DIRECTORY, ControlKind::Edit, "", 75, 14, 100, 12},
    {res::IDC_BROWSE, ControlKind::PushButton, "&Browse...", 179, 13, 38, 14},
    {res::IDOK, ControlKind::DefPushButton, "OK", 50, 37, 50, 14},
    {res::IDCANCEL, ControlKind::PushButton, "Cancel", 124, 37, 50, 14},
    {res::IDC_OUTPUT_DIRECTORY_LABEL, ControlKind::RightText, "Output Directory:", 7, 16, 57, 8},
};

constexpr DialogTemplate kTemplate = {kCaption, 224, 58, DialogFont::Standard, kControls};

// The field's text as the bytes of a file name, cut to what the path buffer
// holds without splitting a character.
std::string pathBufferText(const QString& text) {
    const QByteArray bytes = QFile::encodeName(text);
    size_t length = std::min<size_t>(bytes.size(), kOutputPathSize - 1);
    while (length > 0 && length < static_cast<size_t>(bytes.size()) &&
           (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80) {
        --length;
    }
    return std::string(bytes.constData(), length);
}

}  // namespace

OutputDirectoryDialog::OutputDirectoryDialog(std::string_view path, QWidget* parent)
    : QDialog(parent), path_(path.substr(0, kOutputPathSize - 1)) {
    QWidget* client = buildDialog(this, kTemplate);
    field_ = findControl<QLineEdit>(client, res::IDC_OUTPUT_DIRECTORY);
    connect(findControl<QPushButton>(client, res::IDC_BROWSE), &QPushButton::clicked, this,
            &OutputDirectoryDialog::browse);

    if (platformSetCurrentDirectory(path_)) {
        field_->setText(QFile::decodeName(QByteArray::fromStdString(path_)));
    } else {
        path_.clear();
    }
    field_->setFocus();
}

void OutputDirectoryDialog::accept() {
    path_ = pathBufferText(field_->text());
    if (platformSetCurrentDirectory(path_)) {
        QDialog::accept();
        return;
    }
    platformMessageBox(kInvalidDirectory, kCaption, msgbox::Ok | msgbox::IconInformation);
    field_->selectAll();
    path_.clear();
}

void OutputDirectoryDialog::browse() {
    QFileDialog chooser(this, QStringLiteral("Choose Output Directory"), field_->text());
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty()) {
        field_->setText(chooser.selectedFiles().first());
    }
}
