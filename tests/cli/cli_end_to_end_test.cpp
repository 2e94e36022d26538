// lumagrab-cli against the virtual receiver on a pseudo-terminal: what the
// user sees, the files, the exit codes and the remembered rate.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "cli/cli_app.h"
#include "cli/device_messages.h"
#include "link/product_catalogue.h"
#include "settings/app_settings.h"
#include "sim/virtual_receiver.h"
#include "support/test_support.h"

namespace {

using namespace std::chrono_literals;

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
        Outcome r;
        r.exit = runCli(args, CliContext{out, err, store, false});
        r.out = out.str();
        r.err = err.str();
        return r;
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
        if (line.rfind(name + ": ", 0) == 0) {
            return line.substr(name.size() + 2);
        }
    }
    return "<missing>";
}

// The captured file, read back, against what the receiver showed.
void expectSamePicture(const std::string& path, const VirtualReceiver& receiver) {
    sim::Picture captured;
    std::string error;
    ASSERT_TRUE(sim::loadPictureBmp(path, captured, error)) << error;
    const sim::Picture& shown = receiver.expectedPicture();
    EXPECT_EQ(captured.width, shown.width);
    EXPECT_EQ(captured.height, shown.height);
    EXPECT_TRUE(captured.pixels == shown.pixels) << path;
    for (size_t i = 0; i < shown.palette.size(); ++i) {
        EXPECT_EQ(captured.palette[i], shown.palette[i]) << i;
    }
}

TEST_F(CliAgainstReceiver, CaptureReproducesEveryKindOfScreenAndNumbersTheFiles) {
    for (uint16_t product : {144, 59, 113, 111, 166}) {
        SCOPED_TRACE(product);
        auto sim = receiver(sim::presetForProduct(product));
        const std::string shots = dir.file("shots" + std::to_string(product));
        const Outcome first = run({"--port", sim->slavePath(), "--dir", shots, "capture"});
        ASSERT_EQ(first.exit, ExitDone) << first.err;
        const std::string path = valueOf(first.out, "Saved");
        EXPECT_EQ(path.rfind(shots + "/", 0), 0u) << path;
        EXPECT_EQ(path.substr(path.size() - 7), "-01.bmp");
        EXPECT_EQ(valueOf(first.out, "Device Type"), catalogueProductName(product));
        expectSamePicture(path, *sim);

        const Outcome second = run({"--port", sim->slavePath(), "--dir", shots, "capture"});
        ASSERT_EQ(second.exit, ExitDone) << second.err;
        EXPECT_EQ(valueOf(second.out, "Saved"), path.substr(0, path.size() - 7) + "-02.bmp");
    }
}

TEST_F(CliAgainstReceiver, CaptureToAnExactBitmapOrPng) {
    auto sim = receiver(sim::presetForProduct(158));
    const Outcome bmp = run({"-p", sim->slavePath(), "-o", dir.file("screen.bmp"), "capture"});
    ASSERT_EQ(bmp.exit, ExitDone) << bmp.err;
    EXPECT_EQ(valueOf(bmp.out, "Saved"), dir.file("screen.bmp"));
    expectSamePicture(dir.file("screen.bmp"), *sim);

    const Outcome png = run({"-p", sim->slavePath(), "-o", dir.file("screen.png"), "capture"});
    ASSERT_EQ(png.exit, ExitDone) << png.err;
    const std::vector<uint8_t> bytes = readFileBytes(dir.file("screen.png"));
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 1, bytes.begin() + 4),
              (std::vector<uint8_t>{'P', 'N', 'G'}));
}

TEST_F(CliAgainstReceiver, RepeatedCapturesTakeTheNextNumbers) {
    auto sim = receiver(sim::presetForProduct(95));
    const Outcome r = run({"-p", sim->slavePath(), "-d", dir.file("series"), "--every", "0.01",
                           "--count", "3", "-q", "capture"});
    ASSERT_EQ(r.exit, ExitDone) << r.err;
    for (const char* n : {"01", "02", "03"}) {
        EXPECT_NE(r.out.find(std::string("-") + n + ".bmp"), std::string::npos) << r.out;
    }
    EXPECT_EQ(sim->screensSent(), 3u);
}

