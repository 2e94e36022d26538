// The Qt front end: it draws every description as described, forwards each
// control and menu item by its command ID, and its boxes and dialogs show
// what they are given. What the window does is tested without Qt
// (tests/window); here only the drawing and the wiring.
#include <QtTest>
#include <QtWidgets>
#include <functional>
#include <map>

#include "app/dialog_template.h"
#include "app/lumagrab_app.h"
#include "app/main_menu.h"
#include "app/qt_main_dialog.h"
#include "session/device_messages.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"
#include "window/dialog_templates.h"
#include "window/settings_forms.h"

namespace {

// Calls `act` with the next modal dialog of type Dialog once it shows, from
// the event loop that runs it; when none appears within a few seconds every
// modal dialog is closed, so that the test fails instead of hanging.
template <typename Dialog>
void onNextModal(std::function<void(Dialog*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries = 0]() mutable {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        const bool shown = dialog && dialog->isVisible();
        if (!shown && ++tries <= 500)
            return;
        timer->stop();
        timer->deleteLater();
        if (shown)
            act(dialog);
        else
            while (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    timer->start(10);
}

bool saveScreenshot(QWidget* widget, const QString& name) {
    QDir().mkpath(QStringLiteral(LUMAGRAB_SCREENSHOT_DIR));
    return widget->grab().save(QStringLiteral(LUMAGRAB_SCREENSHOT_DIR "/%1.png").arg(name));
}

// The widget class each kind of control is drawn with.
const char* classOf(ControlKind kind) {
    static const std::map<ControlKind, const char*> classes = {
        {ControlKind::DefPushButton, "QPushButton"},  {ControlKind::PushButton, "QPushButton"},
        {ControlKind::GroupBox, "QGroupBox"},         {ControlKind::AutoRadio, "QRadioButton"},
        {ControlKind::ProgressBar, "QProgressBar"},   {ControlKind::PathEdit, "QLineEdit"},
        {ControlKind::HistoryView, "QPlainTextEdit"}, {ControlKind::SortedList, "QListWidget"},
        {ControlKind::EditCombo, "QComboBox"}};
    return classes.contains(kind) ? classes.at(kind) : "QLabel";
}

// A button's or label's text, a group box's title.
QString captionOf(QWidget* w) {
    const QVariant title = w->property("title");
    return (title.isValid() ? title : w->property("text")).toString();
}

// The first difference between the dialog and its description, or "".
QString drawnUnlikeItsDescription(QDialog& dialog, const DialogTemplate& t) {
    const DialogUnits units(dialog.font());
    if (dialog.windowTitle() != QString::fromUtf8(t.caption))
        return "caption " + dialog.windowTitle();
    if (dialog.minimumSize() != dialog.maximumSize())
        return "not of a fixed size";
    if (dialog.windowFlags() & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint))
        return "a minimise, maximise or help box";
    for (const ControlSpec& c : t.controls) {
        if (c.id == kNoControlId)
            continue;
        QWidget* w = findControl<QWidget>(&dialog, c.id);
        const QString where = QStringLiteral("control %1: ").arg(c.id);
        if (!w)
            return where + "missing";
        if (QString(w->metaObject()->className()) != classOf(c.kind))
            return where + w->metaObject()->className();
        if (captionOf(w) != QString::fromUtf8(c.caption))
            return where + captionOf(w);
        if (w->geometry() != units.toPixels(c.x, c.y, c.width, c.height))
            return where + "misplaced";
        if (w->parentWidget()->size() != units.toPixels(t.width, t.height))
            return where + "in a client area of the wrong size";
        auto* button = qobject_cast<QPushButton*>(w);
        if (button && button->isDefault() != (c.kind == ControlKind::DefPushButton))
            return where + "default button wrong";
        auto* label = qobject_cast<QLabel*>(w);
        if (label &&
            bool(label->alignment() & Qt::AlignRight) != (c.kind == ControlKind::RightText))
            return where + "aligned wrong";
    }
    return {};
}

// The main window with its events recorded instead of carried out.
class RecordingMainDialog : public QtMainDialog {
  public:
    std::vector<int> forwarded;

  protected:
    void forward(int id) override { forwarded.push_back(id); }
};

}  // namespace

class QtFrontEndTest : public QObject {
    Q_OBJECT

