// The main window's behaviour, through a recording view: commands and the
// receiver's behaviour in, the view's calls out. The receivers are virtual
// ones on pseudo-terminals that the settings name as port 1 and port 2.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "capture/bitmap_file.h"
#include "cli/cli_app.h"
#include "link/packet_link.h"
#include "recording_view.h"
#include "serial/serial_port.h"
#include "session/device_messages.h"
#include "sim/sim_wire.h"
#include "sim/virtual_receiver.h"
#include "window/resource_ids.h"
#include "window/settings_forms.h"

namespace {

constexpr uint16_t kProduct = sim::kDefaultSimulatedProduct;
const std::string kNotConnected = "<Not Connected>";

std::string messageLine(DeviceMessage message) {
    return "message " + std::to_string(deviceMessageStyle(message)) +
           " GPS Lumagrab: " + deviceMessageText(message);
}

size_t heard(const VirtualReceiver& r, uint8_t id) {
    return std::ranges::count_if(r.packets(), [id](auto& p) { return p.heard && p.id == id; });
}

std::vector<std::string> filesIn(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ignored))
        names.push_back(entry.path().filename().string());
    return names;
}

std::string generatedName(uint16_t product) {
    std::string name = ProductCatalogue[product].name;
    std::erase(name, ' ');
    return name + "-01.bmp";
}

class WindowTest : public ::testing::Test {
  protected:
    // Set Output Directory makes its directory the current one.
    ~WindowTest() override { std::filesystem::current_path(startDirectory_); }

    // A receiver on a pseudo-terminal; one that cannot play fails the test.
    VirtualReceiver& play(sim::Config config, const std::string& fault = "") {
        if (!fault.empty() && !sim::applyFault(fault, config.faults))
            throw std::invalid_argument("no such fault: " + fault);
        receivers_.push_back(std::make_unique<VirtualReceiver>(std::move(config)));
        if (!receivers_.back()->start())
            throw std::runtime_error(receivers_.back()->error());
        return *receivers_.back();
    }
    VirtualReceiver& play(uint16_t product, const std::string& fault = "") {
        return play(sim::presetForProduct(product), fault);
    }

    // What the tests vary in the stored settings; the rest is the first
    // run's, with the output directory "out".
    struct Stored {
        std::string port1 = {}, port2 = {};  // a missing device when empty
        uint8_t commPort = 1, baudRate = 1, autoBaudRate = 0;
        int32_t autoName = 0, autoSave = 0;
    };
    AppSettings settingsOf(const Stored& stored) {
        std::filesystem::create_directories(out());
        AppSettings s = settingsFirstRunDefaults();
        s.com1Device = stored.port1.empty() ? dir_.file("none1") : stored.port1;
        s.com2Device = stored.port2.empty() ? dir_.file("none2") : stored.port2;
        s.commPort = stored.commPort;
        s.baudRate = stored.baudRate;
        s.autoBaudRate = stored.autoBaudRate;
        s.autoName = stored.autoName;
        s.autoSave = stored.autoSave;
        s.setOutputPath(out());
        return s;
    }
    // A window over those settings, started (its search at start-up ended),
    // in place of the one before: one window at a time.
    WindowUnderTest& open(const Stored& stored,
                          std::optional<LinkSession::Simulation> simulation = std::nullopt) {
        window_.reset();
        window_ = std::make_unique<WindowUnderTest>(settingsOf(stored), simulation);
        EXPECT_TRUE(window_->start());
        return *window_;
    }
    std::string out() const { return dir_.file("out"); }

    const std::filesystem::path startDirectory_ = std::filesystem::current_path();
    ScopedSleepRecorder noPauses_;
    TempDir dir_;
    std::vector<std::unique_ptr<VirtualReceiver>> receivers_;
    std::unique_ptr<WindowUnderTest> window_;  // goes before its receivers
};

// --- Start-up --------------------------------------------------------------------