TEST_F(CliAgainstReceiver, QueryPrintsProductAndVersion) {
    sim::Config c = sim::presetForProduct(111);
    c.version = 312;
    auto sim = receiver(c);
    const Outcome r = run({"--port", sim->slavePath(), "query"});
    ASSERT_EQ(r.exit, ExitDone) << r.err;
    EXPECT_EQ(valueOf(r.out, "Product ID"), "111");
    EXPECT_EQ(valueOf(r.out, "Device Type"), catalogueProductName(111));
    EXPECT_EQ(valueOf(r.out, "Software Version"), "3.12");
    EXPECT_EQ(valueOf(r.out, "Port"), sim->slavePath());
    EXPECT_EQ(r.err, "");
}

TEST_F(CliAgainstReceiver, ProductOutsideTheCatalogueIsNotConnected) {
    sim::Config c = sim::presetForProduct(211);
    c.version = 5;
    auto sim = receiver(c);
    const Outcome r = run({"--port", sim->slavePath(), "query"});
    ASSERT_EQ(r.exit, ExitDone) << r.err;
    EXPECT_EQ(valueOf(r.out, "Product ID"), "211");
    EXPECT_EQ(valueOf(r.out, "Device Type"), "<Not Connected>");
    EXPECT_EQ(valueOf(r.out, "Software Version"), "0.05");
}

// A receiver left at a faster rate by an earlier run is found through the
// settings' rate without probing; otherwise by probing every rate. Either
// way the rate is remembered for next time.
TEST_F(CliAgainstReceiver, ReceiverIsFoundAtTheRateItWasLeftAt) {
    struct Case {
        const char* what;
        uint8_t baudChoice;
        uint8_t remembered;
        uint32_t receiverRate;
        std::set<uint32_t> ratesTried;
        uint8_t rememberedAfter;
    };
    const Case cases[] = {
        {"remembered rate", 1, 5, 57600, {9600, 57600}, 5},
        {"fixed choice", 4, 0, 38400, {9600, 38400}, 4},
        {"probing", 1, 0, 38400, {9600, 19200, 38400}, 4},
    };
    for (const Case& c : cases) {
        remember(c.baudChoice, c.remembered);
        sim::Config config = sim::presetForProduct(144);
        config.initialRate = c.receiverRate;
        auto sim = receiver(config);
        const Outcome r = run({"--port", sim->slavePath(), "query"});
        ASSERT_EQ(r.exit, ExitDone) << c.what << ": " << r.err;
        EXPECT_EQ(valueOf(r.out, "Baud Rate"), std::to_string(c.receiverRate)) << c.what;
        std::set<uint32_t> tried;
        for (const sim::LoggedPacket& p : sim->packets()) {
            tried.insert(p.lineRate);
        }
        EXPECT_EQ(tried, c.ratesTried) << c.what;
        EXPECT_EQ(settingsRead(store).autoBaudRate, c.rememberedAfter) << c.what;
    }
}

TEST_F(CliAgainstReceiver, AutoRateMovesReceiverAndPortBeforeTheDownload) {
    remember(1, 0);
    auto sim = receiver(sim::presetForProduct(144));
    const Outcome r = run({"--port", sim->slavePath(), "-d", dir.path(), "capture"});
    ASSERT_EQ(r.exit, ExitDone) << r.err;
    EXPECT_EQ(sim->currentRate(), 57600u) << "the second-highest rate of the list";
    EXPECT_EQ(settingsRead(store).autoBaudRate, 5);
}

// --- Failures: exit code and message ---------------------------------------------

TEST_F(CliAgainstReceiver, ReceiverFaultsGiveTheirExitCodeAndMessage) {
    struct Case {
        const char* what;
        uint16_t product;
        const char* fault;
        const char* baud;
        int exit;
        std::string err;
    };
    const Case cases[] = {
        {"silent", 144, "silent", "auto", ExitNoReceiver, message(DeviceMessage::NoResponse)},
        {"no screen capture", 1, nullptr, "auto", ExitNotSupported,
         "This product does not support downloadable screen shots.\n"},
        {"refused rate", 144, "refuse-rate", "57600", ExitRate, message(DeviceMessage::BaudRate)},
        {"stops after the header", 95, "stop-after-header", "9600", ExitDownload,
         message(DeviceMessage::NoResponse)},
    };
    for (const Case& c : cases) {
        sim::Config config = sim::presetForProduct(c.product);
        ASSERT_TRUE(c.fault == nullptr || sim::applyFault(c.fault, config.faults));
        auto sim = receiver(config);
        const Outcome r =
            run({"--port", sim->slavePath(), "--baud", c.baud, "-d", dir.path(), "capture"});
        EXPECT_EQ(r.exit, c.exit) << c.what;
        EXPECT_EQ(r.err, c.err) << c.what;
    }
}