  private slots:
    void everyDescriptionIsDrawnAsDescribed() {
        for (const DialogTemplate* t : allDialogTemplates()) {
            QDialog dialog;
            buildDialog(&dialog, *t, t->hasMenu ? buildMainMenu(&dialog, [](int) {}) : nullptr);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const QString mismatch = drawnUnlikeItsDescription(dialog, *t);
            QVERIFY2(mismatch.isEmpty(), qPrintable(QString(t->caption) + ": " + mismatch));
            // Every character as wide as any other where the description asks.
            const QFontMetrics metrics(dialog.font());
            QCOMPARE(metrics.horizontalAdvance("i") == metrics.horizontalAdvance("W"),
                     t->font.fixedPitch);
            saveScreenshot(&dialog, QStringLiteral("dialog_%1").arg(t->id));
        }
    }

    // The menu bar drawn as described; every control and menu item reaching
    // its command.
    void everyControlAndMenuItemReachesItsCommand() {
        RecordingMainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        std::vector<int> expected;
        for (int id : res::kCommandControls) {
            findControl<QAbstractButton>(&d, id)->click();
            expected.push_back(id);
        }
        QTest::keyClick(&d, Qt::Key_Escape);
        d.close();
        expected.insert(expected.end(), {res::ID_CANCEL, res::ID_CANCEL});
        // The actions of each open menu, and how many of them are seen.
        std::vector<std::pair<QList<QAction*>, int>> open = {{d.menuBar()->actions(), 0}};
        for (const MenuEntry& entry : mainMenu()) {
            if (entry.kind == MenuEntryKind::EndPopup) {
                open.pop_back();
                continue;
            }
            QAction* action = open.back().first.value(open.back().second++);
            QVERIFY(action);
            QCOMPARE(action->isSeparator(), entry.kind == MenuEntryKind::Separator);
            if (entry.kind == MenuEntryKind::Separator)
                continue;
            QCOMPARE(action->text(), QString::fromUtf8(entry.text));
            QCOMPARE(action->isCheckable(), entry.kind == MenuEntryKind::CheckItem);
            if (entry.kind == MenuEntryKind::Popup) {
                open.push_back({action->menu()->actions(), 0});
                continue;
            }
            QCOMPARE(findMenuItem(d.menuBar(), entry.id), action);
            action->trigger();
            expected.push_back(entry.id);
        }
        QCOMPARE(d.forwarded, expected);
        QVERIFY(d.isVisible());  // closing is the behaviour's to decide

        // The view: a radio button unchecked whatever its group, a whole menu off.
        d.checkControl(res::IDC_COM1, true);
        d.checkControl(res::IDC_COM1, false);
        QVERIFY(!findControl<QRadioButton>(&d, res::IDC_COM1)->isChecked());
        d.enableMenu(kSettingsMenuPosition, false);
        QVERIFY(!findMenuItem(d.menuBar(), res::ID_BAUD_AUTO)->isEnabled());
        QVERIFY(!menuBarSubMenu(d.menuBar(), kSettingsMenuPosition)->menuAction()->isEnabled());
    }

    // Every line of every device message whole on one line of the box, its
    // icon, the caption, OK only, the box owned by the main window.
    void messageBoxesKeepTheirLinesWholeAndBelongToTheMainWindow() {
        RecordingMainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const std::map<uint32_t, QMessageBox::Icon> iconOf = {
            {msgbox::Ok, QMessageBox::NoIcon},
            {msgbox::IconStop, QMessageBox::Critical},
            {msgbox::IconExclamation, QMessageBox::Warning},
            {msgbox::IconInformation, QMessageBox::Information}};
        for (int m = 0; m < int(DeviceMessage::Count); ++m) {
            const QString text = QString::fromStdString(deviceMessageText(DeviceMessage(m)));
            QString seen;
            onNextModal<QMessageBox>([&](QMessageBox* box) {
                auto* label = box->findChild<QLabel*>("qt_msgbox_label");
                const QFontMetrics metrics(label->font());
                const bool whole = !label->wordWrap() &&
                                   label->contentsRect().width() >= metrics.size(0, text).width();
                seen =
                    QString("%1|%2|%3|%4|%5|%6 lines|%7")
                        .arg(box->text(), box->windowTitle())
                        .arg(box->icon())
                        .arg(box->parentWidget() == &d)
                        .arg(box->buttons().size())
                        .arg(qRound(double(label->contentsRect().height()) / metrics.lineSpacing()))
                        .arg(whole ? "whole" : "cut");
                box->button(QMessageBox::Ok)->click();
            });
            const uint32_t style = deviceMessageStyle(DeviceMessage(m));
            QCOMPARE(d.showMessage(text.toStdString(), kMessageCaption, style), msgbox::IdOk);
            QCOMPARE(seen, QString("%1|GPS Lumagrab|%2|1|1|%3 lines|whole")
                               .arg(text)
                               .arg(iconOf.at(style))
                               .arg(text.count('\n') + 1));
        }
    }