// The whole start-up with nobody on port 1, call by call: the settings'
// marks, the port, the device texts, the idle layout, the commands off
// while the search runs on the worker, then on.
TEST_F(WindowTest, StartUpShowsTheWindowIdleAndTurnsTheCommandsOnAfterTheSearch) {
    WindowUnderTest& w = open({});
    std::string log;
    for (const std::string& line : w.view.log) log += line + "|";
    const std::string idle =
        "enable 3 1|enable 2 1|enable 1002 0|enable 1014 0|show 3 1|show 2 1|show 1002 0|"
        "show 1014 0|";
    EXPECT_EQ(log, "tip 1005 " + dir_.file("none1") + "|tip 1006 " + dir_.file("none2") +
                       "|check 1005 1|check 1006 0|menu-check 32778 0|menu-check 32779 0|"
                       "menu-check 32782 1|menu-check 32783 0|menu-check 32784 0|"
                       "menu-check 32786 0|menu-check 32787 0|menu-check 32788 0|"
                       "text 1012 <Not Connected>|text 1013 <Not Connected>|" +
                       idle +
                       "enable 3 0|enable 2 0|enable 5 0|enable 4 0|enable 1005 0|enable 1006 0|"
                       "menu-enable 32774 0|menu-enable 32772 0|menu-enable 32773 0|menu 1 0|"
                       // the search, on the worker
                       "enable 3 1|enable 2 1|enable 5 1|enable 4 1|enable 1005 1|enable 1006 1|"
                       "focus 3|" +
                       idle +
                       "menu-enable 32774 1|menu-enable 32772 1|menu-enable 32773 1|menu 1 1|");
}

