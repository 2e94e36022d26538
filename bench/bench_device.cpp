// Processor time used by device operations while they wait for a receiver
// that never answers: the waits sleep until the next tick instead of spinning.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>

#include "link/device_link.h"
#include "link/device_query.h"
#include "link/packet_link.h"
#include "platform/platform.h"
#include "serial/serial_port.h"

#include "cpu_clock.h"

namespace {

// A port open on a pseudo-terminal whose far end stays silent.
class SilentLine {
  public:
    SilentLine() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        platformSetSleepHook([](uint32_t) {});
        serialSetPortDevice(1, ptsname(master_));
        serialInit();
        serialSetByteHandler(linkReceiveByte);
        linkResetReceiver();
        open_ = serialOpen(1) == 1;
    }
    ~SilentLine() {
        serialClose();
        serialShutdown();
        platformSetSleepHook(nullptr);
        if (master_ >= 0)
            close(master_);
    }
    bool open() const { return open_; }

  private:
    int master_ = -1;
    bool open_ = false;
};

template <typename Operation>
void measureSilentWait(benchmark::State& state, Operation operation) {
    SilentLine line;
    if (!line.open()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        const auto begin = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(operation());
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.counters["cpu_percent"] = 100.0 * (processCpuSeconds() - cpuBefore) / wall;
        state.counters["wall_s"] = wall;
    }
}

void BM_UnansweredProductQuery(benchmark::State& state) {
    measureSilentWait(state, [] {
        DeviceInfo info{};
        char version[256] = "";
        return deviceQueryProduct(info, version, sizeof version);
    });
}
BENCHMARK(BM_UnansweredProductQuery)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_UnansweredLinkCheck(benchmark::State& state) {
    measureSilentWait(state, [] { return deviceCheckLink(); });
}
BENCHMARK(BM_UnansweredLinkCheck)->Iterations(4)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