    void saveDialogOffersTheRequestAndShowsEachFilesDetails() {
        TempDir dir;
        RecordingMainDialog d;
        SaveDialogRequest request{"Save Screen", {}, dir.path(), "Ostrel 560-01.bmp", "bmp"};
        request.filters = {{"Bitmap Files (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}};
        request.overwritePrompt = true;
        std::string chosen = "untouched";
        onNextModal<QFileDialog>([](QFileDialog* f) { f->reject(); });
        QVERIFY(!d.askSaveFile(request, chosen));
        QCOMPARE(chosen, std::string("untouched"));

        writeFileBytes(dir.file("earlier.bmp"), {'B', 'M'});
        QStringList seen;
        bool detailsShown = false;
        onNextModal<QFileDialog>([&](QFileDialog* f) {
            seen << f->windowTitle() << f->nameFilters() << f->selectedNameFilter()
                 << f->directory().absolutePath() << f->selectedFiles()
                 << (f->testOption(QFileDialog::DontConfirmOverwrite) ? "no prompt" : "prompt");
            // Size, type and date of a file each shown whole, within the list.
            // The file system model fills a file's details in after its name,
            // and the columns follow them: wait for both.
            auto* list = f->findChild<QTreeView*>("treeView");
            detailsShown = QTest::qWaitFor([list] {
                if (!list || !list->isVisible() || list->model()->rowCount(list->rootIndex()) != 1)
                    return false;
                const QHeaderView* header = list->header();
                for (int column = 1; column < 4; ++column) {
                    const QString cell =
                        list->model()->index(0, column, list->rootIndex()).data().toString();
                    if (cell.isEmpty() || header->isSectionHidden(column) ||
                        header->sectionSize(column) <=
                            list->fontMetrics().horizontalAdvance(cell) ||
                        header->sectionViewportPosition(column) + header->sectionSize(column) >
                            list->viewport()->width())
                        return false;
                }
                return true;
            });
            saveScreenshot(f, "dialog_save");
            auto* name = f->findChild<QLineEdit*>("fileNameEdit");
            name->clear();
            QTest::keyClicks(name, "screen");  // a name without extension
            static_cast<QDialog*>(f)->accept();
        });
        QVERIFY(d.askSaveFile(request, chosen));
        const QString path = QString::fromStdString(dir.path());
        QCOMPARE(seen, (QStringList{"Save Screen", "Bitmap Files (*.bmp)", "All Files (*)",
                                    "Bitmap Files (*.bmp)", path, path + "/Ostrel 560-01.bmp",
                                    "prompt"}));
        QVERIFY(detailsShown);
        QCOMPARE(chosen, dir.file("screen.bmp"));
    }

    // A refusal by the form shows its message over the dialog and selects the
    // entry; an accepted entry ends the dialog with OK.
    void outputDirectoryDialogAsksItsForm() {
        TempDir dir;
        const std::filesystem::path start = std::filesystem::current_path();
        RecordingMainDialog d;
        OutputDirectoryForm form(dir.path());
        QStringList seen;
        onNextModal<QDialog>([&](QDialog* dialog) {
            auto* field = findControl<QLineEdit>(dialog, res::IDC_OUTPUT_DIRECTORY);
            seen << field->text();
            field->setText(QString::fromStdString(dir.file("missing")));
            onNextModal<QMessageBox>([&](QMessageBox* box) {
                seen << box->text() << QString::number(box->parentWidget() == dialog);
                box->button(QMessageBox::Ok)->click();
            });
            findControl<QPushButton>(dialog, res::ID_OK)->click();
            seen << field->selectedText();
            field->setText(QString::fromStdString(dir.path()));
            QTest::keyClick(field, Qt::Key_Return);  // Enter is OK
        });
        QVERIFY(d.runOutputDirectoryDialog(form));
        std::filesystem::current_path(start);
        QCOMPARE(seen,
                 (QStringList{QString::fromStdString(dir.path()),
                              "Invalid directory entered.  Please re-enter a valid directory.", "1",
                              QString::fromStdString(dir.file("missing"))}));
        QCOMPARE(form.path(), dir.path());
    }

    void commPortsDialogOffersTheDevicesOfItsForm() {
        RecordingMainDialog d;
        CommPortsForm form("/dev/ttyS0", "/dev/ttyUSB7", {"/dev/ttyUSB0", "/dev/ttyS0"});
        QStringList offered;
        onNextModal<QDialog>([&](QDialog* dialog) {
            auto* com1 = findControl<QComboBox>(dialog, res::IDC_COM1_DEVICE);
            auto* com2 = findControl<QComboBox>(dialog, res::IDC_COM2_DEVICE);
            for (int i = 0; i < com1->count(); ++i) offered << com1->itemText(i);
            offered << com1->currentText() << com2->currentText();
            com1->setCurrentIndex(0);
            com2->setEditText("/dev/ttyACM0");
            findControl<QPushButton>(dialog, res::ID_OK)->click();
        });
        QVERIFY(d.runCommPortsDialog(form));
        QCOMPARE(offered,
                 (QStringList{"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS0", "/dev/ttyUSB7"}));
        QCOMPARE(form.com1Device(), std::string("/dev/ttyUSB0"));
        QCOMPARE(form.com2Device(), std::string("/dev/ttyACM0"));
    }

    // The history shown from its first line, Enter kept by the field; the
    // product lines as given. A message box shown meanwhile still belongs to
    // the main window.
    void helpDialogsShowWhatTheyAreGiven() {
        RecordingMainDialog d;
        QString shown;
        bool stayedOpen = false;
        bool messageOwnedByWindow = false;
        onNextModal<QDialog>([&](QDialog* about) {
            auto* view = findControl<QPlainTextEdit>(about, res::IDC_HISTORY);
            shown = view->toPlainText();
            QVERIFY(view->isReadOnly() && view->lineWrapMode() == QPlainTextEdit::NoWrap);
            QCOMPARE(QApplication::focusWidget(), findControl<QWidget>(about, res::ID_OK));
            view->setFocus();
            QTest::keyClick(view, Qt::Key_Return);
            stayedOpen = about->isVisible();
            onNextModal<QMessageBox>([&](QMessageBox* box) {
                messageOwnedByWindow = box->parentWidget() == &d;
                box->button(QMessageBox::Ok)->click();
            });
            d.showMessage("Over another dialog", kMessageCaption, msgbox::IconStop);
            about->accept();
        });
        d.showAbout("Version 2.0.0:\t(01-02-2025)\r\nNew.\r\n");
        QCOMPARE(shown, QString("Version 2.0.0:\t(01-02-2025)\nNew.\n"));
        QVERIFY(stayedOpen && messageOwnedByWindow);

        QStringList listed;
        onNextModal<QDialog>([&](QDialog* help) {
            auto* list = findControl<QListWidget>(help, res::IDC_PRODUCT_LIST);
            for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
            help->accept();
        });
        d.showSupportedProducts({"Alpha 1", "beta 2"});
        QCOMPARE(listed, (QStringList{"Alpha 1", "beta 2"}));
    }

    // The program's own run: the window shows once the start-up has found
    // the receiver, and Exit ends the modal run, which saves the settings.
    void applicationRunsTheWindowModallyWithItsBehaviour() {
        TempDir dir;
        MainDialog::Options options{dir.file("GPSLumagrab.reg"),
                                    LinkSession::Simulation{sim::kDefaultSimulatedProduct, false}};
        LumagrabApp app(options);
        QString device;
        onNextModal<QtMainDialog>([&](QtMainDialog* d) {
            QTRY_VERIFY_WITH_TIMEOUT(!d->behaviour().commandRunning(), 10000);
            device = findControl<QLabel>(d, res::IDC_DEVICE_TYPE)->text();
            saveScreenshot(d, "main_window");
            findControl<QPushButton>(d, res::ID_CANCEL)->click();
        });
        QCOMPARE(app.InitInstance(), false);
        QCOMPARE(device, QString(ProductCatalogue[sim::kDefaultSimulatedProduct].name));
        QCOMPARE(app.mainWindow(), nullptr);
        QVERIFY(fileExists(options.settingsPath));
    }
};

QTEST_MAIN(QtFrontEndTest)
#include "qt_front_end_test.moc"
