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
#include "link/product_catalogue.h"
#include "link/product_list.h"
#include "serial/serial_port.h"
#include "support/test_support.h"

namespace {

const std::string kInvalidDirectory =
    "Invalid directory entered.  Please re-enter a valid directory.";

QPushButton* button(QWidget* dialog, int id) {
    return findControl<QPushButton>(dialog, id);
}

QLineEdit* directoryField(QWidget* dialog) {
    return findControl<QLineEdit>(dialog, 1020);
}

std::string currentDirectory() {
    return std::filesystem::current_path().string();
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> dir_;
    std::string startDirectory_;

    // A main window whose stored output directory is `outputPath`.
    std::unique_ptr<MainDialog> windowWithOutputPath(const std::string& outputPath) {
        return std::make_unique<MainDialog>(
            writeSettingsFile(dir_->path(), "\"OutputPath\"=\"" + outputPath + "\"\n"));
    }

  private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        startDirectory_ = currentDirectory();
    }
    void cleanup() {
        std::filesystem::current_path(startDirectory_);
        dir_.reset();
    }

    // --- Set Output Directory ----------------------------------------------

    void storedPathIsShownOnlyWhenItIsADirectoryAndCancelStoresWhatWasShown() {
        for (const bool present : {false, true}) {
            const std::string stored = present ? dir_->path() : dir_->file("gone");
            auto window = windowWithOutputPath(stored);
            QString shown = "not looked at";
            onNextModal<OutputDirectoryDialog>([&](OutputDirectoryDialog* d) {
                shown = directoryField(d)->text();
                directoryField(d)->setText("/");  // typed, not confirmed
                button(d, 2)->click();
            });
            window->OnCommand(32776);
            const std::string expected = present ? stored : std::string();
            QCOMPARE(shown.toStdString(), expected);
            QCOMPARE(std::string(window->settings().outputPathText()), expected);
        }
        // Showing a stored directory makes it the current one.
        QCOMPARE(currentDirectory(), std::filesystem::canonical(dir_->path()).string());
    }

    void wrongEntryIsRefusedUntilARightOneIsGivenAndStoredAsTyped() {
        auto window = windowWithOutputPath(dir_->path());
        std::filesystem::create_directory(dir_->file("lower case"));
        const QString wrong = QString::fromStdString(dir_->file("no such place"));
        const QString right = "lower case/";  // relative to the shown directory
        ScopedMessageBoxRecorder messages;
        bool stayedOpen = false;
        QString selected;
        std::string bufferAfterRefusal = "unset";
        int result = -1;
        onNextModal<OutputDirectoryDialog>([&](OutputDirectoryDialog* d) {
            directoryField(d)->setText(wrong);
            button(d, 1)->click();
            stayedOpen = d->isVisible();
            selected = directoryField(d)->selectedText();
            bufferAfterRefusal = d->path();
            directoryField(d)->setText(right);
            QTest::keyClick(directoryField(d), Qt::Key_Return);  // Enter is OK
            result = d->result();
        });
        window->OnCommand(32776);

        QCOMPARE(messages.shown().size(), size_t{1});
        QCOMPARE(messages.shown()[0].text, kInvalidDirectory);
        QCOMPARE(messages.shown()[0].caption, std::string("Set Output Directory"));
        QCOMPARE(messages.shown()[0].style, msgbox::Ok | msgbox::IconInformation);
        QVERIFY(stayedOpen);
        QCOMPARE(selected, wrong);
        QCOMPARE(bufferAfterRefusal, std::string());
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(QString::fromStdString(std::string(window->settings().outputPathText())), right);
        QCOMPARE(currentDirectory(), std::filesystem::canonical(dir_->file("lower case")).string());
    }

