#include "app/qt_boxes.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QTreeView>

namespace {

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

// Qt's box turns word wrap on for a text wider than about 500 pixels, which
// would break the padded lines of the device messages in two. This one keeps
// every line of the text whole and grows as wide as the longest.
class WholeLineMessageBox : public QMessageBox {
  public:
    using QMessageBox::QMessageBox;

  protected:
    bool event(QEvent* event) override {
        const bool handled = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest)
            keepLinesWhole();
        return handled;
    }
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        keepLinesWhole();
    }
    void changeEvent(QEvent* event) override {
        QMessageBox::changeEvent(event);
        keepLinesWhole();
    }

  private:
    void keepLinesWhole() {
        auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        if (!label || !label->wordWrap() || !layout())
            return;
        label->setWordWrap(false);
        layout()->activate();
        const QSize needed = layout()->totalMinimumSize();
        setFixedSize(qMax(width(), needed.width()), needed.height());
        // The size is final; a pending layout request would wrap the text again.
        QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
    }
};

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

}  // namespace

int showMessageBox(QWidget* owner, const std::string& text, const std::string& caption,
                   uint32_t style) {
    WholeLineMessageBox box(iconFor(style), QString::fromStdString(caption),
                            QString::fromStdString(text), buttonsFor(style), owner);
    box.setTextFormat(Qt::PlainText);
    return answerFor(box.exec());
}

bool showSaveDialog(QWidget* owner, const SaveDialogRequest& request, std::string& chosen) {
    QFileDialog dialog(owner, QString::fromStdString(request.title),
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
    // Each file's size, type and date shown whole beside its name.
    dialog.setViewMode(QFileDialog::Detail);
    if (auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        for (int column = 1; column < 4; ++column)
            list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    dialog.resize(dialog.sizeHint().expandedTo(kSaveDialogSize));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    chosen = QFile::encodeName(dialog.selectedFiles().first()).toStdString();
    return true;
}
