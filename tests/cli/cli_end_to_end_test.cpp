// lumagrab-cli against the virtual receiver on a pseudo-terminal: what the
// user sees, the files, the exit codes and the remembered rate.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <strings.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <set>
#include <sstream>
#include <thread>

#include "catalogue/product_catalogue.h"
#include "cli/cli_app.h"
#include "cli/cli_options.h"
#include "cli/receiver_session.h"
#include "session/device_messages.h"
#include "settings/app_settings.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"

namespace {

struct Outcome {
    int exit = -1;
    std::string out;
    std::string err;
};

class CliAgainstReceiver : public testing::Test {
  protected:
    TempDir dir;
    ScopedSleepRecorder noPauses;  // the rate change's pauses cost nothing here
    std::string store = dir.file("settings.reg");

    Outcome run(std::vector<std::string> args) {
        std::ostringstream out, err;
        const int exit = runCli(args, CliContext{out, err, store, false});
        return {exit, out.str(), err.str()};
    }

    std::unique_ptr<VirtualReceiver> receiver(sim::Config config) {
        auto r = std::make_unique<VirtualReceiver>(std::move(config));
        EXPECT_TRUE(r->start()) << r->error();
        return r;
    }

    void remember(uint8_t baudChoice, uint8_t autoBaudRate) {
        AppSettings s = settingsFirstRunDefaults();
        s.baudRate = baudChoice;
        s.autoBaudRate = autoBaudRate;
        ASSERT_TRUE(settingsSave(s, store));
    }
};

std::string message(DeviceMessage m) {
    return withoutLinePadding(deviceMessageText(m)) + "\n";
}

std::string valueOf(const std::string& out, const std::string& name) {
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(name + ": ", 0) == 0)
            return line.substr(name.size() + 2);
    }
    return "<missing>";
}

// A PNG file read back as a picture: palette indices, top row first.
bool readPng(const std::string& path, sim::Picture& picture) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    const bool indexed = image.format & PNG_FORMAT_FLAG_COLORMAP;
    image.format = PNG_FORMAT_BGR_COLORMAP;
    std::vector<uint8_t> colours(PNG_IMAGE_COLORMAP_SIZE(image));
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, colours.data()))
        return false;
    for (size_t i = 0; i + 3 <= colours.size(); i += 3)
        picture.palette.push_back(sim::Rgb{colours[i], colours[i + 1], colours[i + 2]});
    return indexed;
}

// The captured file, read back, against what the receiver showed.
void expectSamePicture(const std::string& path, const sim::Picture& shown) {
    sim::Picture captured;
    std::string error;
    if (pathHasExtension(path, ".png")) {
        ASSERT_TRUE(readPng(path, captured)) << path;
    } else {
        ASSERT_TRUE(sim::loadPictureBmp(path, captured, error)) << error;
    }
    EXPECT_EQ(captured.width, shown.width);
    EXPECT_EQ(captured.height, shown.height);
    EXPECT_TRUE(captured.pixels == shown.pixels) << path;
    for (size_t i = 0; i < shown.palette.size(); ++i)
        EXPECT_EQ(captured.palette.at(i), shown.palette[i]) << i;
}

// The first capture into a directory takes the first generated name, at
// the rate the auto setting negotiates, which is remembered; a series after
// it the next numbers.
TEST_F(CliAgainstReceiver, CapturesIntoADirectoryTakeTheNextGeneratedNames) {
    auto sim = receiver(sim::presetForProduct(166));
    const std::string shots = dir.file("shots");
    const Outcome first = run({"--port", sim->slavePath(), "--dir", shots, "capture"});
    ASSERT_EQ(first.exit, ExitDone) << first.err;
    EXPECT_EQ(valueOf(first.out, "Device Type"), "Pellowin 145");
    EXPECT_EQ(valueOf(first.out, "Saved"), shots + "/Pellowin145-01.bmp");
    expectSamePicture(shots + "/Pellowin145-01.bmp", sim->expectedPicture());
    EXPECT_EQ(sim->currentRate(), 57600u) << "the second-highest rate of the list";
    EXPECT_EQ(settingsRead(store).autoBaudRate, 5);

    const Outcome r = run(
        {"-p", sim->slavePath(), "-d", shots, "--every", "0.01", "--count", "2", "-q", "capture"});
    ASSERT_EQ(r.exit, ExitDone) << r.err;
    for (const char* n : {"-02.bmp", "-03.bmp"})
        EXPECT_NE(r.out.find(n), std::string::npos) << r.out;
    EXPECT_EQ(sim->screensSent(), 3u);
}

