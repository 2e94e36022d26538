#include "app/dialog_template.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/x11_frame.h"
#include "window/resource_ids.h"

namespace {

// a * b / c rounded to the nearest integer, for the non-negative sizes here.
int scaleRounded(int a, int b, int c) {
    return (a * b + c / 2) / c;
}

QLabel* makeLabel(QWidget* parent, const ControlSpec& item, Qt::Alignment horizontal) {
    auto* label = new QLabel(QString::fromUtf8(item.caption), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(horizontal | Qt::AlignTop);
    return label;
}

QPushButton* makeButton(QWidget* parent, const ControlSpec& item, bool isDefault) {
    auto* button = new QPushButton(QString::fromUtf8(item.caption), parent);
    button->setAutoDefault(true);
    button->setDefault(isDefault);
    return button;
}

// A multi-line field keeps Enter for itself, even when it is read-only, so
// that Enter pressed inside it does not press the dialog's default button.
class HistoryView : public QPlainTextEdit {
  public:
    using QPlainTextEdit::QPlainTextEdit;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            event->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
    }
};

QWidget* makeHistoryView(QWidget* parent) {
    auto* view = new HistoryView(parent);
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    view->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    return view;
}

QWidget* makeList(QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setSortingEnabled(false);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setUniformItemSizes(true);
    return list;
}

QWidget* makeEditCombo(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

QWidget* makeIcon(QWidget* parent) {
    auto* icon = new QLabel(parent);
    icon->setPixmap(applicationIcon().pixmap(32, 32));
    icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return icon;
}

// Buttons 1 and 2 end the dialog as OK and Cancel, as a dialog manager does;
// a dialog changes what they do by overriding accept() and reject().
void connectStandardButton(QDialog* dialog, QWidget* control, int id) {
    auto* button = qobject_cast<QPushButton*>(control);
    if (!button)
        return;
    if (id == res::IDOK)
        QObject::connect(button, &QPushButton::clicked, dialog, [dialog] { dialog->accept(); });
    if (id == res::IDCANCEL)
        QObject::connect(button, &QPushButton::clicked, dialog, [dialog] { dialog->reject(); });
}

QWidget* makeControl(QWidget* parent, const ControlSpec& item) {
    const QString caption = QString::fromUtf8(item.caption);
    switch (item.kind) {
        case ControlKind::DefPushButton:
            return makeButton(parent, item, true);
        case ControlKind::PushButton:
            return makeButton(parent, item, false);
        case ControlKind::GroupBox:
            return new QGroupBox(caption, parent);
        case ControlKind::Text:
        case ControlKind::PlainText:  // a label shows ampersands as they are
            return makeLabel(parent, item, Qt::AlignLeft);
        case ControlKind::RightText:
            return makeLabel(parent, item, Qt::AlignRight);
        case ControlKind::AutoRadio:
            return new QRadioButton(caption, parent);
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::PathEdit:
            return new QLineEdit(parent);  // file names here are case-sensitive: as typed
        case ControlKind::HistoryView:
            return makeHistoryView(parent);
        case ControlKind::SortedList:
            return makeList(parent);
        case ControlKind::EditCombo:
            return makeEditCombo(parent);
        case ControlKind::Icon:
            return makeIcon(parent);
    }
    return new QWidget(parent);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average width of the letters, rounded, as the dialog manager of the
    // layout's origin measured it.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseWidth_ = (letters / 26 + 1) / 2;
    baseHeight_ = metrics.height();
}

QRect DialogUnits::toPixels(int x, int y, int width, int height) const {
    return QRect(scaleRounded(x, baseWidth_, 4), scaleRounded(y, baseHeight_, 8),
                 scaleRounded(width, baseWidth_, 4), scaleRounded(height, baseHeight_, 8));
}

QSize DialogUnits::toPixels(int width, int height) const {
    return toPixels(0, 0, width, height).size();
}

QFont dialogFont(const DialogFont& font) {
    QFont chosen = font.fixedPitch ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                   : QApplication::font();
    chosen.setPointSize(font.pointSize);
    return chosen;
}

QIcon applicationIcon() {
    // The images live in a static library: register its resources explicitly.
    static const bool registered = [] {
        Q_INIT_RESOURCE(lumagrab);
        return true;
    }();
    (void)registered;
    QIcon icon;
    for (int size : {16, 32, 256}) {
        icon.addFile(QStringLiteral(":/lumagrab/lumagrab-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QWidget* buildDialog(QDialog* dialog, const DialogTemplate& dialogTemplate, QMenuBar* menuBar) {
    const QFont font = dialogFont(dialogTemplate.font);
    const DialogUnits units(font);
    dialog->setFont(font);
    dialog->setWindowTitle(QString::fromUtf8(dialogTemplate.caption));
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    keepFixedDialogFrame(dialog);

    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    if (menuBar)
        layout->setMenuBar(menuBar);
    auto* client = new QWidget(dialog);
    client->setFixedSize(units.toPixels(dialogTemplate.width, dialogTemplate.height));
    layout->addWidget(client);

    QWidget* previous = nullptr;
    for (const ControlSpec& item : dialogTemplate.controls) {
        QWidget* control = makeControl(client, item);
        if (item.id != kNoControlId)
            control->setObjectName(resourceObjectName(item.id));
        connectStandardButton(dialog, control, item.id);
        control->setGeometry(units.toPixels(item.x, item.y, item.width, item.height));
        if (control->focusPolicy() == Qt::NoFocus)
            continue;
        if (previous)
            QWidget::setTabOrder(previous, control);
        previous = control;
    }
    return client;
}

QString resourceObjectName(int id) {
    return QStringLiteral("id%1").arg(id);
}
