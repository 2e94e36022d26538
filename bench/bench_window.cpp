// The window program offscreen: how soon the main window shows with no
// receiver attached (its search runs afterwards); the longest pause of the
// window's event loop while a rate negotiation (with its real pauses) or a
// download paced at the line rate runs on the worker; and a soak of 200
// Downloads with Auto Save against the unpaced virtual receiver.
// Targets: shown within 300 ms; no gap between 10 ms timer events above
// 50 ms; every file of the soak whole, resident memory growing by less than
// 1 MB from the 10th Download to the 200th.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/qt_main_dialog.h"
#include "catalogue/bitmap_types.h"
#include "sim/virtual_receiver.h"
#include "window/resource_ids.h"

namespace {

namespace fs = std::filesystem;

// A settings store in a fresh directory; port 1 on `port1`, Auto Save into
// the directory, and `lines`.
std::string settingsStore(const std::string& port1, const std::string& lines) {
    const fs::path dir = fs::temp_directory_path() / ("lumagrab-bench-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    const std::string path = (dir / "GPSLumagrab.reg").string();
    std::ofstream(path) << "REGEDIT4\n\n[" << kSettingsKey << "]\n"
                        << "\"Com1Device\"=\"" << port1 << "\"\n"
                        << "\"Com2Device\"=\"" << (dir / "none").string() << "\"\n"
                        << "\"OutputPath\"=\"" << (dir / "out").string() << "\"\n"
                        << "\"AutoSave\"=hex:01\n"
                        << lines;
    return path;
}

void runEventsUntil(const std::function<bool()>& done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void BM_WindowShownWithoutReceiver(benchmark::State& state) {
    const std::string store = settingsStore("/nonexistent/port", "");
    double worstMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        auto window = std::make_unique<QtMainDialog>(MainDialog::Options{store, std::nullopt});
        window->start();
        window->show();
        runEventsUntil(
            [&] { return window->windowHandle() && window->windowHandle()->isExposed(); });
        const double ms = clock.nsecsElapsed() / 1e6;
        worstMs = std::max(worstMs, ms);
        state.SetIterationTime(ms / 1000);
        state.PauseTiming();
        runEventsUntil([&] { return !window->behaviour().commandRunning(); });
        window.reset();
        state.ResumeTiming();
    }
    state.counters["worst_shown_ms"] = worstMs;
}

// Downloads once with the window's thread timed by a 10 ms timer; reports
// the longest gap between two timer events while the command ran.
void measureEventLoop(benchmark::State& state, sim::Config config, const std::string& lines) {
    VirtualReceiver receiver(std::move(config));
    if (!receiver.start()) {
        state.SkipWithError(receiver.error().c_str());
        return;
    }
    double worstGapMs = 0;
    for (auto _ : state) {
        QtMainDialog window(
            MainDialog::Options{settingsStore(receiver.slavePath(), lines), std::nullopt});
        window.start();
        window.show();
        runEventsUntil([&] { return !window.behaviour().commandRunning(); });
        QElapsedTimer sinceLast;
        double longest = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceLast.nsecsElapsed() / 1e6);
            sinceLast.restart();
        });
        const auto start = std::chrono::steady_clock::now();
        window.behaviour().OnCommand(res::IDC_DOWNLOAD);
        sinceLast.start();
        ticker.start(10);
        runEventsUntil([&] { return !window.behaviour().commandRunning(); });
        ticker.stop();
        worstGapMs = std::max(worstGapMs, longest);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["longest_gap_ms"] = worstGapMs;
    state.counters["screens_sent"] = double(receiver.screensSent());
}

// Auto with nothing remembered: the rate list, the change and its pauses (about 6 s).
void BM_EventLoopDuringNegotiation(benchmark::State& state) {
    measureEventLoop(state, sim::presetForProduct(sim::kDefaultSimulatedProduct),
                     "\"BaudRate\"=dword:00000001\n\"AutoBaudRate\"=dword:00000000\n");
}

// At 9600 bit/s, where no rate changes: the screen at the pace of the line.
void BM_EventLoopDuringPacedDownload(benchmark::State& state) {
    sim::Config config = sim::presetForProduct(95);
    config.pace = true;
    measureEventLoop(state, config, "\"BaudRate\"=dword:00000002\n");
}

// Resident memory of this process, in kB.
long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

// 200 Downloads in a row through the window's behaviour, each saved under a
// new name; every file must be whole (header, palette and pixels of the
// screen's size).
void BM_DownloadSoak(benchmark::State& state) {
    constexpr int kDownloads = 200;
    const std::string store = settingsStore("", "\"BaudRate\"=dword:00000006\n");
    const fs::path out = fs::path(store).parent_path() / "out";
    for (auto _ : state) {
        QtMainDialog window(MainDialog::Options{
            store, LinkSession::Simulation{sim::kDefaultSimulatedProduct, false}});
        window.start();
        runEventsUntil([&] { return !window.behaviour().commandRunning(); });
        long rssAt10 = 0;
        for (int n = 1; n <= kDownloads; ++n) {
            window.behaviour().OnCommand(res::IDC_DOWNLOAD);
            runEventsUntil([&] { return !window.behaviour().commandRunning(); });
            if (n == 10)
                rssAt10 = residentKb();
        }
        state.counters["rss_growth_kb"] = double(residentKb() - rssAt10);
    }
    size_t whole = 0;
    std::error_code ignored;
    const uintmax_t size = 14 + sizeof(BITMAPINFOHEADER) + 1024 + 240 * 320;
    for (const auto& entry : fs::directory_iterator(out, ignored))
        whole += entry.file_size() == size;
    state.counters["files_whole"] = double(whole);
    state.counters["downloads"] = kDownloads;
}

}  // namespace

BENCHMARK(BM_WindowShownWithoutReceiver)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_EventLoopDuringNegotiation)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_EventLoopDuringPacedDownload)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_DownloadSoak)->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