// A receiver left at a faster rate by an earlier run is found through the
// settings' rate without probing; otherwise by probing every rate. Either
// way the rate is remembered for next time.
TEST_F(CliAgainstReceiver, QueryFindsTheReceiverAtTheRateItWasLeftAt) {
    const struct {
        const char* what;
        uint8_t baudChoice;
        uint8_t remembered;
        uint32_t receiverRate;
        std::set<uint32_t> ratesTried;
        uint8_t rememberedAfter;
    } cases[] = {
        {"remembered rate", 1, 5, 57600, {9600, 57600}, 5},
        {"fixed choice", 4, 0, 38400, {9600, 38400}, 4},
        {"probing", 1, 0, 38400, {9600, 19200, 38400}, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        remember(c.baudChoice, c.remembered);
        sim::Config config = sim::presetForProduct(111);
        config.initialRate = c.receiverRate;
        config.version = 312;
        auto sim = receiver(config);
        const Outcome r = run({"--port", sim->slavePath(), "query"});
        ASSERT_EQ(r.exit, ExitDone) << r.err;
        EXPECT_EQ(r.out,
                  "Product ID: 111\nDevice Type: Sivrane 106\nSoftware Version: 3.12\nPort: " +
                      sim->slavePath() + "\nBaud Rate: " + std::to_string(c.receiverRate) + "\n");
        EXPECT_EQ(r.err, "");
        std::set<uint32_t> tried;
        for (const sim::LoggedPacket& p : sim->packets()) tried.insert(p.lineRate);
        EXPECT_EQ(tried, c.ratesTried);
        EXPECT_EQ(settingsRead(store).autoBaudRate, c.rememberedAfter);
    }
}

// --- Failures: exit code and message ---------------------------------------------

TEST_F(CliAgainstReceiver, FailuresGiveTheirExitCodeAndMessage) {
    writeFileBytes(dir.file("plain"), {1});
    const std::string unwritable = dir.file("plain/sub");
    // clang-format off
    const struct {
        const char* what;
        uint16_t product;
        const char* fault;
        std::vector<std::string> args;
        int exit;
        std::string err;  // how standard error begins
    } cases[] = {
        {"silent", 144, "silent", {"capture"},
         ExitNoReceiver, message(DeviceMessage::NoResponse)},
        {"nothing to detect", 144, "silent", {"detect"},
         ExitNoReceiver, message(DeviceMessage::NotFound)},
        {"no screen capture", 1, nullptr, {"capture"},
         ExitNotSupported, "This product does not support downloadable screen shots.\n"},
        {"refused rate", 144, "refuse-rate", {"--baud", "57600", "capture"},
         ExitRate, message(DeviceMessage::BaudRate)},
        {"stops after the header", 95, "stop-after-header", {"--baud", "9600", "capture"},
         ExitDownload, message(DeviceMessage::NoResponse)},
        {"unwritable directory", 95, nullptr, {"--baud", "9600", "-d", unwritable, "capture"},
         ExitFile, "ERROR: Unable to open file " + unwritable + "/\n"},
        {"missing folder", 95, nullptr, {"-o", dir.file("missing/shot.png"), "capture"},
         ExitFile, "ERROR: Unable to open file " + dir.file("missing/shot.png") + "\n"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim::Config config = sim::presetForProduct(c.product);
        ASSERT_TRUE(c.fault == nullptr || sim::applyFault(c.fault, config.faults));
        auto sim = receiver(config);
        std::vector<std::string> args = {"--port", sim->slavePath()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome r = run(args);
        EXPECT_EQ(r.exit, c.exit);
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
        if (c.exit == ExitFile) {
            EXPECT_TRUE(sim->packets().empty()) << "refused before the receiver heard anything";
        }
    }
}

// A signal during a paced transfer (this one takes about 3 s) ends it at
// once: no message, no file, the rate still remembered. The receiver goes on
// sending its screen, deaf meanwhile, and the next command finds it once it
// is done.
TEST_F(CliAgainstReceiver, AStopRequestEndsACaptureQuietlyWithTheSignalsStatus) {
    remember(4, 0);
    sim::Config config = sim::presetForProduct(95);
    config.picture = sim::makeTestPattern(sim::Pattern::Bars, 160, 128, 2);
    config.pace = true;
    auto sim = receiver(config);
    const std::string shots = dir.file("shots");
    Outcome r;
    std::thread command([&] {
        r = run(
            {"--port", sim->slavePath(), "--baud", "9600", "-d", shots, "--every", "1", "capture"});
    });
    // The screen request, after the query and the link checks.
    const bool asked = sim->waitForPackets(4, std::chrono::seconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cliRequestStop(SIGTERM);
    command.join();
    ASSERT_TRUE(asked);
    EXPECT_EQ(r.exit, 128 + SIGTERM);
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(fileExists(shots) && !std::filesystem::is_empty(shots)) << "no file, no temporary";
    EXPECT_EQ(settingsRead(store).autoBaudRate, 2) << "the port's rate, stored on the way out";
    sim->clearLog();
    const Outcome next = run({"--port", sim->slavePath(), "query"});
    EXPECT_EQ(next.exit, ExitDone) << next.err;
    EXPECT_EQ(valueOf(next.out, "Product ID"), "95");
    const std::vector<sim::LoggedPacket> log = sim->packets();
    ASSERT_FALSE(log.empty());
    EXPECT_FALSE(log.front().heard) << "the next command began while the screen was still coming";
    EXPECT_TRUE(std::all_of(log.begin(), log.end(), [](const auto& p) {
        return p.lineRate == 9600;
    })) << "found at once, without probing other rates";
}

TEST_F(CliAgainstReceiver, PortThatCannotBeOpenedSaysWhy) {
    const std::string path = dir.file("ttyNothing");
    Outcome r = run({"--port", path, "query"});
    EXPECT_EQ(r.exit, ExitNoReceiver);
    EXPECT_EQ(r.err, "Cannot open " + path + ": no such device.\n");
    EXPECT_FALSE(fileExists(store)) << "nothing to remember without a port";

    auto sim = receiver(sim::presetForProduct(95));
    const int holder = open(sim->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    r = run({"--port", sim->slavePath(), "query"});
    close(holder);
    EXPECT_EQ(r.exit, ExitNoReceiver);
    EXPECT_EQ(r.err.rfind("Cannot open " + sim->slavePath() + ": the port is busy", 0), 0u)
        << r.err;
}

TEST_F(CliAgainstReceiver, UsageErrorsAndHelp) {
    const Outcome r = run({"--baud", "300", "query"});
    EXPECT_EQ(r.exit, ExitUsage);
    EXPECT_NE(r.err.find("usage: lumagrab-cli"), std::string::npos);
    const Outcome help = run({"--help"});
    EXPECT_EQ(help.exit, ExitDone);
    const std::string said[] = {"--simulate", "/dev/ttyUSB0", "kept in the file " + store};
    for (const std::string& text : said) EXPECT_NE(help.out.find(text), std::string::npos) << text;
}

// The file's kind follows its extension in any case.
TEST_F(CliAgainstReceiver, SimulatedReceiverNeedsNoPort) {
    const Outcome r = run({"--simulate=170", "-o", dir.file("demo.Png"), "capture"});
    ASSERT_EQ(r.exit, ExitDone) << r.err;
    EXPECT_EQ(valueOf(r.out, "Device Type"), catalogueProductName(170));
    EXPECT_EQ(valueOf(r.out, "Saved"), dir.file("demo.Png"));
    expectSamePicture(dir.file("demo.Png"), sim::presetForProduct(170).picture);
    EXPECT_FALSE(fileExists(store)) << "a virtual receiver's rate is not remembered";
}

// As Auto Detect does, a stored port number that names no port is refused
// and the search goes on at port 1.
TEST_F(CliAgainstReceiver, DetectGoesOnToPort1AfterAStoredNumberThatNamesNoPort) {
    auto sim = receiver(sim::presetForProduct(144));
    AppSettings s = settingsFirstRunDefaults();
    s.commPort = 3;
    s.com1Device = sim->slavePath();
    ASSERT_TRUE(settingsSave(s, store));
    const Outcome r = run({"detect"});
    EXPECT_EQ(r.exit, ExitDone);
    EXPECT_EQ(r.err, message(DeviceMessage::InvalidPort));
    EXPECT_EQ(valueOf(r.out, "Port"), sim->slavePath());
}

// --- products ----------------------------------------------------------------

// Every product that can be captured, its ID in column 26, in the order of
// the names.
TEST_F(CliAgainstReceiver, ProductsListsEveryCapturableProductInListOrder) {
    const Outcome r = run({"products"});
    ASSERT_EQ(r.exit, ExitDone);
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 87u);
    EXPECT_EQ(lines[0], "Cauldry 106               48");
    EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end(), [](const auto& a, const auto& b) {
        return strcasecmp(a.c_str(), b.c_str()) < 0;
    }));
}

}  // namespace
