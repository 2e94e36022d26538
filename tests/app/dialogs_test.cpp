// The dialogs of the window program and the Qt side of the platform seams.
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QThread>
#include <QtTest>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/about_dialog.h"
#include "app/comm_ports_dialog.h"
#include "app/dialog_template.h"
#include "app/main_dialog.h"
#include "app/output_directory_dialog.h"
#include "app/qt_platform_hooks.h"
#include "app/supported_products_dialog.h"
#include "app/version_history.h"
#include "app_test_support.h"
#include "link/packet_link.h"
#include "catalogue/product_catalogue.h"
#include "catalogue/product_list.h"
#include "lumagrab_version.h"
#include "serial/serial_port.h"
#include "support/test_support.h"

namespace {

QPushButton* button(QWidget* dialog, int id) {
    return findControl<QPushButton>(dialog, id);
}

QLineEdit* directoryField(QWidget* dialog) {
    return findControl<QLineEdit>(dialog, 1020);
}

QString currentDirectory() {
    return QString::fromStdString(std::filesystem::current_path().string());
}

QString canonical(const std::string& path) {
    return QString::fromStdString(std::filesystem::canonical(path).string());
}

// Templates 137 (with the chooser button squeezed in beside the field), 100
// and 138, as designed.
const ExpectedControl kTemplate137[] = {
    {1020, "QLineEdit", "", 75, 14, 100, 12},
    {1032, "QPushButton", "&Browse...", 179, 13, 38, 14},
    {1, "QPushButton", "OK", 50, 37, 50, 14},
    {2, "QPushButton", "Cancel", 124, 37, 50, 14},
    {1019, "QLabel", "Output Directory:", 7, 16, 57, 8},
};
const ExpectedControl kTemplate100[] = {
    {1, "QPushButton", "OK", 177, 13, 50, 14},
    {1021, "QLabel", "Version History:", 15, 44, 71, 10},
    {1027, "QPlainTextEdit", "", 15, 54, 212, 90},
};
const ExpectedControl kTemplate138[] = {
    {1, "QPushButton", "OK", 67, 177, 50, 14},
    {1028, "QListWidget", "", 7, 19, 170, 154},
    {1029, "QLabel", "Supported Products:", 7, 7, 77, 8},
    {1031, "QLabel", "Product IDs:", 114, 7, 49, 8},
};

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> dir_;
    std::filesystem::path startDirectory_;

    // A main window whose stored output directory is `outputPath`.
    std::unique_ptr<MainDialog> windowWithOutputPath(const std::string& outputPath) {
        auto window = std::make_unique<MainDialog>(
            writeSettingsFile(dir_->path(), "\"OutputPath\"=\"" + outputPath + "\"\n"));
        if (!waitUntilIdle(*window))
            qWarning("the search at start-up does not end");
        return window;
    }

