// Screen capture speed: post-processing and conversion of a full screen, and
// whole captures from the virtual receiver pacing its output at the line
// rate, against the time the bytes need on the wire.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <vector>

#include "capture/post_process.h"
#include "capture/screen_convert.h"
#include "capture/screen_download.h"
#include "link/packet_link.h"
#include "platform/platform.h"
#include "serial/serial_port.h"
#include "sim/virtual_receiver.h"

#include "cpu_clock.h"

namespace {

// --- Post-processing and conversion of 320 x 240 at 8 bits per pixel --------

const PostProcessFn kRoutines[] = {nullptr, reverseBitOrder, splitEvenOddBytes, clearLast28Bytes,
                                   cropWindowSwapNibbles};
const char* const kRoutineNames[] = {"none", "reverseBitOrder", "splitEvenOddBytes",
                                     "clearLast28Bytes", "cropWindowSwapNibbles"};

void BM_PostProcessAndConvert320x240x8(benchmark::State& state) {
    const PostProcessFn routine = kRoutines[state.range(0)];
    state.SetLabel(kRoutineNames[state.range(0)]);
    ScreenGeometry geometry;
    geometry.rowBytes = 320;
    geometry.bitsPerPixel = 8;
    geometry.rowPixels = 320;
    geometry.rowCount = 240;
    std::vector<uint8_t> source(geometry.rawSize());
    for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i * 13);
    std::vector<uint8_t> raw(source.size());
    BITMAPINFOHEADER header{};
    header.biBitCount = 8;
    header.biClrUsed = 256;
    std::vector<uint8_t> pixels;
    for (auto _ : state) {
        state.PauseTiming();
        raw = source;
        state.ResumeTiming();
        if (routine != nullptr)
            routine(raw.data(), raw.data(), geometry.rawSize());
        screenFillHeader(geometry, header);
        screenConvert(geometry, raw.data(), header, pixels);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_PostProcessAndConvert320x240x8)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// --- Whole captures at the line rate ---------------------------------------

uint64_t gBytesReceived = 0;
void countAndReceive(uint8_t byte) {
    ++gBytesReceived;
    linkReceiveByte(byte);
}

// Args: product ID, line rate.
void BM_CaptureAtLineRate(benchmark::State& state) {
    const auto product = static_cast<uint16_t>(state.range(0));
    const auto rate = static_cast<uint32_t>(state.range(1));
    platformSetSleepHook([](uint32_t) {});
    sim::Config config = sim::presetForProduct(product);
    config.initialRate = rate;
    config.pace = true;
    VirtualReceiver receiver(config);
    if (!receiver.start()) {
        state.SkipWithError(receiver.error().c_str());
        return;
    }
    serialInit();
    serialSetPortDevice(1, receiver.slavePath());
    serialSetByteHandler(countAndReceive);
    if (serialOpen(1) != 1 || serialSetBaudRate(rate) != 1) {
        state.SkipWithError("cannot open the receiver's port");
        return;
    }
    constexpr uint64_t kRequestBytes = 8;  // the SendScreen command on the wire
    DeviceInfo device{};
    static_cast<ProductRecord&>(device) = ProductCatalogue[product];
    double wall = 0, bound = 0, hostCpu = 0, processCpu = 0;
    for (auto _ : state) {
        linkResetReceiver();
        gBytesReceived = 0;
        BitmapInfo info{};
        uint8_t error = 0;
        const double cpu0 = threadCpuSeconds();
        const double process0 = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        const std::vector<uint8_t> pixels = screenDownload(info, device, error);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        if (error != DownloadOk) {
            state.SkipWithError("the download failed");
            break;
        }
        state.SetIterationTime(elapsed.count());
        wall += elapsed.count();
        bound += (gBytesReceived + kRequestBytes) * 10.0 / rate;
        hostCpu += threadCpuSeconds() - cpu0;
        processCpu += processCpuSeconds() - process0;
    }
    serialClose();
    serialShutdown();
    platformSetSleepHook({});
    state.counters["bytes"] = static_cast<double>(gBytesReceived + kRequestBytes);
    state.counters["bound_s"] = bound / state.iterations();
    state.counters["x_bound"] = wall / bound;
    state.counters["cpu_pct"] = 100.0 * hostCpu / wall;
    state.counters["process_cpu_pct"] = 100.0 * processCpu / wall;
}
// A 160 x 240 monochrome screen at every rate, and full 16- and 256-colour
// screens at the fastest.
BENCHMARK(BM_CaptureAtLineRate)
    ->Args({59, 9600})
    ->Args({59, 38400})
    ->Args({59, 115200})
    ->Args({111, 115200})
    ->Args({144, 115200})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