TEST_F(CliAgainstReceiver, DetectFindsNothingWhereNothingAnswers) {
    sim::Config config = sim::presetForProduct(144);
    config.faults.silent = true;
    auto sim = receiver(config);
    const Outcome r = run({"--port", sim->slavePath(), "detect"});
    EXPECT_EQ(r.exit, ExitNoReceiver);
    EXPECT_EQ(r.err, message(DeviceMessage::NotFound));
}

TEST_F(CliAgainstReceiver, UnwritableDirectory) {
    auto sim = receiver(sim::presetForProduct(95));
    writeFileBytes(dir.file("plain"), {1});
    const Outcome r =
        run({"--port", sim->slavePath(), "--baud", "9600", "-d", dir.file("plain/sub"), "capture"});
    EXPECT_EQ(r.exit, ExitFile);
    EXPECT_EQ(r.err.rfind("ERROR: Unable to open file " + dir.file("plain/sub/"), 0), 0u) << r.err;
}

TEST_F(CliAgainstReceiver, DevicePathThatDoesNotExist) {
    const std::string path = dir.file("ttyNothing");
    const Outcome r = run({"--port", path, "query"});
    EXPECT_EQ(r.exit, ExitNoReceiver);
    EXPECT_EQ(r.err, "Cannot open " + path + ": no such device.\n");
    EXPECT_FALSE(fileExists(store)) << "nothing to remember without a port";
}

TEST_F(CliAgainstReceiver, PortHeldByAnotherOpener) {
    auto sim = receiver(sim::presetForProduct(95));
    const int holder = open(sim->slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    const Outcome r = run({"--port", sim->slavePath(), "query"});
    close(holder);
    EXPECT_EQ(r.exit, ExitNoReceiver);
    EXPECT_NE(r.err.find("busy, held by another program"), std::string::npos) << r.err;
}

TEST_F(CliAgainstReceiver, UsageErrors) {
    const Outcome r = run({"--baud", "300", "query"});
    EXPECT_EQ(r.exit, ExitUsage);
    EXPECT_NE(r.err.find("usage: lumagrab-cli"), std::string::npos);
    EXPECT_EQ(run({"--help"}).exit, ExitDone);
}

TEST_F(CliAgainstReceiver, SimulatedReceiverNeedsNoPort) {
    const Outcome r = run({"--simulate=170", "-d", dir.file("demo"), "capture"});
    ASSERT_EQ(r.exit, ExitDone) << r.err;
    EXPECT_EQ(valueOf(r.out, "Device Type"), catalogueProductName(170));
    EXPECT_TRUE(fileExists(valueOf(r.out, "Saved")));
    EXPECT_FALSE(fileExists(store)) << "a virtual receiver's rate is not remembered";
}

// --- products ----------------------------------------------------------------

TEST_F(CliAgainstReceiver, ProductsListsEveryCapturableProductInListOrder) {
    const Outcome r = run({"products"});
    ASSERT_EQ(r.exit, ExitDone);
    std::vector<std::string> lines;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 87u);
    std::set<int> ids;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        ASSERT_GT(line.size(), 26u);
        const int id = std::stoi(line.substr(26));
        ids.insert(id);
        EXPECT_EQ(line[25], ' ') << line;
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(line[26]))) << line;
        EXPECT_EQ(line.substr(0, 26).find_last_not_of(' ') + 1,
                  std::string(catalogueProductName(id)).size())
            << line;
        EXPECT_TRUE(catalogueSupportsCapture(&ProductCatalogue[id])) << line;
        if (i > 0) {
            std::string a = lines[i - 1], b = line;
            std::transform(a.begin(), a.end(), a.begin(), ::tolower);
            std::transform(b.begin(), b.end(), b.begin(), ::tolower);
            EXPECT_LE(a, b);
        }
    }
    EXPECT_EQ(ids.size(), 87u);
}

}  // namespace