// A receiver still at the rate of an earlier run is found once the port
// moves there, without a word to it; one that answers the link check but not
// the product query gets the no-response message.
TEST_F(WindowTest, StartUpFindsTheReceiverAtTheRateTheSettingsName) {
    struct Row {
        const char* name;
        uint32_t receiverRate;
        uint8_t baudRate, autoBaudRate;
        const char* fault;
        bool identified, message;
    };
    const Row rows[] = {
        {"at 9600", 9600, 1, 0, "", true, false},
        {"left at 115200, Auto remembering it", 115200, 1, 6, "", true, false},
        {"38400 chosen, receiver there", 38400, 4, 6, "", true, false},
        {"first run Auto, receiver at 19200", 19200, 1, 0, "", false, false},
        {"no product reply", 9600, 1, 0, "no-product", false, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        sim::Config config = sim::presetForProduct(kProduct);
        config.version = 412;
        config.initialRate = row.receiverRate;
        VirtualReceiver& r = play(config, row.fault);
        WindowUnderTest& w = open(
            {.port1 = r.slavePath(), .baudRate = row.baudRate, .autoBaudRate = row.autoBaudRate});
        const std::vector<std::string> texts = w.view.lines("text 101");
        EXPECT_EQ(texts.end()[-2], "text 1012 " + (row.identified ? ProductCatalogue[kProduct].name
                                                                  : kNotConnected));
        EXPECT_EQ(texts.back(),
                  std::string("text 1013 ") + (row.identified ? "4.12" : kNotConnected));
        EXPECT_EQ(w.view.lines("message"), row.message
                                               ? std::vector{messageLine(DeviceMessage::NoResponse)}
                                               : std::vector<std::string>{});
        EXPECT_EQ(heard(r, sim::wire::packet::RateChangeRequest), 0u);
        if (!row.identified && !row.message) {
            for (const sim::LoggedPacket& p : r.packets())
                EXPECT_EQ(p.lineRate, 9600u);  // nothing remembered: both checks at 9600
        }
        EXPECT_EQ(w.view.log.back(), "menu 1 1");
    }
}

// A stored port number that names no port: the message comes during the
// start-up, before the window shows, and the program runs with no port.
TEST_F(WindowTest, AStoredPortThatNamesNoneIsToldBeforeTheWindowShows) {
    for (const uint8_t port : {0, 3}) {
        WindowUnderTest w(settingsOf({.commPort = port, .autoBaudRate = 6}));
        ASSERT_TRUE(w.dialog().OnInitDialog());
        const std::vector<std::string> beforeShown = w.view.lines("message");
        ASSERT_TRUE(w.runUntilIdle());
        EXPECT_EQ(beforeShown, std::vector{messageLine(DeviceMessage::InvalidPort)});
        EXPECT_EQ(w.view.lines("message").size(), 1u);
        EXPECT_TRUE(w.view.lines("check").empty());
        const AppSettings saved = w.destroy();
        EXPECT_EQ(saved.commPort, port);
        EXPECT_EQ(saved.autoBaudRate, 0);  // no port: no rate to remember
    }
}

// Opening the stored port is the search's first step, on the worker, so that
// the window shows at once however long the port takes: one that opens but
// cannot be set up (a device gone, as a port under Wine whose device is
// missing) pauses to close again.
TEST_F(WindowTest, TheStoredPortOpensOnTheWorkerOnceTheWindowShows) {
    const std::string notAPort = dir_.file("not-a-port");
    std::ofstream{notAPort};
    const std::thread::id windowThread = std::this_thread::get_id();
    std::atomic<int> pausesOnWindow{0}, pausesOnWorker{0};
    platformSetSleepHook([&](uint32_t) {
        ++(std::this_thread::get_id() == windowThread ? pausesOnWindow : pausesOnWorker);
    });
    WindowUnderTest& w = open({.port1 = notAPort});
    EXPECT_EQ(pausesOnWindow, 0);
    EXPECT_GT(pausesOnWorker, 0);
    EXPECT_EQ(w.view.lines("check 1005"), std::vector<std::string>{"check 1005 1"});
    platformSetSleepHook([](uint32_t) {});
}

// --- Device commands -------------------------------------------------------------

// Each failure gives its message, with the progress display up when the
// link check answered; only a receiver that stopped answering clears the
// device texts.
TEST_F(WindowTest, FailuresShowTheirMessage) {
    struct Row {
        const char* name;
        uint16_t product;
        const char* fault;
        uint8_t baudRate;
        int command;
        DeviceMessage message;
        bool busy, cleared;
    };
    const Row rows[] = {
        {"download, nobody answers", kProduct, "silent", 1, res::IDC_DOWNLOAD,
         DeviceMessage::NoResponse, false, true},
        {"query, nobody answers", kProduct, "silent", 1, res::ID_FILE_QUERY_DEVICE,
         DeviceMessage::NoResponse, false, true},
        {"auto detect, nobody anywhere", kProduct, "silent", 1, res::IDC_AUTO_DETECT,
         DeviceMessage::NotFound, false, true},
        {"COM1, nobody", kProduct, "silent", 1, res::IDC_COM1, DeviceMessage::NotFound, false,
         true},
        {"download, no screen capture", 1, "", 1, res::ID_FILE_DOWNLOAD,
         DeviceMessage::NotSupported, true, false},
        {"download, rate refused", kProduct, "refuse-rate", 5, res::IDC_DOWNLOAD,
         DeviceMessage::BaudRate, true, false},
        {"download, silent after the header", kProduct, "stop-after-header", 2, res::IDC_DOWNLOAD,
         DeviceMessage::NoResponse, true, true},
        {"download, line dropped", kProduct, "drop-line", 2, res::IDC_DOWNLOAD,
         DeviceMessage::SerialError, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        VirtualReceiver& r = play(row.product, row.fault);
        WindowUnderTest& w = open({.port1 = r.slavePath(), .baudRate = row.baudRate});
        w.view.log.clear();
        w.command(row.command);
        const std::vector<std::string> messages = w.view.lines("message");
        ASSERT_EQ(messages, std::vector{messageLine(row.message)});
        const size_t at =
            std::find(w.view.log.begin(), w.view.log.end(), messages[0]) - w.view.log.begin();
        EXPECT_EQ(w.view.busyAt(at), row.busy);
        EXPECT_EQ(w.dialog().deviceInfo().name == kNotConnected, row.cleared);
        EXPECT_FALSE(w.view.busyAt(w.view.log.size()));
        EXPECT_EQ(w.view.log.back(), "menu 1 1");
        EXPECT_TRUE(filesIn(out()).empty());
    }
}

// Download with Auto Save: the busy layout with progress while it runs, no
// second command under it (a port button clicked meanwhile checks itself, and
// the refusal puts the marks back on the port in use), the same file the CLI
// writes, the port and rate kept.
TEST_F(WindowTest, DownloadWithAutoSaveWritesWhatTheCliWrites) {
    VirtualReceiver& r = play(kProduct);
    WindowUnderTest& w = open({.port1 = r.slavePath(), .baudRate = 5, .autoSave = 1});
    const size_t queries = heard(r, sim::wire::packet::ProductQuery);
    w.dialog().OnCommand(res::IDC_DOWNLOAD);
    w.dialog().OnCommand(res::IDC_QUERY_DEVICE);  // refused while the download runs
    w.dialog().OnCommand(res::ID_SETTINGS_AUTO_SAVE);
    w.view.log.clear();
    w.dialog().OnCommand(res::IDC_COM2);
    EXPECT_EQ(w.view.log, (std::vector<std::string>{"check 1005 1", "check 1006 0"}));
    ASSERT_TRUE(w.runUntilIdle());
    EXPECT_EQ(heard(r, sim::wire::packet::ProductQuery), queries);
    EXPECT_EQ(w.dialog().settings().autoSave, 1);
    EXPECT_TRUE(w.view.lines("message").empty());
    EXPECT_FALSE(w.view.lines("position").empty());
    EXPECT_EQ(w.view.lines("text 1014").back(), "text 1014 Idle...");
    EXPECT_EQ(filesIn(out()), std::vector{generatedName(kProduct)});
    const std::string windowFile = out() + "/" + generatedName(kProduct);
    sim::Picture captured;
    std::string error;
    ASSERT_TRUE(sim::loadPictureBmp(windowFile, captured, error)) << error;
    EXPECT_TRUE(captured == r.expectedPicture());
    const AppSettings saved = w.destroy();
    EXPECT_EQ(saved.commPort, 1);
    EXPECT_EQ(saved.autoBaudRate, 5);

    std::ostringstream cliOut, cliErr;
    const std::string cliFile = dir_.file("cli.bmp");
    ASSERT_EQ(runCli({"--port", r.slavePath(), "--baud", "57600", "-o", cliFile, "capture"},
                     CliContext{cliOut, cliErr, w.storePath(), false}),
              ExitDone)
        << cliErr.str();
    EXPECT_EQ(readFileBytes(windowFile), readFileBytes(cliFile));
}

// A line faster than the window: each pass of the window's loop runs only
// the steps that were waiting, and shows the bar once however often the
// worker moved it, so that the window goes on answering its other messages;
// the bar ends where the download left it.
TEST_F(WindowTest, AWindowSlowerThanTheLineShowsTheProgressOnceAPass) {
    VirtualReceiver& r = play(kProduct);
    WindowUnderTest& w = open({.port1 = r.slavePath(), .baudRate = 2, .autoSave = 1});
    w.view.whenProgressMoves = [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); };
    w.dialog().OnCommand(res::IDC_DOWNLOAD);
    size_t passes = 0;
    for (; w.dialog().commandRunning() && passes < 2000; ++passes) {
        w.view.waitForWake(std::chrono::milliseconds(20));
        w.dialog().RunPosted();
    }
    EXPECT_FALSE(w.dialog().commandRunning());
    EXPECT_LE(w.view.lines("position").size(), passes);
    EXPECT_EQ(w.view.lines("position").back(), "position 0");
    EXPECT_EQ(w.view.lines("text 1014").back(), "text 1014 Idle...");
    EXPECT_EQ(filesIn(out()), std::vector{generatedName(kProduct)});
}

// Without Auto Save the Save dialog asks, proposing a generated name with
// Auto Name and none without; the file goes where the user chose.
TEST_F(WindowTest, SaveDialogProposesAGeneratedNameOnlyWithAutoName) {
    for (const int autoName : {1, 0}) {
        VirtualReceiver& r = play(kProduct);
        WindowUnderTest& w = open({.port1 = r.slavePath(), .baudRate = 2, .autoName = autoName});
        const std::string chosen = dir_.file("chosen" + std::to_string(autoName) + ".bmp");
        w.view.saveAnswer = chosen;
        w.command(res::ID_FILE_DOWNLOAD);
        EXPECT_EQ(w.view.lines("save"),
                  std::vector{"save Save Bitmap|" + out() + "|" +
                              (autoName ? out() + "/" + generatedName(kProduct) : "")});
        EXPECT_TRUE(fileExists(chosen));
        EXPECT_TRUE(filesIn(out()).empty());
    }
}

// Auto Detect tries port 2 when port 1 is silent; when both fail, port 2
// stays selected.
TEST_F(WindowTest, AutoDetectMovesToThePortThatAnswers) {
    for (const bool port2Answers : {true, false}) {
        SCOPED_TRACE(port2Answers);
        VirtualReceiver& silent = play(kProduct, "silent");
        VirtualReceiver& other = play(kProduct, port2Answers ? "" : "silent");
        WindowUnderTest& w = open({.port1 = silent.slavePath(), .port2 = other.slavePath()});
        w.view.log.clear();
        w.command(res::ID_FILE_AUTO_DETECT);
        EXPECT_EQ(w.view.lines("check"),
                  (std::vector<std::string>{"check 1005 0", "check 1006 1"}));
        EXPECT_EQ(w.view.lines("text 1012").back(),
                  "text 1012 " + (port2Answers ? ProductCatalogue[kProduct].name : kNotConnected));
        EXPECT_EQ(w.view.lines("message").size(), port2Answers ? 0u : 1u);
        EXPECT_EQ(w.destroy().commPort, 2);
    }
}

// --- Closing -------------------------------------------------------------------------

// Closing during a command stops it: no message, no file, the window goes
// once the command has ended, and the settings are saved with the port's
// rate. Help's dialogs do not open meanwhile, so nothing holds the program.
TEST_F(WindowTest, ClosingDuringACommandStopsItAndOpensNothingMore) {
    for (const bool download : {true, false}) {
        SCOPED_TRACE(download ? "during a download" : "during a negotiation");
        // The negotiation's pauses are real here: closing must cut them short.
        if (!download)
            platformSetSleepHook(nullptr);
        VirtualReceiver& r = play(kProduct, download ? "gap=0.05" : "");
        WindowUnderTest& w =
            open({.port1 = r.slavePath(), .baudRate = uint8_t(download ? 2 : 1), .autoSave = 1});
        w.dialog().OnCommand(res::IDC_DOWNLOAD);
        // Well into the transfer, or the rate change asked for.
        const auto under = [&] {
            return download ? !w.view.lines("position").empty()
                            : heard(r, sim::wire::packet::RateChangeRequest) > 0;
        };
        for (int i = 0; i < 1000 && !under(); ++i) {
            w.dialog().RunPosted();
            w.view.waitForWake(std::chrono::milliseconds(10));
        }
        ASSERT_TRUE(under());
        w.dialog().OnCommand(res::ID_CANCEL);
        EXPECT_TRUE(w.dialog().commandRunning());
        w.dialog().OnCommand(res::ID_APP_ABOUT);
        w.dialog().OnCommand(res::ID_HELP_SUPPORTED_PRODUCTS);
        ASSERT_TRUE(w.runUntilIdle());
        EXPECT_EQ(w.view.log.back(), "close window");
        for (const char* opened : {"about", "products", "message"})
            EXPECT_TRUE(w.view.lines(opened).empty()) << opened;
        const uint8_t rate = serialBaudIndex();
        const AppSettings saved = w.destroy();
        EXPECT_TRUE(filesIn(out()).empty());
        EXPECT_EQ(saved.autoBaudRate, rate);
        EXPECT_EQ(saved.autoSave, 1);
        platformSetSleepHook([](uint32_t) {});
    }
}

// Exit and File Exit close an idle window at once; the settings are written
// only then, by the tear-down.
TEST_F(WindowTest, SettingsAreSavedOnlyWhenTheWindowGoes) {
    for (const int exit : {res::ID_CANCEL, res::ID_FILE_EXIT}) {
        WindowUnderTest& w = open({});
        w.command(res::ID_BAUD_115200);
        w.command(res::ID_SETTINGS_AUTO_SAVE);
        EXPECT_EQ(settingsRead(w.storePath()).baudRate, 1);  // not yet
        w.view.log.clear();
        w.command(exit);
        EXPECT_EQ(w.view.log, (std::vector<std::string>{"close dialogs", "close window"}));
        const AppSettings saved = w.destroy();
        EXPECT_EQ(saved.baudRate, 6);
        EXPECT_EQ(saved.autoSave, 1);
        EXPECT_EQ(saved.autoName, 1);
    }
}

// A simulated run plays port 1 and leaves the stored port and remembered
// rate as they were, whatever the link did; the other settings are saved.
TEST_F(WindowTest, ASimulatedRunKeepsTheStoredPortAndRate) {
    WindowUnderTest& w = open({.commPort = 2, .baudRate = 6, .autoBaudRate = 3, .autoSave = 1},
                              LinkSession::Simulation{kProduct, false});
    EXPECT_EQ(w.view.lines("text 1012").back(),
              "text 1012 " + std::string(ProductCatalogue[kProduct].name));
    w.command(res::IDC_DOWNLOAD);
    w.command(res::ID_SETTINGS_AUTO_NAME);  // changes nothing while Auto Save is on
    w.command(res::ID_BAUD_57600);
    EXPECT_EQ(filesIn(out()), std::vector{generatedName(kProduct)});
    EXPECT_EQ(serialBaudIndex(), 6);
    const AppSettings saved = w.destroy();
    EXPECT_EQ(saved.commPort, 2);
    EXPECT_EQ(saved.autoBaudRate, 3);
    EXPECT_EQ(saved.baudRate, 5);
    EXPECT_EQ(saved.com1Device, dir_.file("none1"));
}

// --- Settings and Help -----------------------------------------------------------

// Auto Save implies Auto Name; the rate items carry one check mark; a
// stored 0xFF flag counts as on, and one toggle saves it as 0. About opens
// from Help and from the system menu.
TEST_F(WindowTest, SettingsAndHelpMenusKeepTheirRules) {
    WindowUnderTest& w = open({.autoName = -1});
    const auto checked = [&](int id) {
        const std::vector<std::string> lines =
            w.view.lines("menu-check " + std::to_string(id) + " ");
        return !lines.empty() && lines.back().back() == '1';
    };
    EXPECT_TRUE(checked(32778) && !checked(32779));
    w.command(res::ID_SETTINGS_AUTO_SAVE);
    EXPECT_TRUE(checked(32778) && checked(32779));
    w.command(res::ID_SETTINGS_AUTO_NAME);  // cannot go off meanwhile
    EXPECT_TRUE(checked(32778));
    w.command(res::ID_SETTINGS_AUTO_SAVE);  // off, Auto Name stays on
    EXPECT_TRUE(checked(32778) && !checked(32779));
    w.command(res::ID_SETTINGS_AUTO_NAME);
    EXPECT_FALSE(checked(32778));
    const int rateItems[] = {32782, 32783, 32784, 32786, 32787, 32788};
    for (int chosen : rateItems) {
        w.command(chosen);
        for (int id : rateItems) EXPECT_EQ(checked(id), id == chosen) << chosen << " " << id;
    }
    w.command(res::ID_APP_ABOUT);
    EXPECT_TRUE(w.dialog().OnSysCommand(res::ID_SYSTEM_ABOUT | 0x3));
    EXPECT_FALSE(w.dialog().OnSysCommand(0xF060));  // closing is the system's
    EXPECT_FALSE(w.dialog().OnCommand(12345));
    EXPECT_EQ(w.view.lines("about").size(), 2u);
    const AppSettings saved = w.destroy();
    EXPECT_EQ(saved.autoName, 0);
    EXPECT_EQ(saved.baudRate, 6);
}

// Set Comm Ports gives the ports new devices, shown as the buttons' tips
// and opened from the next command on; Set Output Directory stores what its
// form ends with.
TEST_F(WindowTest, SettingsDialogsStoreWhatTheirFormsEndWith) {
    VirtualReceiver& r = play(kProduct);
    WindowUnderTest& w = open({});
    w.view.commPorts = [&](CommPortsForm& form) {
        return !form.accept(" " + r.slavePath() + " ", "/dev/ttyACM3");
    };
    w.command(res::ID_SETTINGS_COMM_PORTS);
    EXPECT_EQ(w.view.lines("tip"),
              (std::vector<std::string>{"tip 1005 " + dir_.file("none1"),
                                        "tip 1006 " + dir_.file("none2"),
                                        "tip 1005 " + r.slavePath(), "tip 1006 /dev/ttyACM3"}));
    w.command(res::IDC_COM1);
    EXPECT_EQ(w.view.lines("text 1012").back(),
              "text 1012 " + std::string(ProductCatalogue[kProduct].name));

    w.view.outputDirectory = [&](OutputDirectoryForm& form) { return !form.accept(dir_.path()); };
    w.command(res::ID_SETTINGS_OUTPUT_DIRECTORY);
    EXPECT_EQ(w.dialog().settings().outputPathText(), dir_.path());
    const AppSettings saved = w.destroy();
    EXPECT_EQ(saved.com1Device, r.slavePath());
    EXPECT_EQ(saved.com2Device, "/dev/ttyACM3");
}

// Supported Products lists every capturable product and clears the sticky
// error flags (a latched overflow would keep the next command deaf), on the
// worker, which owns them: opened during a download it shares nothing with
// it.
TEST_F(WindowTest, SupportedProductsClearsTheErrorFlagsOnTheWorker) {
    VirtualReceiver& r = play(kProduct, "gap=0.002");
    WindowUnderTest& w = open({.port1 = r.slavePath(), .baudRate = 2, .autoSave = 1});
    serialSetRxOverrun(1);
    serialSetOtherError(1);
    linkSetOverflow(1);
    w.command(res::ID_HELP_SUPPORTED_PRODUCTS);
    w.dialog().OnCommand(res::IDC_DOWNLOAD);
    w.dialog().OnCommand(res::ID_HELP_SUPPORTED_PRODUCTS);
    ASSERT_TRUE(w.runUntilIdle());
    EXPECT_EQ(w.view.lines("products"), std::vector<std::string>(2, "products 87"));
    EXPECT_EQ(w.view.lines("message"), std::vector<std::string>{});
    EXPECT_EQ(filesIn(out()).size(), 1u);
    w.command(res::IDC_QUERY_DEVICE);  // after the second clearing, on the same worker
    EXPECT_EQ(serialRxOverrun() + serialTxFull() + serialOtherError() + linkOverflow(), 0);
}

}  // namespace
