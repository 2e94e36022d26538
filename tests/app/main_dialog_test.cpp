// The main window: its template, menus, settings menus and the way settings
// are kept, driven as a user would.
#include "app/main_dialog.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "app/app_options.h"
#include "app/comm_ports_dialog.h"
#include "app/dialog_template.h"
#include "app/lumagrab_app.h"
#include "app/main_menu.h"
#include "app_test_support.h"
#include "platform/platform.h"
#include "platform/registry_store.h"
#include "serial/serial_port.h"
#include "support/test_support.h"

namespace {

// The expected controls, read from the window's design rather than the code.
const ExpectedControl kTemplate102[] = {
    {3, "QPushButton", "&Download", 32, 74, 66, 14},
    {2, "QPushButton", "E&xit", 135, 74, 66, 14},
    {1009, "QGroupBox", "Device Info:", 7, 7, 139, 60},
    {1010, "QLabel", "Device Type:", 9, 19, 56, 13},
    {1012, "QLabel", "<Not Connected>", 67, 19, 77, 13},
    {1011, "QLabel", "Software Version:", 9, 33, 56, 13},
    {1013, "QLabel", "<Not Connected>", 67, 33, 77, 13},
    {5, "QPushButton", "&Query Device", 54, 47, 50, 14},
    {1007, "QGroupBox", "Comm Port:", 148, 7, 77, 60},
    {1005, "QRadioButton", "COM&1", 160, 18, 52, 14},
    {1006, "QRadioButton", "COM&2", 160, 32, 52, 14},
    {4, "QPushButton", "&Auto Detect", 161, 47, 50, 14},
    {1002, "QProgressBar", "", 7, 76, 194, 11},
    {1014, "QLabel", "Idle...", 205, 76, 20, 11},
};

// Menu 135 as "text id" lines, sub-menu items indented; "-" is a separator.
const QStringList kMenu135 = {
    "&File",
    "  &Query Device... 32772",
    "  &Auto Detect... 32773",
    "  &Download... 32774",
    "  -",
    "  E&xit 32777",
    "&Settings",
    "  Auto &Name 32778",
    "  Auto &Save 32779",
    "  -",
    "  Set &Baudrate",
    "    &Auto 32782",
    "    -",
    "    9600 32783",
    "    19200 32784",
    "    38400 32786",
    "    57600 32787",
    "    115200 32788",
    "  Set &Output Directory... 32776",
    "  Set Comm &Ports... 32790",
    "&Help",
    "  &Supported Products... 32780",
    "  &About Lumagrab... 32771",
};

const int kRateItems[] = {32782, 32783, 32784, 32786, 32787, 32788};

void describeMenu(const QMenu* menu, const QString& indent, QStringList& lines) {
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            lines << indent + "-";
        } else if (action->menu()) {
            lines << indent + action->text();
            describeMenu(action->menu(), indent + "  ", lines);
        } else {
            lines << indent + action->text() + " " + action->objectName().mid(2);
        }
    }
}

QWidget* control(MainDialog& d, int id) {
    return findControl<QWidget>(&d, id);
}

bool isChecked(MainDialog& d, int id) {
    const QAction* item = findMenuItem(d.menuBar(), id);
    return item && item->isCheckable() && item->isChecked();
}

bool isChosen(MainDialog& d, int radioId) {
    return qobject_cast<QRadioButton*>(control(d, radioId))->isChecked();
}

void choose(MainDialog& d, int id) {
    findMenuItem(d.menuBar(), id)->trigger();
}