    void entryIsCutToFiveHundredElevenBytesBeforeItIsChecked() {
        // A directory whose path is exactly 511 characters long.
        std::string path = dir_->path();
        while (path.size() < 511)
            path += "/" + std::string(std::min<size_t>(200, 510 - path.size()), 'd');
        QCOMPARE(path.size(), size_t{511});
        std::filesystem::create_directories(path);
        const std::string typed = path + "/" + std::string(600 - 512, 'x');

        OutputDirectoryDialog dialog("", nullptr);
        dialog.show();
        QTest::keyClicks(directoryField(&dialog), QString::fromStdString(typed));
        QCOMPARE(directoryField(&dialog)->text().size(), qsizetype{600});
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.path(), path);
    }

    void browseFillsTheFieldFromAChooser() {
        std::filesystem::create_directory(dir_->file("picked"));
        OutputDirectoryDialog dialog(dir_->path(), nullptr);
        dialog.show();
        onNextModal<QFileDialog>([&](QFileDialog* chooser) {
            chooser->setDirectory(QString::fromStdString(dir_->file("picked")));
            static_cast<QDialog*>(chooser)->accept();  // as the Choose button does
        });
        button(&dialog, 1032)->click();
        QCOMPARE(directoryField(&dialog)->text(), QString::fromStdString(dir_->file("picked")));
    }

    // --- About ---------------------------------------------------------------

    void versionHistoryHasItsForm() {
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
    }

    void aboutShowsTheHistoryFromItsFirstLine() {
        AboutDialog about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.windowTitle(), QString("About GPSLumagrab"));
        auto* history = findControl<QPlainTextEdit>(&about, 1027);
        QVERIFY(history->isReadOnly());
        QCOMPARE(history->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(history->toPlainText(), QString(kVersionHistory).remove('\r'));
        QCOMPARE(history->cursorForPosition(QPoint(2, 2)).block().blockNumber(), 0);
        QCOMPARE(findControl<QLabel>(&about, 1021)->text(), QString("Version History:"));
        QVERIFY(button(&about, 1)->isDefault());
        QCOMPARE(QApplication::focusWidget(), button(&about, 1));
    }

    // --- Supported Products --------------------------------------------------

    void productListMatchesTheCatalogue() {
        SupportedProductsDialog dialog;
        QCOMPARE(dialog.windowTitle(), QString("Lumagrab Help"));
        QCOMPARE(findControl<QLabel>(&dialog, 1029)->text(), QString("Supported Products:"));
        QCOMPARE(findControl<QLabel>(&dialog, 1031)->text(), QString("Product IDs:"));
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
    }

    void openingClearsTheStickyErrorFlags() {
        serialSetRxOverrun(1);
        serialSetTxFull(1);
        serialSetOtherError(1);
        linkSetOverflow(1);
        SupportedProductsDialog dialog;
        QCOMPARE(serialRxOverrun(), uint8_t{0});
        QCOMPARE(serialTxFull(), uint8_t{0});
        QCOMPARE(serialOtherError(), uint8_t{0});
        QCOMPARE(linkOverflow(), uint8_t{0});
    }

    void productLinesPadToColumn27AndSortIgnoringCaseInArrivalOrder() {
        QCOMPARE(supportedProductLine("Abcd", 48), "Abcd" + std::string(22, ' ') + "48");
        QCOMPARE(supportedProductLine(std::string(25, 'n'), 7), std::string(25, 'n') + " 7");
        QCOMPARE(supportedProductLine(std::string(30, 'n'), 210), std::string(30, 'n') + " 210");
        std::vector<std::string> lines;
        for (const char* line : {"Zeta 1", "beta 3", "alpha 2", "Beta 3", "BETA 3"}) {
            insertSorted(lines, line);
        }
        QCOMPARE(lines,
                 (std::vector<std::string>{"alpha 2", "beta 3", "Beta 3", "BETA 3", "Zeta 1"}));
    }

    // --- Set Comm Ports ------------------------------------------------------

    void commPortsOffersTheDevicesAndKeepsTypedPaths() {
        const std::vector<std::string> present = {"/dev/serial/by-id/usb-X-port0", "/dev/ttyUSB0",
                                                  "/dev/ttyS0"};
        CommPortsDialog dialog("/dev/ttyS0", "/dev/ttyUSB7", nullptr, [&] { return present; });
        auto* com1 = findControl<QComboBox>(&dialog, 1034);
        auto* com2 = findControl<QComboBox>(&dialog, 1036);
        QStringList offered;
        for (int i = 0; i < com1->count(); ++i) offered << com1->itemText(i);
        QCOMPARE(offered,
                 (QStringList{"/dev/serial/by-id/usb-X-port0", "/dev/ttyUSB0", "/dev/ttyS0"}));
        QCOMPARE(com1->currentText(), QString("/dev/ttyS0"));
        QCOMPARE(com2->currentText(), QString("/dev/ttyUSB7"));  // absent now, kept anyway

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
        QCOMPARE(dialog.com1Device(), std::string("/dev/serial/by-id/usb-X-port0"));
        QCOMPARE(dialog.com2Device(), std::string("/dev/ttyACM0"));
    }

    // --- The Qt side of the platform seams -----------------------------------

    void messageBoxShowsCaptionTextIconAndReturnsTheButton_data() {
        QTest::addColumn<uint>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("answer");
        QTest::newRow("stop, OK") << uint(msgbox::IconStop) << int(QMessageBox::Critical)
                                  << int(QMessageBox::Ok) << msgbox::IdOk;
        QTest::newRow("exclamation, cancel")
            << uint(msgbox::OkCancel | msgbox::IconExclamation) << int(QMessageBox::Warning)
            << int(QMessageBox::Cancel) << msgbox::IdCancel;
        QTest::newRow("information, yes")
            << uint(msgbox::YesNo | msgbox::IconInformation) << int(QMessageBox::Information)
            << int(QMessageBox::Yes) << msgbox::IdYes;
        QTest::newRow("question, no")
            << uint(msgbox::YesNo | msgbox::IconQuestion) << int(QMessageBox::Question)
            << int(QMessageBox::No) << msgbox::IdNo;
    }
    void messageBoxShowsCaptionTextIconAndReturnsTheButton() {
        QFETCH(uint, style);
        QFETCH(int, icon);
        QFETCH(int, press);
        QFETCH(int, answer);
        installQtPlatformHooks();
        QStringList seen;
        onNextModal<QMessageBox>([&](QMessageBox* box) {
            seen << box->windowTitle() << box->text() << QString::number(box->icon());
            box->button(QMessageBox::StandardButton(press))->click();
        });
        const int result = platformMessageBox("Line one   \nLine two", "Caption", style);
        removeQtPlatformHooks();
        QCOMPARE(result, answer);
        QCOMPARE(seen, (QStringList{"Caption", "Line one   \nLine two", QString::number(icon)}));
    }

    void messageBoxFromAWorkerThreadIsShownOnTheWindowThread() {
        installQtPlatformHooks();
        QThread* shownOn = nullptr;
        onNextModal<QMessageBox>([&](QMessageBox* box) {
            shownOn = QThread::currentThread();
            box->button(QMessageBox::Yes)->click();
        });
        std::atomic<int> answer{0};
        std::unique_ptr<QThread> worker(QThread::create(
            [&] { answer = platformMessageBox("Replace it?", "Lumagrab", msgbox::YesNo); }));
        worker->start();
        QTRY_VERIFY_WITH_TIMEOUT(worker->isFinished(), 10000);
        worker->wait();
        removeQtPlatformHooks();
        QCOMPARE(answer.load(), msgbox::IdYes);
        QCOMPARE(shownOn, QApplication::instance()->thread());
    }

    void saveDialogOffersTheRequestAddsTheExtensionAndCancelChoosesNothing() {
        installQtPlatformHooks();
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
        const bool saved = platformSaveDialog(request, chosen);
        removeQtPlatformHooks();
        QVERIFY(saved);
        const QString dir = QString::fromStdString(dir_->path());
        QCOMPARE(seen,
                 (QStringList{"Save Screen", "Bitmap Files (*.bmp)", "All Files (*)",
                              "Bitmap Files (*.bmp)", dir, dir + "/Ostrel 560-01.bmp", "prompt"}));
        QCOMPARE(chosen, dir_->file("screen.bmp"));
    }

    void pumpRunsPendingWorkOnTheWindowThreadOnly() {
        installQtPlatformHooks();
        bool ran = false;
        QMetaObject::invokeMethod(
            qApp, [&] { ran = true; }, Qt::QueuedConnection);
        std::unique_ptr<QThread> worker(QThread::create([] { platformPumpOneMessage(); }));
        worker->start();
        worker->wait();
        QVERIFY(!ran);  // a worker's pump leaves the window's queue alone
        platformPumpOneMessage();
        removeQtPlatformHooks();
        QVERIFY(ran);
    }
};

QTEST_MAIN(DialogsTest)
#include "dialogs_test.moc"
