// The main window's device commands, its search at start-up and its closing,
// against the virtual receiver on a pseudo-terminal that the settings name
// as port 1 (Com1Device). The window runs offscreen; message boxes and the
// Save dialog go through recording seams unless a test shows the real ones.
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>

#include "app/dialog_template.h"
#include "app/main_dialog.h"
#include "app/main_menu.h"
#include "app/resource_ids.h"
#include "app/window_thread.h"
#include "app_test_support.h"
#include "capture/bitmap_file.h"
#include "cli/cli_app.h"
#include "platform/platform.h"
#include "platform/registry_store.h"
#include "serial/serial_port.h"
#include "session/device_messages.h"
#include "sim/sim_wire.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"

Q_DECLARE_METATYPE(DeviceMessage)

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint16_t kProduct = sim::kDefaultSimulatedProduct;

QWidget* control(MainDialog& d, int id) {
    return findControl<QWidget>(&d, id);
}

QString text(MainDialog& d, int id) {
    return qobject_cast<QLabel*>(control(d, id))->text();
}

bool isChosen(MainDialog& d, int radioId) {
    return qobject_cast<QRadioButton*>(control(d, radioId))->isChecked();
}

// What the window shows of the busy layout and the command menus, as one line.
QString layoutOf(MainDialog& d) {
    auto shown = [&](int id) { return control(d, id)->isVisible() && control(d, id)->isEnabled(); };
    QString line;
    for (int id : {3, 2, 1002, 1014}) line += shown(id) ? "+" : "-";
    line += " menus ";
    for (int id : {32774, 32772, 32773})
        line += findMenuItem(d.menuBar(), id)->isEnabled() ? "+" : "-";
    line += menuBarSubMenu(d.menuBar(), 1)->menuAction()->isEnabled() ? "+" : "-";
    line += menuBarSubMenu(d.menuBar(), 2)->menuAction()->isEnabled() ? "+" : "-";
    return line;
}
const QString kIdleLayout = "++-- menus +++++";
const QString kDownloadLayout = "--++ menus ----+";

bool idleAndReady(MainDialog& d) {
    for (int id : res::kCommandControls) {
        if (!control(d, id)->isEnabled())
            return false;
    }
    return layoutOf(d) == kIdleLayout;
}

// A message as it was shown, with whether the progress display was up then.
struct Shown {
    std::string text;
    std::string caption;
    uint32_t style;
    bool busyLayout;
};

// Records every message box (from any thread) and answers OK.
class MessageLog {
  public:
    explicit MessageLog(MainDialog*& window) {
        platformSetMessageBoxHook([this, &window](const std::string& text,
                                                  const std::string& caption, uint32_t style) {
            const bool busy =
                window && runOnWindowThread([&] { return control(*window, 1002)->isVisible(); });
            std::lock_guard lock(mutex_);
            shown_.push_back({text, caption, style, busy});
            return msgbox::IdOk;
        });
    }
    ~MessageLog() { platformSetMessageBoxHook(nullptr); }
    std::vector<Shown> shown() const {
        std::lock_guard lock(mutex_);
        return shown_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Shown> shown_;
};

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        names.push_back(entry.path().filename().string());
    return names;
}

size_t heardPackets(const VirtualReceiver& r, uint8_t id) {
    size_t count = 0;
    for (const sim::LoggedPacket& p : r.packets()) count += p.heard && p.id == id;
    return count;
}

QString dword(const char* name, int value) {
    return QString("\"%1\"=dword:%2\n").arg(name).arg(value, 8, 16, QChar('0'));
}

// Auto Name and Auto Save are kept as one byte.
QString flag(const char* name, int value) {
    return QString("\"%1\"=hex:%2\n").arg(name).arg(value, 2, 16, QChar('0'));
}

}  // namespace

class DeviceCommandsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<TempDir> dir_;
    std::vector<std::unique_ptr<VirtualReceiver>> receivers_;
    MainDialog* window_ = nullptr;  // for the message log
    std::unique_ptr<MessageLog> messages_;

    VirtualReceiver* play(sim::Config config, const char* fault = "") {
        if (*fault && !sim::applyFault(fault, config.faults))
            return nullptr;
        receivers_.push_back(std::make_unique<VirtualReceiver>(std::move(config)));
        return receivers_.back()->start() ? receivers_.back().get() : nullptr;
    }

    // The settings store: port 1 and 2 on the given devices (a missing
    // device when empty), the output directory "out", and `lines`.
    std::string store(const std::string& port1, const QString& lines = {},
                      const std::string& port2 = {}) {
        const std::string out = dir_->file("out");
        std::filesystem::create_directories(out);
        return writeSettingsFile(
            dir_->path(),
            QString("\"Com1Device\"=\"%1\"\n\"Com2Device\"=\"%2\"\n\"OutputPath\"=\"%3\"\n")
                    .arg(QString::fromStdString(port1.empty() ? dir_->file("none1") : port1),
                         QString::fromStdString(port2.empty() ? dir_->file("none2") : port2),
                         QString::fromStdString(out))
                    .toStdString() +
                lines.toStdString());
    }

    // The window, shown, once its search at start-up has ended.
    std::unique_ptr<MainDialog> open(const std::string& storePath) {
        auto d = std::make_unique<MainDialog>(storePath);
        window_ = d.get();
        d->show();
        d->activateWindow();
        if (!QTest::qWaitForWindowActive(d.get()) || !waitUntilIdle(*d))
            qWarning("the window did not show, or its search did not end");
        return d;
    }

    void close(std::unique_ptr<MainDialog>& d) {
        window_ = nullptr;
        d.reset();
    }

    std::vector<uint8_t> stored(const std::string& path, const char* name) {
        const RegistryStore settings(path, kSettingsKey);
        const RegistryValue* v = settings.value(name);
        return v ? v->data : std::vector<uint8_t>{};
    }

  private slots:
    void init() {
        dir_ = std::make_unique<TempDir>();
        messages_ = std::make_unique<MessageLog>(window_);
    }
    void cleanup() {
        messages_.reset();
        receivers_.clear();
        dir_.reset();
    }

    void startUpFindsTheReceiverAtTheRateTheSettingsName_data() {
        QTest::addColumn<uint>("receiverRate");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("autoBaudRate");
        QTest::addColumn<bool>("found");
        QTest::newRow("at 9600") << 9600u << 1 << 0 << true;
        QTest::newRow("left at 115200, Auto remembering 115200") << 115200u << 1 << 6 << true;
        QTest::newRow("38400 chosen, receiver there") << 38400u << 4 << 6 << true;
        QTest::newRow("first run Auto, receiver at 19200") << 19200u << 1 << 0 << false;
    }
    void startUpFindsTheReceiverAtTheRateTheSettingsName() {
        QFETCH(uint, receiverRate);
        QFETCH(int, baudRate);
        QFETCH(int, autoBaudRate);
        QFETCH(bool, found);
        sim::Config config = sim::presetForProduct(kProduct);
        config.version = 412;
        config.initialRate = receiverRate;
        VirtualReceiver* r = play(config);
        QVERIFY(r);
        auto d = open(store(r->slavePath(),
                            dword("BaudRate", baudRate) + dword("AutoBaudRate", autoBaudRate)));
        QCOMPARE(text(*d, 1012),
                 QString(found ? ProductCatalogue[kProduct].name : "<Not Connected>"));
        QCOMPARE(text(*d, 1013), QString(found ? "4.12" : "<Not Connected>"));
        QVERIFY(messages_->shown().empty());
        QVERIFY(idleAndReady(*d));
        QCOMPARE(QApplication::focusWidget(), control(*d, 3));
        // The port moved to the remembered rate without a word to the receiver.
        QCOMPARE(heardPackets(*r, sim::wire::packet::RateChangeRequest), size_t{0});
        if (!found) {
            for (const sim::LoggedPacket& p : r->packets())
                QCOMPARE(p.lineRate, 9600u);  // nothing remembered: both checks at 9600
        }
        QCOMPARE(heardPackets(*r, sim::wire::packet::ProductQuery), size_t{found});
    }

    // Each failure gives its message with its icon, caption and OK only;
    // messages after the link check answered come with the progress shown.
    void failuresShowTheirMessage_data() {
        QTest::addColumn<int>("product");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("baudRate");
        QTest::addColumn<int>("command");
        QTest::addColumn<DeviceMessage>("message");
        QTest::addColumn<bool>("busy");     // shown over the progress display
        QTest::addColumn<bool>("cleared");  // device texts "<Not Connected>" afterwards
        QTest::newRow("download, nobody answers")
            << 144 << "silent" << 1 << 3 << DeviceMessage::NoResponse << false << true;
        QTest::newRow("query, no product reply")
            << 144 << "no-product" << 1 << 32772 << DeviceMessage::NoResponse << false << true;
        QTest::newRow("auto detect, nobody anywhere")
            << 144 << "silent" << 1 << 4 << DeviceMessage::NotFound << false << true;
        QTest::newRow("COM1, nobody")
            << 144 << "silent" << 1 << 1005 << DeviceMessage::NotFound << false << true;
        QTest::newRow("download, no screen capture")
            << 1 << "" << 1 << 32774 << DeviceMessage::NotSupported << true << false;
        QTest::newRow("download, rate refused")
            << 144 << "refuse-rate" << 5 << 3 << DeviceMessage::BaudRate << true << false;
        QTest::newRow("download, silent after the header")
            << 144 << "stop-after-header" << 2 << 3 << DeviceMessage::NoResponse << true << true;
        QTest::newRow("download, line dropped")
            << 144 << "drop-line" << 2 << 3 << DeviceMessage::SerialError << true << false;
    }
    void failuresShowTheirMessage() {
        QFETCH(int, product);
        QFETCH(QString, fault);
        QFETCH(int, baudRate);
        QFETCH(int, command);
        QFETCH(DeviceMessage, message);
        QFETCH(bool, busy);
        QFETCH(bool, cleared);
        ScopedSleepRecorder noPauses;
        sim::Config config = sim::presetForProduct(uint16_t(product));
        VirtualReceiver* r = play(config, fault.toLatin1().constData());
        QVERIFY(r);
        auto d = open(store(r->slavePath(), dword("BaudRate", baudRate)));
        const size_t before = messages_->shown().size();
        QVERIFY(d->OnCommand(command));
        QVERIFY(waitUntilIdle(*d));
        const std::vector<Shown> shown = messages_->shown();
        QCOMPARE(shown.size(), before + 1);
        QCOMPARE(shown.back().text, deviceMessageText(message));
        QCOMPARE(shown.back().caption, std::string("GPS Lumagrab"));
        QCOMPARE(shown.back().style, deviceMessageStyle(message));
        QCOMPARE(shown.back().busyLayout, busy);
        QCOMPARE(text(*d, 1012) == "<Not Connected>", cleared);
        QCOMPARE(d->deviceInfo().screenType == 0, cleared || product == 1);
        QVERIFY(idleAndReady(*d));
        QVERIFY(filesIn(dir_->file("out")).empty());
    }

    // Every message of the window, as the real box shows it: each padded
    // line whole on one line of the label, its icon, the caption, OK only.
    void everyMessageBoxShowsItsLinesWhole_data() {
        QTest::addColumn<DeviceMessage>("message");
        QTest::addColumn<int>("icon");
        const std::pair<const char*, QMessageBox::Icon> names[] = {
            {"no_response", QMessageBox::Warning},    {"baud_rate", QMessageBox::Warning},
            {"not_found", QMessageBox::Information},  {"not_supported", QMessageBox::NoIcon},
            {"out_of_memory", QMessageBox::Critical}, {"invalid_palette", QMessageBox::Critical},
            {"tx_full", QMessageBox::Critical},       {"rx_overrun", QMessageBox::Critical},
            {"serial_error", QMessageBox::Critical},  {"packet_overrun", QMessageBox::Critical},
            {"invalid_port", QMessageBox::Critical},
        };
        static_assert(std::size(names) == size_t(DeviceMessage::Count));
        for (int m = 0; m < int(DeviceMessage::Count); ++m)
            QTest::newRow(QByteArray("message_") + names[m].first)
                << DeviceMessage(m) << int(names[m].second);
    }
    void everyMessageBoxShowsItsLinesWhole() {
        QFETCH(DeviceMessage, message);
        QFETCH(int, icon);
        messages_.reset();
        QtPlatformHooks hooks;
        auto d = open(store(""));
        const QString expected = QString::fromStdString(deviceMessageText(message));
        QString seen;
        int lines = 0;
        bool wholeWidth = false;
        QList<QAbstractButton*> buttons;
        onNextModal<QMessageBox>([&](QMessageBox* box) {
            auto* label = box->findChild<QLabel*>("qt_msgbox_label");
            const QFontMetrics metrics(label->font());
            seen = QString("%1|%2|%3|%4")
                       .arg(box->text(), box->windowTitle())
                       .arg(box->icon())
                       .arg(box->parentWidget() == d.get());
            // Lines on the label: its height in lines of its font.
            lines = qRound(double(label->contentsRect().height()) / metrics.lineSpacing());
            int widest = 0;
            for (const QString& line : expected.split('\n'))
                widest = std::max(widest, metrics.horizontalAdvance(line));
            wholeWidth = !label->wordWrap() && label->contentsRect().width() >= widest;
            buttons = box->buttons();
            saveScreenshot(box, QTest::currentDataTag());
            box->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(d->ShowMessage(expected.toStdString(), deviceMessageStyle(message)), msgbox::IdOk);
        QCOMPARE(seen, QString("%1|GPS Lumagrab|%2|1").arg(expected).arg(icon));
        QCOMPARE(lines, int(expected.count('\n')) + 1);
        QVERIFY(wholeWidth);
        QCOMPARE(buttons.size(), 1);
    }

    // Download with Auto Save: the busy layout while it runs, no second
    // command under it, the same file the CLI writes, the rate remembered.
    void downloadWithAutoSaveWritesWhatTheCliWrites() {
        ScopedSleepRecorder noPauses;
        VirtualReceiver* r = play(sim::presetForProduct(kProduct), "gap=0.02");
        QVERIFY(r);
        const std::string path = store(r->slavePath(), dword("BaudRate", 5) + flag("AutoSave", 1));
        auto d = open(path);
        const size_t queries = heardPackets(*r, sim::wire::packet::ProductQuery);
        QSet<QString> layouts;
        bool pictured = false;
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, [&] {
            layouts << layoutOf(*d);
            const QString percent = text(*d, 1014);
            if (!pictured && percent.endsWith('%') && percent != "0%") {
                pictured = saveScreenshot(d.get(), "busy_download");
                d->OnCommand(32772);  // Query Device: ignored while the download runs
                d->OnCommand(32779);  // Auto Save off: ignored too
            }
        });
        sampler.start(5);
        QVERIFY(d->OnCommand(3));
        QVERIFY(waitUntilIdle(*d));
        sampler.stop();
        QVERIFY(pictured);
        QVERIFY2(layouts.contains(kDownloadLayout),
                 qPrintable(QStringList(layouts.values()).join(", ")));
        QVERIFY(idleAndReady(*d));
        QCOMPARE(text(*d, 1014), QString("Idle..."));
        QCOMPARE(heardPackets(*r, sim::wire::packet::ProductQuery), queries);
        QCOMPARE(d->settings().autoSave, 1);
        QVERIFY(messages_->shown().empty());
        const std::string name = std::string(ProductCatalogue[kProduct].name);
        std::string expectedName = name;
        std::erase(expectedName, ' ');
        QCOMPARE(filesIn(dir_->file("out")), std::vector<std::string>{expectedName + "-01.bmp"});
        const std::string windowFile = dir_->file("out/" + expectedName + "-01.bmp");
        sim::Picture captured;
        std::string error;
        QVERIFY2(sim::loadPictureBmp(windowFile, captured, error), error.c_str());
        QVERIFY(captured == r->expectedPicture());
        close(d);
        QCOMPARE(stored(path, "AutoBaudRate"), std::vector<uint8_t>({5, 0, 0, 0}));

        std::ostringstream out, err;
        const std::string cliFile = dir_->file("cli.bmp");
        QCOMPARE(runCli({"--port", r->slavePath(), "--baud", "57600", "-o", cliFile, "capture"},
                        CliContext{out, err, path, false}),
                 int(ExitDone));
        QVERIFY(readFileBytes(windowFile) == readFileBytes(cliFile));
    }

    // Without Auto Save the Save dialog asks, proposing a generated name with
    // Auto Name and nothing without.
    void saveDialogProposesAGeneratedNameOnlyWithAutoName_data() {
        QTest::addColumn<int>("autoName");
        QTest::newRow("Auto Name") << 1;
        QTest::newRow("plain Save") << 0;
    }
    void saveDialogProposesAGeneratedNameOnlyWithAutoName() {
        QFETCH(int, autoName);
        ScopedSleepRecorder noPauses;
        VirtualReceiver* r = play(sim::presetForProduct(kProduct));
        QVERIFY(r);
        auto d = open(store(r->slavePath(), dword("BaudRate", 2) + flag("AutoName", autoName)));
        std::string proposed = "(none)";
        const std::string chosen = dir_->file("chosen.bmp");
        platformSetSaveDialogHook([&](const SaveDialogRequest& request, std::string& answer) {
            proposed = request.fileName;
            answer = chosen;
            return true;
        });
        QVERIFY(d->OnCommand(32774));
        QVERIFY(waitUntilIdle(*d));
        platformSetSaveDialogHook(nullptr);
        std::string generated;
        std::string outDir = dir_->file("out");
        QVERIFY(bitmapMakeAutoName(generated, outDir, ProductCatalogue[kProduct].name));
        QCOMPARE(proposed, autoName ? generated : std::string());
        QVERIFY(fileExists(chosen));
        QVERIFY(filesIn(dir_->file("out")).empty());
    }

    // Auto Detect tries port 2 when port 1 is silent; when both fail, port 2
    // stays selected.
    void autoDetectMovesToThePortThatAnswers_data() {
        QTest::addColumn<bool>("port2Answers");
        QTest::newRow("port 2 answers") << true;
        QTest::newRow("neither answers") << false;
    }
    void autoDetectMovesToThePortThatAnswers() {
        QFETCH(bool, port2Answers);
        ScopedSleepRecorder noPauses;
        VirtualReceiver* silent = play(sim::presetForProduct(kProduct), "silent");
        VirtualReceiver* other =
            play(sim::presetForProduct(kProduct), port2Answers ? "" : "silent");
        QVERIFY(silent && other);
        auto d = open(store(silent->slavePath(), {}, other->slavePath()));
        QVERIFY(isChosen(*d, 1005));
        QVERIFY(d->OnCommand(32773));
        QVERIFY(waitUntilIdle(*d));
        QVERIFY(isChosen(*d, 1006) && !isChosen(*d, 1005));
        QCOMPARE(d->settings().commPort, uint8_t{2});
        QCOMPARE(text(*d, 1012),
                 QString(port2Answers ? ProductCatalogue[kProduct].name : "<Not Connected>"));
        QCOMPARE(messages_->shown().size(), size_t(port2Answers ? 0 : 1));
        QVERIFY(idleAndReady(*d));
    }

    // A receiver outside the catalogue after a known one: its version shows,
    // its name does not, and Download cannot use the earlier layout.
    void unknownProductCannotCaptureWithTheEarlierLayout() {
        ScopedSleepRecorder noPauses;
        VirtualReceiver* known = play(sim::presetForProduct(kProduct));
        sim::Config unknown = sim::presetForProduct(kProduct);
        unknown.productId = 300;
        unknown.version = 250;
        VirtualReceiver* stranger = play(unknown);
        QVERIFY(known && stranger);
        auto d = open(store(known->slavePath(), dword("BaudRate", 2), stranger->slavePath()));
        QCOMPARE(text(*d, 1012), QString(ProductCatalogue[kProduct].name));
        qobject_cast<QRadioButton*>(control(*d, 1006))->click();
        QVERIFY(waitUntilIdle(*d));
        QCOMPARE(text(*d, 1012), QString("<Not Connected>"));
        QCOMPARE(text(*d, 1013), QString("2.50"));
        QVERIFY(d->OnCommand(3));
        QVERIFY(waitUntilIdle(*d));
        QCOMPARE(messages_->shown().size(), size_t{1});
        QCOMPARE(messages_->shown()[0].text, deviceMessageText(DeviceMessage::NotSupported));
        QCOMPARE(stranger->screensSent(), size_t{0});
    }

    // Closing during a command stops it: no message, no file, the settings
    // saved with the port's rate, and the window gone soon.
    void closingDuringACommandStopsIt_data() {
        QTest::addColumn<QString>("during");
        QTest::newRow("download") << "download";
        QTest::newRow("negotiation") << "negotiation";
    }
    void closingDuringACommandStopsIt() {
        QFETCH(QString, during);
        const bool download = during == "download";
        // The negotiation's pauses are real here: closing must cut them short.
        std::optional<ScopedSleepRecorder> noPauses;
        if (download)
            noPauses.emplace();
        VirtualReceiver* r = play(sim::presetForProduct(kProduct), download ? "gap=0.05" : "");
        QVERIFY(r);
        const std::string path =
            store(r->slavePath(), dword("BaudRate", download ? 2 : 1) + flag("AutoSave", 1));
        auto d = open(path);
        QVERIFY(d->OnCommand(3));
        if (download)
            QTRY_VERIFY(text(*d, 1014).endsWith('%') && text(*d, 1014) != "0%");
        else
            QTRY_VERIFY(heardPackets(*r, sim::wire::packet::RateChangeRequest) > 0);
        const auto start = Clock::now();
        QVERIFY(!d->close());  // the window stays until the command has ended
        QTRY_VERIFY_WITH_TIMEOUT(!d->isVisible(), 20000);
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        QVERIFY(!d->commandRunning());
        QCOMPARE(d->result(), int(QDialog::Rejected));
        const uint8_t rate = serialBaudIndex();
        close(d);
        QVERIFY(messages_->shown().empty());
        QVERIFY(filesIn(dir_->file("out")).empty());
        QCOMPARE(stored(path, "AutoBaudRate"), std::vector<uint8_t>({rate, 0, 0, 0}));
        QVERIFY2(ms.count() < 2000, qPrintable(QString("closed after %1 ms").arg(ms.count())));
    }
};

QTEST_MAIN(DeviceCommandsTest)
#include "device_commands_test.moc"