  private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        startDirectory_ = std::filesystem::current_path();
    }
    void cleanup() {
        std::filesystem::current_path(startDirectory_);
        dir_.reset();
    }

    // --- Set Output Directory ----------------------------------------------

    void storedPathIsShownOnlyWhenItIsADirectoryAndCancelStoresWhatWasShown() {
        bool pictured = false;
        for (const bool present : {false, true}) {
            const std::string stored = present ? dir_->path() : dir_->file("gone");
            auto window = windowWithOutputPath(stored);
            QString shown = "not looked at";
            onNextModal<OutputDirectoryDialog>([&](OutputDirectoryDialog* d) {
                shown = directoryField(d)->text();
                QCOMPARE(QApplication::focusWidget(), directoryField(d));
                if (present)
                    pictured = saveScreenshot(d, "dialog_output_directory");
                directoryField(d)->setText("/");  // typed, not confirmed
                button(d, 2)->click();
            });
            window->OnCommand(32776);
            const std::string expected = present ? stored : std::string();
            QCOMPARE(shown.toStdString(), expected);
            QCOMPARE(std::string(window->settings().outputPathText()), expected);
        }
        QCOMPARE(currentDirectory(), canonical(dir_->path()));  // the shown one
        QVERIFY(pictured);
    }

    void wrongEntryIsRefusedUntilARightOneIsGivenAndStoredAsTyped() {
        auto window = windowWithOutputPath(dir_->path());
        std::filesystem::create_directory(dir_->file("lower case"));
        const QString wrong = QString::fromStdString(dir_->file("no such place"));
        const QString right = "lower case/";  // relative to the shown directory
        ScopedMessageBoxRecorder messages;
        QStringList seen;
        onNextModal<OutputDirectoryDialog>([&](OutputDirectoryDialog* d) {
            directoryField(d)->setText(wrong);
            button(d, 1)->click();
            seen << (d->isVisible() ? "open" : "closed") << directoryField(d)->selectedText()
                 << QString::fromStdString(d->path());
            directoryField(d)->setText(right);
            QTest::keyClick(directoryField(d), Qt::Key_Return);  // Enter is OK
            seen << QString::number(d->result());
        });
        window->OnCommand(32776);

        QCOMPARE(seen, (QStringList{"open", wrong, "", QString::number(QDialog::Accepted)}));
        QCOMPARE(messages.shown().size(), size_t{1});
        QCOMPARE(messages.shown()[0].text,
                 std::string("Invalid directory entered.  Please re-enter a valid directory."));
        QCOMPARE(messages.shown()[0].caption, std::string("Set Output Directory"));
        QCOMPARE(messages.shown()[0].style, msgbox::Ok | msgbox::IconInformation);
        QCOMPARE(QString::fromStdString(std::string(window->settings().outputPathText())), right);
        QCOMPARE(currentDirectory(), canonical(dir_->file("lower case")));
    }

    void entryIsCutToFiveHundredElevenBytesBeforeItIsChecked() {
        // A directory whose path is exactly 511 characters long.
        std::string path = dir_->path();
        while (path.size() < 511) {
            path += '/';
            path.append(std::min<size_t>(200, 511 - path.size()), 'd');
        }
        std::filesystem::create_directories(path);
        const std::string typed = path + "/" + std::string(600 - 512, 'x');

        OutputDirectoryDialog dialog("", nullptr);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString("Set Output Directory"));
        const QString mismatch = templateMismatch(&dialog, 224, 58, kTemplate137);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        QTest::keyClicks(directoryField(&dialog), QString::fromStdString(typed));
        QCOMPARE(directoryField(&dialog)->text().size(), qsizetype{600});
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.path(), path);
    }

    void browseFillsTheFieldFromAChooser() {
        const std::string picked = dir_->file("picked");
        std::filesystem::create_directory(picked);
        OutputDirectoryDialog dialog(dir_->path(), nullptr);
        dialog.show();
        onNextModal<QFileDialog>([&](QFileDialog* chooser) {
            chooser->setDirectory(QString::fromStdString(picked));
            static_cast<QDialog*>(chooser)->accept();  // as the Choose button does
        });
        button(&dialog, 1032)->click();
        QCOMPARE(directoryField(&dialog)->text().toStdString(), picked);
    }

    // --- About ---------------------------------------------------------------

    void aboutShowsTheVersionHistoryInItsForm() {
        const QString text = kVersionHistory;
        QCOMPARE(text.size(), qsizetype{1355});
        QVERIFY(text.endsWith("\r\n"));
        QCOMPARE(text.count('\n'), text.count("\r\n"));
        QCOMPARE(text.count('\r'), text.count("\r\n"));
        const QStringList entries = text.chopped(2).split("\r\n\r\n");
        QCOMPARE(entries.size(), qsizetype{11});
        const QRegularExpression heading(
            R"(^Version (\d+)\.(\d+)\.(\d+):\t\((\d\d)-(\d\d)-(\d{4})\)$)");
        QString previousVersion = "~", previousDate = "~";
        for (const QString& entry : entries) {
            const QStringList lines = entry.split("\r\n");
            QVERIFY(lines.size() >= 2 && lines.size() <= 4);
            for (const QString& line : lines)
                QVERIFY2(!line.isEmpty() && line.size() <= 60, qPrintable(line));
            const auto m = heading.match(lines.first());
            QVERIFY2(m.hasMatch(), qPrintable(lines.first()));
            QVERIFY(m.captured(4).toInt() >= 1 && m.captured(4).toInt() <= 12);
            QVERIFY(m.captured(5).toInt() >= 1 && m.captured(5).toInt() <= 31);
            QString version;
            for (int part : {1, 2, 3}) version += m.captured(part).rightJustified(3, '0');
            const QString date = m.captured(6) + m.captured(4) + m.captured(5);
            QVERIFY(version < previousVersion && date < previousDate);  // newest first
            previousVersion = version;
            previousDate = date;
        }
        // The newest entry is the version all three programs report.
        QVERIFY(text.startsWith(QStringLiteral("Version " LUMAGRAB_VERSION ":\t")));

        AboutDialog about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.windowTitle(), QString("About GPSLumagrab"));
        const QString mismatch = templateMismatch(&about, 242, 151, kTemplate100);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        const QList<QLabel*> labels = about.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](const QLabel* label) {
            return label->text().endsWith(QStringLiteral(" version " LUMAGRAB_VERSION));
        }));
        auto* history = findControl<QPlainTextEdit>(&about, 1027);
        QVERIFY(history->isReadOnly());
        QCOMPARE(history->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(history->toPlainText(), QString(text).remove('\r'));
        QCOMPARE(history->cursorForPosition(QPoint(2, 2)).block().blockNumber(), 0);
        QVERIFY(button(&about, 1)->isDefault());
        QCOMPARE(QApplication::focusWidget(), button(&about, 1));
        // The history field keeps Enter, as a multi-line field does, instead
        // of letting it press OK.
        history->setFocus();
        QTest::keyClick(history, Qt::Key_Return);
        QVERIFY(about.isVisible());
        QVERIFY(saveScreenshot(&about, "dialog_about"));
    }

    // --- Supported Products --------------------------------------------------

    void productListMatchesTheCatalogueAndOpeningClearsTheErrorFlags() {
        serialSetRxOverrun(1);
        serialSetTxFull(1);
        serialSetOtherError(1);
        linkSetOverflow(1);
        SupportedProductsDialog dialog;
        QCOMPARE(serialRxOverrun() + serialTxFull() + serialOtherError() + linkOverflow(), 0);
        QCOMPARE(dialog.windowTitle(), QString("Lumagrab Help"));
        const QString mismatch = templateMismatch(&dialog, 184, 198, kTemplate138);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        auto* list = findControl<QListWidget>(&dialog, 1028);
        // Every character as wide as any other, so that the ID column lines up.
        const QFontMetrics metrics(list->font());
        for (const char* c : {"i", " ", "W", "7"})
            QCOMPARE(metrics.horizontalAdvance(c), metrics.horizontalAdvance("m"));

        QStringList shown, expected;
        for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
        for (uint32_t id = 0; id < kCatalogueSize; ++id) {
            if (catalogueSupportsCapture(&ProductCatalogue[id]))
                expected << QString("%1 %2").arg(ProductCatalogue[id].name, -25).arg(id);
        }
        expected.sort(Qt::CaseInsensitive);  // no two lines differ only in case
        QCOMPARE(shown.size(), qsizetype{87});
        QCOMPARE(shown, expected);
        QVERIFY(!shown.join('\n').contains("Invalid Device"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(saveScreenshot(&dialog, "dialog_supported_products"));
    }

    void productLinesPadToColumn27AndSortIgnoringCaseInArrivalOrder() {
        QCOMPARE(supportedProductLine("Abcd", 48), "Abcd" + std::string(22, ' ') + "48");
        QCOMPARE(supportedProductLine(std::string(25, 'n'), 7), std::string(25, 'n') + " 7");
        QCOMPARE(supportedProductLine(std::string(30, 'n'), 210), std::string(30, 'n') + " 210");
        std::vector<std::string> lines;
        for (const char* line : {"Zeta 1", "beta 3", "alpha 2", "Beta 3", "BETA 3"})
            insertSorted(lines, line);
        QCOMPARE(lines,
                 (std::vector<std::string>{"alpha 2", "beta 3", "Beta 3", "BETA 3", "Zeta 1"}));
    }

    // --- Set Comm Ports ------------------------------------------------------

    void commPortsOffersTheDevicesAndKeepsTypedPaths() {
        const QStringList present = {"/dev/serial/by-id/usb-Orvane_Cable_0001-if00-port0",
                                     "/dev/ttyUSB0", "/dev/ttyS0"};
        CommPortsDialog dialog("/dev/ttyS0", "/dev/ttyUSB7", nullptr, [&] {
            std::vector<std::string> paths;
            for (const QString& p : present) paths.push_back(p.toStdString());
            return paths;
        });
        auto* com1 = findControl<QComboBox>(&dialog, 1034);
        auto* com2 = findControl<QComboBox>(&dialog, 1036);
        QStringList offered;
        for (int i = 0; i < com1->count(); ++i) offered << com1->itemText(i);
        QCOMPARE(offered, present);
        QCOMPARE(com1->currentText(), QString("/dev/ttyS0"));
        QCOMPARE(com2->currentText(), QString("/dev/ttyUSB7"));  // absent now, kept anyway
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(saveScreenshot(&dialog, "dialog_comm_ports"));

        ScopedMessageBoxRecorder messages;
        com2->setEditText("   ");
        dialog.accept();
        QCOMPARE(messages.shown().size(), size_t{1});
        QCOMPARE(messages.shown()[0].caption, std::string("Set Comm Ports"));
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(dialog.com2Device(), std::string("/dev/ttyUSB7"));

        com1->setCurrentIndex(0);
        com2->setEditText(" /dev/ttyACM0 ");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.com1Device(), present[0].toStdString());
        QCOMPARE(dialog.com2Device(), std::string("/dev/ttyACM0"));
    }

    // --- The Qt side of the platform seams -----------------------------------

    // Each row also leaves a picture of its message box, named by the row.
    void messageBoxShowsTextCaptionIconOnTheWindowThreadAndReturnsTheButton_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<uint>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("fromWorker");
        QTest::newRow("message_invalid_directory")
            << "Invalid directory entered.  Please re-enter a valid directory."
            << "Set Output Directory" << uint(msgbox::IconInformation)
            << int(QMessageBox::Information) << int(QMessageBox::Ok) << msgbox::IdOk << true;
        QTest::newRow("message_warning_cancelled")
            << "Two lines   \nof warning"
            << "Caption" << uint(msgbox::OkCancel | msgbox::IconExclamation)
            << int(QMessageBox::Warning) << int(QMessageBox::Cancel) << msgbox::IdCancel << false;
        QTest::newRow("message_question_no")
            << "Replace it?"
            << "Lumagrab" << uint(msgbox::YesNo | msgbox::IconQuestion)
            << int(QMessageBox::Question) << int(QMessageBox::No) << msgbox::IdNo << true;
        QTest::newRow("message_plain_yes")
            << "Go on?"
            << "Lumagrab" << uint(msgbox::YesNo) << int(QMessageBox::NoIcon)
            << int(QMessageBox::Yes) << msgbox::IdYes << false;
    }
    void messageBoxShowsTextCaptionIconOnTheWindowThreadAndReturnsTheButton() {
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(uint, style);
        QFETCH(int, icon);
        QFETCH(int, press);
        QFETCH(int, answer);
        QFETCH(bool, fromWorker);
        QtPlatformHooks hooks;
        QStringList seen;
        QThread* shownOn = nullptr;
        bool pictured = false;
        onNextModal<QMessageBox>([&](QMessageBox* box) {
            seen << box->text() << box->windowTitle() << QString::number(box->icon());
            shownOn = QThread::currentThread();
            pictured = saveScreenshot(box, QTest::currentDataTag());
            box->button(QMessageBox::StandardButton(press))->click();
        });
        std::atomic<int> result{0};
        auto show = [&] {
            result = platformMessageBox(text.toStdString(), caption.toStdString(), style);
        };
        if (fromWorker) {
            std::unique_ptr<QThread> worker(QThread::create(show));
            worker->start();
            QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
            worker->wait();
        } else {
            show();
        }
        QCOMPARE(result.load(), answer);
        QCOMPARE(seen, (QStringList{text, caption, QString::number(icon)}));
        QCOMPARE(shownOn, QApplication::instance()->thread());
        QVERIFY(pictured);
    }

    void saveDialogOffersTheRequestAddsTheExtensionAndCancelChoosesNothing() {
        QtPlatformHooks hooks;
        SaveDialogRequest request;
        request.title = "Save Screen";
        request.filters = {{"Bitmap Files (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}};
        request.initialDirectory = dir_->path();
        request.fileName = "Ostrel 560-01.bmp";
        request.defaultExtension = "bmp";
        request.overwritePrompt = true;
        std::string chosen = "untouched";
        onNextModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
        QVERIFY(!platformSaveDialog(request, chosen));
        QCOMPARE(chosen, std::string("untouched"));

        QStringList seen;
        onNextModal<QFileDialog>([&](QFileDialog* d) {
            seen << d->windowTitle() << d->nameFilters() << d->selectedNameFilter()
                 << d->directory().absolutePath() << d->selectedFiles()
                 << (d->testOption(QFileDialog::DontConfirmOverwrite) ? "no prompt" : "prompt");
            // Typed into the name field, as a user would; a name without extension.
            auto* name = d->findChild<QLineEdit*>("fileNameEdit");
            name->clear();
            QTest::keyClicks(name, "screen");
            static_cast<QDialog*>(d)->accept();
        });
        QVERIFY(platformSaveDialog(request, chosen));
        const QString dir = QString::fromStdString(dir_->path());
        QCOMPARE(seen,
                 (QStringList{"Save Screen", "Bitmap Files (*.bmp)", "All Files (*)",
                              "Bitmap Files (*.bmp)", dir, dir + "/Ostrel 560-01.bmp", "prompt"}));
        QCOMPARE(chosen, dir_->file("screen.bmp"));
    }

    void pumpRunsPendingWorkOnTheWindowThreadOnly() {
        QtPlatformHooks hooks;
        bool ran = false;
        QMetaObject::invokeMethod(
            qApp, [&] { ran = true; }, Qt::QueuedConnection);
        std::unique_ptr<QThread> worker(QThread::create([] { platformPumpOneMessage(); }));
        worker->start();
        worker->wait();
        QVERIFY(!ran);  // a worker's pump leaves the window's queue alone
        platformPumpOneMessage();
        QVERIFY(ran);
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
