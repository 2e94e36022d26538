// How fast the virtual receiver turns a picture into raw screen data, and how
// fast a whole screen crosses its pseudo-terminal when not paced.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "sim/screen_encoder.h"
#include "sim/sim_wire.h"
#include "sim/virtual_receiver.h"

namespace {

void BM_EncodeScreen(benchmark::State& state) {
    const sim::Config c = sim::presetForProduct(static_cast<uint16_t>(state.range(0)));
    sim::EncodedScreen e;
    for (auto _ : state) {
        benchmark::DoNotOptimize(sim::encodeScreen(c.screen, c.picture, e));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * e.raw.size()));
}
BENCHMARK(BM_EncodeScreen)->Arg(59)->Arg(111)->Arg(144)->Arg(166);

// Reads frames until the one whose pixel chunk ends the raw picture.
bool readWholeScreen(int fd, size_t rawSize) {
    sim::wire::FrameDecoder decoder;
    sim::wire::Frame frame;
    uint8_t buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) {
            return false;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        for (ssize_t i = 0; i < n; ++i) {
            if (decoder.feed(buffer[i], frame) && frame.payload.size() > 8 &&
                frame.payload[0] == 1 &&
                sim::wire::getLe32(&frame.payload[4]) + frame.payload.size() - 8 >= rawSize) {
                return true;
            }
        }
    }
}

void BM_ScreenOverPseudoTerminal(benchmark::State& state) {
    VirtualReceiver receiver(sim::presetForProduct(144));
    if (!receiver.start()) {
        state.SkipWithError(receiver.error().c_str());
        return;
    }
    const int fd = open(receiver.slavePath().c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
    const size_t rawSize = static_cast<size_t>(receiver.expectedPicture().width) *
                           receiver.expectedPicture().height;  // 8 bits per pixel
    const std::vector<uint8_t> request = sim::wire::encodeFrame(10, {32, 0});
    for (auto _ : state) {
        if (write(fd, request.data(), request.size()) < 0 || !readWholeScreen(fd, rawSize)) {
            state.SkipWithError("screen did not arrive");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * rawSize));
    close(fd);
}
BENCHMARK(BM_ScreenOverPseudoTerminal)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
