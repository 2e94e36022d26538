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
#include <cctype>
#include <filesystem>
#include <memory>

#include "app/about_dialog.h"
#include "app/comm_ports_dialog.h"
#include "app/dialog_template.h"
#include "app/main_dialog.h"
#include "app/output_directory_dialog.h"
#include "link/product_list.h"
#include "app/qt_platform_hooks.h"
#include "app/supported_products_dialog.h"
#include "app/version_history.h"
#include "app_test_support.h"
#include "link/packet_link.h"
#include "link/product_catalogue.h"
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

// The capturable products read straight from the catalogue table, in the
// order of a case-insensitive sort that keeps equal lines in ID order.
QStringList expectedProductLines() {
    std::vector<std::string> lines;
    for (uint32_t id = 0; id < kCatalogueSize; ++id) {
        const ProductRecord& p = ProductCatalogue[id];
        const bool capturable =
            p.screenType != 0 && p.recordFormat != 0 && (p.palette != nullptr || p.screenType == 4);
        if (!capturable)
            continue;
        std::string line = p.name;
        line += std::string(line.size() < 26 ? 26 - line.size() : 1, ' ') + std::to_string(id);
        lines.push_back(line);
    }
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    std::stable_sort(lines.begin(), lines.end(), [&](const std::string& a, const std::string& b) {
        return lower(a) < lower(b);
    });
    QStringList result;
    for (const std::string& line : lines) result << QString::fromStdString(line);
    return result;
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

    void storedDirectoryThatIsGoneShowsEmptyAndCancelEmptiesIt() {
        auto window = windowWithOutputPath(dir_->file("gone"));
        QString shown = "not looked at";
        onNextModal<OutputDirectoryDialog>([&](OutputDirectoryDialog* d) {
            shown = directoryField(d)->text();
            directoryField(d)->setText(
                QString::fromStdString(dir_->path()));  // typed, not confirmed
            button(d, 2)->click();
        });
        window->OnCommand(32776);
        QCOMPARE(shown, QString());
        QCOMPARE(std::string(window->settings().outputPathText()), std::string());
    }

    void validStoredDirectoryIsShownAndBecomesCurrent() {
        auto window = windowWithOutputPath(dir_->path());
        QString shown;
        onNextModal<OutputDirectoryDialog>([&](OutputDirectoryDialog* d) {
            shown = directoryField(d)->text();
            button(d, 2)->click();
        });
        window->OnCommand(32776);
        QCOMPARE(shown, QString::fromStdString(dir_->path()));
        QCOMPARE(currentDirectory(), std::filesystem::canonical(dir_->path()).string());
        QCOMPARE(std::string(window->settings().outputPathText()), dir_->path());
    }

    void wrongEntryIsRefusedUntilARightOneIsGiven() {
        auto window = windowWithOutputPath(dir_->path());
        std::filesystem::create_directory(dir_->file("lower case"));
        const QString wrong = QString::fromStdString(dir_->file("no such place"));
        const QString right = QString::fromStdString(dir_->file("lower case")) + "/";
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
        // Stored as typed: lower case and trailing separator kept.
        QCOMPARE(QString::fromStdString(std::string(window->settings().outputPathText())), right);
        QCOMPARE(currentDirectory(), std::filesystem::canonical(dir_->file("lower case")).string());
    }

    void relativeEntryIsCheckedAgainstTheCurrentDirectoryAndKeptRelative() {
        std::filesystem::create_directory(dir_->file("shots"));
        std::filesystem::current_path(dir_->path());
        OutputDirectoryDialog dialog("", nullptr);
        directoryField(&dialog)->setText("shots");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.path(), std::string("shots"));
        QCOMPARE(currentDirectory(), std::filesystem::canonical(dir_->file("shots")).string());
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
        const std::string text = kVersionHistory;
        QCOMPARE(text.size(), size_t{1355});
        QVERIFY(text.ends_with("\r\n"));
        QCOMPARE(std::count(text.begin(), text.end(), '\n'),
                 std::count(text.begin(), text.end(), '\r'));
        const QStringList lines = QString::fromStdString(text).split("\r\n");
        QCOMPARE(lines.last(), QString());  // after the final CR LF

        const QRegularExpression heading(
            R"(^Version (\d+)\.(\d+)\.(\d+):\t\((\d\d)-(\d\d)-(\d{4})\)$)");
        QList<QStringList> entries = {{}};
        for (const QString& line : lines.mid(0, lines.size() - 1)) {
            QVERIFY2(line.size() <= 60, qPrintable(line));
            QVERIFY(!line.contains('\r') && !line.contains('\n'));
            if (line.isEmpty()) {
                entries.append(QStringList());
            } else {
                entries.last() << line;
            }
        }
        QCOMPARE(entries.size(), qsizetype{11});
        QString previousVersion, previousDate;
        for (const QStringList& entry : entries) {
            QVERIFY(entry.size() >= 2 && entry.size() <= 4);
            const auto match = heading.match(entry.first());
            QVERIFY2(match.hasMatch(), qPrintable(entry.first()));
            QVERIFY(match.captured(4).toInt() >= 1 && match.captured(4).toInt() <= 12);
            QVERIFY(match.captured(5).toInt() >= 1 && match.captured(5).toInt() <= 31);
            const QString version = QString("%1.%2.%3")
                                        .arg(match.captured(1).toInt(), 3, 10, QChar('0'))
                                        .arg(match.captured(2).toInt(), 3, 10, QChar('0'))
                                        .arg(match.captured(3).toInt(), 3, 10, QChar('0'));
            const QString date = match.captured(6) + match.captured(4) + match.captured(5);
            if (!previousVersion.isEmpty()) {  // newest first
                QVERIFY(version < previousVersion);
                QVERIFY(date < previousDate);
            }
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
        for (const char* c : {"i", " ", "W", "7"}) {
            QCOMPARE(metrics.horizontalAdvance(c), metrics.horizontalAdvance("m"));
        }

        QStringList shown;
        for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
        const QStringList expected = expectedProductLines();
        QCOMPARE(shown.size(), qsizetype{87});
        QCOMPARE(shown, expected);
        for (const QString& line : shown) {
            QVERIFY(!line.startsWith("Invalid Device"));
            const qsizetype gap = line.lastIndexOf(' ');
            if (gap < 26)
                QCOMPARE(gap, qsizetype{25});  // short names: the ID starts in column 27
        }
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

    void productLinesPadToColumn27WithAtLeastOneBlank() {
        QCOMPARE(supportedProductLine("Abcd", 48), "Abcd" + std::string(22, ' ') + "48");
        QCOMPARE(supportedProductLine(std::string(25, 'n'), 7), std::string(25, 'n') + " 7");
        QCOMPARE(supportedProductLine(std::string(30, 'n'), 210), std::string(30, 'n') + " 210");
        QCOMPARE(supportedProductLine("", 0), std::string(26, ' ') + "0");
    }

    void listOrderIgnoresCaseAndKeepsEqualLinesInArrivalOrder() {
        std::vector<std::string> lines;
        for (const char* line : {"Zeta 1", "beta 3", "alpha 2", "Beta 3", "BETA 3"}) {
            insertSorted(lines, line);
        }
        QCOMPARE(lines,
                 (std::vector<std::string>{"alpha 2", "beta 3", "Beta 3", "BETA 3", "Zeta 1"}));
        QVERIFY(listOrderLess("a", "B") && listOrderLess("B", "c"));
        QVERIFY(!listOrderLess("ABC", "abc") && !listOrderLess("abc", "ABC"));
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
        QTest::newRow("exclamation") << uint(msgbox::IconExclamation) << int(QMessageBox::Warning)
                                     << int(QMessageBox::Ok) << msgbox::IdOk;
        QTest::newRow("information")
            << uint(msgbox::IconInformation) << int(QMessageBox::Information)
            << int(QMessageBox::Ok) << msgbox::IdOk;
        QTest::newRow("no icon") << uint(msgbox::Ok) << int(QMessageBox::NoIcon)
                                 << int(QMessageBox::Ok) << msgbox::IdOk;
        QTest::newRow("question, no")
            << uint(msgbox::YesNo | msgbox::IconQuestion) << int(QMessageBox::Question)
            << int(QMessageBox::No) << msgbox::IdNo;
        QTest::newRow("yes") << uint(msgbox::YesNo) << int(QMessageBox::NoIcon)
                             << int(QMessageBox::Yes) << msgbox::IdYes;
        QTest::newRow("cancel") << uint(msgbox::OkCancel) << int(QMessageBox::NoIcon)
                                << int(QMessageBox::Cancel) << msgbox::IdCancel;
    }
    void messageBoxShowsCaptionTextIconAndReturnsTheButton() {
        QFETCH(uint, style);
        QFETCH(int, icon);
        QFETCH(int, press);
        QFETCH(int, answer);
        installQtPlatformHooks();
        const std::string text = "Line one   \nLine two";
        QString title, shownText;
        int shownIcon = -1;
        onNextModal<QMessageBox>([&](QMessageBox* box) {
            title = box->windowTitle();
            shownText = box->text();
            shownIcon = box->icon();
            box->button(QMessageBox::StandardButton(press))->click();
        });
        const int result = platformMessageBox(text, "Caption", style);
        removeQtPlatformHooks();
        QCOMPARE(result, answer);
        QCOMPARE(title, QString("Caption"));
        QCOMPARE(shownText, QString::fromStdString(text));
        QCOMPARE(shownIcon, icon);
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

    void saveDialogOffersTheRequestAndAddsTheExtension() {
        installQtPlatformHooks();
        SaveDialogRequest request;
        request.title = "Save Screen";
        request.filters = {{"Bitmap Files (*.bmp)", "*.bmp"}, {"All Files (*.*)", "*.*"}};
        request.initialDirectory = dir_->path();
        request.fileName = "Ostrel 560-01.bmp";
        request.defaultExtension = "bmp";
        request.overwritePrompt = true;
        QString title, selectedFilter, directory;
        QStringList filters, proposed;
        bool confirmsOverwrite = false;
        onNextModal<QFileDialog>([&](QFileDialog* d) {
            title = d->windowTitle();
            filters = d->nameFilters();
            selectedFilter = d->selectedNameFilter();
            directory = d->directory().absolutePath();
            proposed = d->selectedFiles();
            confirmsOverwrite = !d->testOption(QFileDialog::DontConfirmOverwrite);
            // Typed into the name field, as a user would; a name without extension.
            auto* name = d->findChild<QLineEdit*>("fileNameEdit");
            name->clear();
            QTest::keyClicks(name, "screen");
            static_cast<QDialog*>(d)->accept();
        });
        std::string chosen;
        const bool saved = platformSaveDialog(request, chosen);
        removeQtPlatformHooks();
        QVERIFY(saved);
        QCOMPARE(title, QString("Save Screen"));
        QCOMPARE(filters, (QStringList{"Bitmap Files (*.bmp)", "All Files (*)"}));
        QCOMPARE(selectedFilter, QString("Bitmap Files (*.bmp)"));
        QCOMPARE(directory, QString::fromStdString(dir_->path()));
        QCOMPARE(proposed, QStringList{QString::fromStdString(dir_->file("Ostrel 560-01.bmp"))});
        QVERIFY(confirmsOverwrite);
        QCOMPARE(chosen, dir_->file("screen.bmp"));
    }

    void cancelledSaveDialogChoosesNothing() {
        installQtPlatformHooks();
        onNextModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
        std::string chosen = "untouched";
        const bool saved = platformSaveDialog(SaveDialogRequest{}, chosen);
        removeQtPlatformHooks();
        QVERIFY(!saved);
        QCOMPARE(chosen, std::string("untouched"));
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