std::vector<uint8_t> storedBytes(const std::string& path, const char* name) {
    const RegistryStore store(path, kSettingsKey);
    const RegistryValue* v = store.value(name);
    return v ? v->data : std::vector<uint8_t>{};
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> dir_;
    std::string path_;

    std::unique_ptr<MainDialog> openShown() {
        auto d = std::make_unique<MainDialog>(path_);
        d->show();
        if (!QTest::qWaitForWindowExposed(d.get()) || !waitUntilIdle(*d))
            qWarning("main window not exposed, or its search does not end");
        return d;
    }

  private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        path_ = dir_->file("Orvane/GPSLumagrab.reg");
    }
    void cleanup() { dir_.reset(); }

    void windowFollowsTemplate102AndStartsIdle() {
        auto d = openShown();
        const DialogUnits units(d->font());
        // Four horizontal units are one average character, eight vertical ones a line.
        QCOMPARE(units.toPixels(4, 8, 8, 16), QRect(units.baseWidth(), units.baseHeight(),
                                                    2 * units.baseWidth(), 2 * units.baseHeight()));
        const QString mismatch = templateMismatch(d.get(), 232, 95, kTemplate102);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
        for (const ExpectedControl& e : kTemplate102) {
            // Progress bar and percentage hidden and disabled, every command ready.
            const bool busyOnly = e.id == 1002 || e.id == 1014;
            QCOMPARE(control(*d, e.id)->isVisible() && control(*d, e.id)->isEnabled(), !busyOnly);
        }
        QVERIFY(qobject_cast<QPushButton*>(control(*d, 3))->isDefault());
        QVERIFY(qobject_cast<QLabel*>(control(*d, 1010))->alignment() & Qt::AlignRight);
        QVERIFY(qobject_cast<QLabel*>(control(*d, 1014))->alignment() & Qt::AlignRight);
        QCOMPARE(d->windowTitle(), QString("GPS Lumagrab"));
        QVERIFY(!d->windowIcon().isNull());
        QVERIFY(!(d->windowFlags() & Qt::WindowMinMaxButtonsHint));
        // A fixed size: the client area of the template under the menu bar.
        QCOMPARE(d->minimumSize(), d->maximumSize());
        QCOMPARE(d->height(), d->menuBar()->height() + units.toPixels(232, 95).height());

        QList<int> tabOrder;
        QWidget* w = control(*d, 3);
        QCOMPARE(QApplication::focusWidget(), w);
        do {
            if ((w->focusPolicy() & Qt::TabFocus) && w->objectName().startsWith("id"))
                tabOrder << w->objectName().mid(2).toInt();
            w = w->nextInFocusChain();
        } while (w != control(*d, 3));
        QCOMPARE(tabOrder, (QList<int>{3, 2, 5, 1005, 1006, 4}));
        QVERIFY(saveScreenshot(d.get(), "main_window"));
    }

    void menuBarIsMenu135AndEachMenuIsPicturedOpen() {
        auto d = openShown();
        QMenuBar* bar = d->menuBar();
        QStringList lines;
        for (const QAction* top : bar->actions()) {
            lines << top->text();
            describeMenu(top->menu(), "  ", lines);
        }
        QCOMPARE(lines, kMenu135);
        QCOMPARE(menuBarSubMenu(bar, 1)->title(), QString("&Settings"));
        QCOMPARE(subMenuAt(menuBarSubMenu(bar, 1), 3)->title(), QString("Set &Baudrate"));

        // The window with a menu (and perhaps one of its sub-menus) drawn
        // open over it, where they appear.
        const std::tuple<const char*, int, int> shots[] = {{"menu_file", 0, -1},
                                                           {"menu_settings", 1, -1},
                                                           {"menu_settings_baudrate", 1, 3},
                                                           {"menu_help", 2, -1}};
        for (const auto& [name, menu, subMenu] : shots) {
            QAction* title = bar->actions()[menu];
            std::vector<QMenu*> open = {title->menu()};
            open[0]->popup(bar->mapToGlobal(bar->actionGeometry(title).bottomLeft()));
            QVERIFY(QTest::qWaitForWindowExposed(open[0]));
            if (subMenu >= 0) {
                QAction* item = open[0]->actions()[subMenu];
                open.push_back(item->menu());
                open[1]->popup(open[0]->mapToGlobal(open[0]->actionGeometry(item).topRight()));
                QVERIFY(QTest::qWaitForWindowExposed(open[1]));
            }
            QRect area = d->rect();
            for (QMenu* m : open) area |= QRect(d->mapFromGlobal(m->pos()), m->size());
            QImage canvas(area.size(), QImage::Format_ARGB32);
            canvas.fill(Qt::white);
            QPainter painter(&canvas);
            painter.drawPixmap(-area.topLeft(), d->grab());
            for (QMenu* m : open)
                painter.drawPixmap(d->mapFromGlobal(m->pos()) - area.topLeft(), m->grab());
            painter.end();
            QVERIFY(saveScreenshot(canvas, name));
            for (QMenu* m : open) m->hide();
        }
    }

    void firstRunShowsTheDefaultsAndTheMenusKeepTheirRules() {
        MainDialog d(path_);
        QVERIFY(waitUntilIdle(d));
        QVERIFY(!RegistryStore(path_, kSettingsKey).keyCreatedNow());
        for (const char* name :
             {"OutputPath", "CommPort", "BaudRate", "AutoBaudRate", "AutoName", "AutoSave"}) {
            QVERIFY2(!storedBytes(path_, name).empty(), name);
        }
        QVERIFY(!isChecked(d, 32778) && !isChecked(d, 32779));
        QVERIFY(isChosen(d, 1005) && !isChosen(d, 1006));

        choose(d, 32779);  // Auto Save on
        QVERIFY(isChecked(d, 32779) && isChecked(d, 32778));
        choose(d, 32778);  // Auto Name cannot be switched off meanwhile
        QVERIFY(isChecked(d, 32778));
        QCOMPARE(d.settings().autoName, 1);
        choose(d, 32779);  // Auto Save off leaves Auto Name on
        QVERIFY(!isChecked(d, 32779) && isChecked(d, 32778));
        choose(d, 32778);
        QVERIFY(!isChecked(d, 32778));

        // The rate items carry one plain check mark, Auto's at first.
        for (int id : kRateItems) QCOMPARE(isChecked(d, id), id == 32782);
        for (size_t i = 0; i < std::size(kRateItems); ++i) {
            choose(d, kRateItems[i]);
            QCOMPARE(d.settings().baudRate, uint8_t(i + 1));
            for (int id : kRateItems) {
                QCOMPARE(isChecked(d, id), id == kRateItems[i]);
                QVERIFY(findMenuItem(d.menuBar(), id)->actionGroup() == nullptr);
            }
        }
        choose(d, 32788);  // choosing the checked item again keeps it checked
        QVERIFY(isChecked(d, 32788));
    }

    void storedFlagByteFFShowsCheckedAndOneToggleSavesZero() {
        const std::string path = writeSettingsFile(dir_->path(), "\"AutoName\"=hex:ff\n");
        {
            MainDialog d(path);
            QVERIFY(waitUntilIdle(d));
            QCOMPARE(d.settings().autoName, -1);
            QVERIFY(isChecked(d, 32778));
            choose(d, 32778);
            QVERIFY(!isChecked(d, 32778));
        }
        QCOMPARE(storedBytes(path, "AutoName"), std::vector<uint8_t>{0x00});
    }

    void outOfRangeStoredValuesStartWithoutHarm() {
        for (const uint8_t outOfRange : {0, 3}) {  // port 0 with rate 0, port 3 with rate 9
            const uint8_t rate = outOfRange ? 9 : 0;
            const std::string path = writeSettingsFile(
                dir_->path(), QString("\"CommPort\"=dword:%1\n\"BaudRate\"=dword:%2\n"
                                      "\"OutputPath\"=\"%3\"\n\"AutoBaudRate\"=dword:00000006\n")
                                  .arg(outOfRange, 8, 10, QChar('0'))
                                  .arg(rate, 8, 10, QChar('0'))
                                  .arg(QString(600, 'x'))
                                  .toStdString());
            ScopedMessageBoxRecorder messages;
            {
                MainDialog d(path);
                QVERIFY(!d.isVisible());  // the message comes before the window
                QVERIFY(waitUntilIdle(d));
                QCOMPARE(messages.shown().size(), size_t{1});
                QCOMPARE(messages.shown()[0].text,
                         std::string("ERROR:  Invalid Comm Port.  Please check the Comm Port "
                                     "setting.      "));
                QCOMPARE(messages.shown()[0].caption, std::string("GPS Lumagrab"));
                QCOMPARE(messages.shown()[0].style, msgbox::IconStop);
                QVERIFY(!isChosen(d, 1005) && !isChosen(d, 1006));
                QVERIFY(control(d, 3)->isEnabled());
                QCOMPARE(d.settings().baudRate, rate);
                for (int id : kRateItems) QVERIFY(!isChecked(d, id));
                QCOMPARE(std::string(d.settings().outputPathText()),
                         platformDefaultOutputDirectory());
            }
            QCOMPARE(storedBytes(path, "CommPort")[0], outOfRange);
            // No port was open: no rate to remember, so the next Auto start changes none.
            QCOMPARE(storedBytes(path, "AutoBaudRate"), std::vector<uint8_t>({0, 0, 0, 0}));
        }
    }

    void settingsAreSavedOnlyWhenTheWindowGoes_data() {
        QTest::addColumn<int>("way");
        QTest::newRow("Exit button") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("window close") << 2;
        QTest::newRow("File Exit") << 3;
    }
    void settingsAreSavedOnlyWhenTheWindowGoes() {
        QFETCH(int, way);
        auto d = openShown();
        choose(*d, 32788);
        choose(*d, 32779);
        QCOMPARE(storedBytes(path_, "BaudRate")[0], uint8_t{1});  // not yet
        if (way == 0)
            qobject_cast<QPushButton*>(control(*d, 2))->click();
        if (way == 1)
            QTest::keyClick(d.get(), Qt::Key_Escape);
        if (way == 2)
            d->close();
        if (way == 3)
            choose(*d, 32777);
        QVERIFY(!d->isVisible());
        QCOMPARE(d->result(), int(QDialog::Rejected));
        d.reset();
        QCOMPARE(storedBytes(path_, "BaudRate")[0], uint8_t{6});
        QCOMPARE(storedBytes(path_, "AutoSave"), std::vector<uint8_t>{1});
        QCOMPARE(storedBytes(path_, "AutoName"), std::vector<uint8_t>{1});
    }

    void applicationRunsTheDialogModallyAndEndsWithIt() {
        LumagrabApp app(path_);
        bool sawWindow = false;
        onNextModal<MainDialog>([&](MainDialog* d) {
            sawWindow = (d == app.mainWindow()) && d->isModal() && waitUntilIdle(*d);
            findMenuItem(d->menuBar(), 32783)->trigger();
            qobject_cast<QPushButton*>(findControl<QWidget>(d, 2))->click();
        });
        QCOMPARE(app.InitInstance(), false);
        QVERIFY(sawWindow);
        QCOMPARE(app.mainWindow(), nullptr);
        QCOMPARE(storedBytes(path_, "BaudRate")[0], uint8_t{2});
    }

    void unwritableSettingsDoNotStopTheProgram() {
        writeFileBytes(dir_->file("blocker"), {'x'});
        const std::string path = dir_->file("blocker/Orvane/GPSLumagrab.reg");
        {
            MainDialog d(path);
            QVERIFY(waitUntilIdle(d));
            QVERIFY(isChecked(d, 32782));
            choose(d, 32779);
            QVERIFY(isChecked(d, 32778));
        }
        QVERIFY(!fileExists(path));
    }

    void commandLineTakesSimulateWithAProductAndHelp_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("parse");
        QTest::addColumn<int>("product");  // -1: no simulation
        QTest::newRow("none") << QStringList{} << int(AppParse::Run) << -1;
        QTest::newRow("--simulate") << QStringList{"--simulate"} << int(AppParse::Run) << 144;
        QTest::newRow("--simulate=95") << QStringList{"--simulate=95"} << int(AppParse::Run) << 95;
        QTest::newRow("ID too large")
            << QStringList{"--simulate=65536"} << int(AppParse::Usage) << -1;
        QTest::newRow("empty ID") << QStringList{"--simulate="} << int(AppParse::Usage) << -1;
        QTest::newRow("unknown") << QStringList{"--simulation"} << int(AppParse::Usage) << -1;
        QTest::newRow("help wins") << QStringList{"--bogus", "-h"} << int(AppParse::Help) << -1;
    }
    void commandLineTakesSimulateWithAProductAndHelp() {
        QFETCH(QStringList, args);
        QFETCH(int, parse);
        QFETCH(int, product);
        std::vector<std::string> arguments;
        for (const QString& a : args) arguments.push_back(a.toStdString());
        AppOptions options;
        std::string error;
        QCOMPARE(int(parseAppArguments(arguments, options, error)), parse);
        QCOMPARE(error.empty(), parse != int(AppParse::Usage));
        QCOMPARE(options.simulate ? int(*options.simulate) : -1, product);
    }

    void portButtonsShowTheirDevicesAndCommPortsDialogChangesThem() {
        const std::string path = writeSettingsFile(
            dir_->path(), "\"Com2Device\"=\"/dev/serial/by-id/usb-adapter-port0\"\n");
        {
            MainDialog d(path);
            QCOMPARE(control(d, 1006)->toolTip(), QString("/dev/serial/by-id/usb-adapter-port0"));
            QCOMPARE(serialPortDevice(2), std::string("/dev/serial/by-id/usb-adapter-port0"));
            QVERIFY(waitUntilIdle(d));
            QVERIFY(!d.OnCommand(12345));
            onNextModal<CommPortsDialog>([](CommPortsDialog* dialog) {
                findControl<QComboBox>(dialog, 1034)->setEditText("/dev/ttyACM3");
                findControl<QPushButton>(dialog, 1)->click();
            });
            QVERIFY(d.OnCommand(32790));
            QCOMPARE(control(d, 1005)->toolTip(), QString("/dev/ttyACM3"));
            QCOMPARE(serialPortDevice(1), std::string("/dev/ttyACM3"));
        }
        const AppSettings stored = settingsRead(path);
        QCOMPARE(stored.com1Device, std::string("/dev/ttyACM3"));
    }
};

QTEST_MAIN(MainDialogTest)
#include "main_dialog_test.moc"
