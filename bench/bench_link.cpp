// Receive-path throughput of the framing layer, and the processor time that
// waiting on the tick costs.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <vector>

#include "link/packet_link.h"
#include "platform/platform.h"
#include "serial/serial_port.h"
#include "serial/tick_timer.h"

#include "cpu_clock.h"

namespace {

// A stream of frames with 255-byte random payloads, DLEs doubled.
std::vector<uint8_t> frameStream(int frames) {
    std::mt19937 random(7);
    std::vector<uint8_t> out;
    auto put = [&out](uint8_t b) {
        out.push_back(b);
        if (b == 0x10)
            out.push_back(b);
    };
    for (int f = 0; f < frames; ++f) {
        const uint8_t id = 69;
        uint8_t sum = static_cast<uint8_t>(id + 255);
        out.insert(out.end(), {0x10, id});
        put(255);
        for (int i = 0; i < 255; ++i) {
            const uint8_t b = static_cast<uint8_t>(random());
            sum = static_cast<uint8_t>(sum + b);
            put(b);
        }
        put(static_cast<uint8_t>(-sum));
        out.insert(out.end(), {0x10, 0x03});
    }
    return out;
}

void BM_ReceivePath(benchmark::State& state) {
    const std::vector<uint8_t> stream = frameStream(64);
    linkSetOverflow(0);
    linkResetReceiver();
    Packet packet;
    int64_t taken = 0;
    for (auto _ : state) {
        for (uint8_t b : stream) linkReceiveByte(b);
        while (linkPacketWaiting()) {
            linkTakePacket(packet);
            ++taken;
        }
        benchmark::DoNotOptimize(packet);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(stream.size()));
    state.counters["packets"] = static_cast<double>(taken);
    if (linkOverflow())
        state.SkipWithError("receive overflow");
}
BENCHMARK(BM_ReceivePath);

// Waits `seconds` on the tick the way the protocol's loops do and reports the
// processor time used by the whole process (waiter and timer thread) as a
// percentage of one core.
template <void (*Wait)()>
void BM_TickWaitCpu(benchmark::State& state) {
    const auto length = std::chrono::milliseconds(state.range(0));
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        const auto begin = std::chrono::steady_clock::now();
        tickStart();
        int64_t ticks = 0;
        while (std::chrono::steady_clock::now() - begin < length) {
            Wait();
            tickClear();
            ++ticks;
        }
        tickStop();
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        state.counters["cpu_percent"] = 100.0 * (processCpuSeconds() - cpuBefore) / wall;
        state.counters["ticks_per_s"] = static_cast<double>(ticks) / wall;
    }
}
BENCHMARK_TEMPLATE(BM_TickWaitCpu, tickWaitPending)
    ->Arg(2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_TickWaitCpu, tickWaitForTickOrData)
    ->Arg(2000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The download's wait: on the tick or on data from an open, silent port.
void BM_TickWaitCpuOnOpenPort(benchmark::State& state) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    platformSetSleepHook([](uint32_t) {});
    serialSetPortDevice(1, ptsname(master));
    serialInit();
    if (serialOpen(1) != 1)
        state.SkipWithError("cannot open the port");
    BM_TickWaitCpu<tickWaitForTickOrData>(state);
    serialClose();
    serialShutdown();
    platformSetSleepHook(nullptr);
    close(master);
}
BENCHMARK(BM_TickWaitCpuOnOpenPort)->Arg(2000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
