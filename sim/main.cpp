// lumagrab-sim: a virtual GPS receiver on a pseudo-terminal, for trying the
// programs without hardware. Prints the serial device to open and runs until
// interrupted.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "lumagrab_version.h"
#include "sim/screen_encoder.h"
#include "sim/virtual_receiver.h"

namespace {

struct Options {
    sim::Config config = sim::presetForProduct(144);
    std::string image;
    std::string link;
    bool logPackets = false;
};

const char usage[] =
    "usage: lumagrab-sim [OPTIONS]\n"
    "  --product ID        play this product (its screen kind and a test pattern; default 144)\n"
    "  --version V         software version, e.g. 3.10\n"
    "  --image FILE.bmp    show this 1-, 4- or 8-bit bitmap on the screen\n"
    "  --pattern NAME      test pattern: bars, checker, ramp, noise\n"
    "  --rates LIST        rates offered, e.g. 9600,57600,115200, or 'none'\n"
    "  --start-rate RATE   rate the receiver runs at when started (default 9600)\n"
    "  --chunk N           pixel bytes per screen record\n"
    "  --pace              send at the line rate, ten bit times a byte\n"
    "  --link PATH         make PATH a symbolic link to the serial device\n"
    "  --fault NAME        misbehave (repeatable): ";

void printUsage(FILE* out) {
    std::fputs(usage, out);
    std::string names;
    for (const std::string& name : sim::faultNames()) {
        names += (names.empty() ? "" : ", ") + name;
    }
    std::fprintf(out, "%s\n  --log               print every packet received\n", names.c_str());
}

template <typename T>
bool parseNumber(std::string_view text, T& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseVersion(const std::string& text, uint16_t& version) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 0 || v > 655.35) {
        return false;
    }
    version = static_cast<uint16_t>(std::lround(v * 100));
    return true;
}

bool parseRates(std::string_view text, std::vector<uint32_t>& rates) {
    rates.clear();
    if (text == "none") {
        return true;
    }
    while (!text.empty()) {
        const size_t comma = text.find(',');
        uint32_t rate = 0;
        if (!parseNumber(text.substr(0, comma), rate) || rate == 0) {
            return false;
        }
        rates.push_back(rate);
        text = comma == std::string_view::npos ? "" : text.substr(comma + 1);
    }
    return !rates.empty();
}

// Options that keep their meaning whatever --product comes later are
// collected first and applied after the preset is chosen.
struct Overrides {
    std::string version, pattern, rates, startRate, chunk;
    std::vector<std::string> faults;
    bool pace = false;
};

bool applyOverrides(const Overrides& o, Options& opt) {
    sim::Config& c = opt.config;
    if (!o.version.empty() && !parseVersion(o.version, c.version)) {
        std::fprintf(stderr, "lumagrab-sim: bad version '%s'\n", o.version.c_str());
        return false;
    }
    if (!o.rates.empty() && !parseRates(o.rates, c.rates)) {
        std::fprintf(stderr, "lumagrab-sim: bad rate list '%s'\n", o.rates.c_str());
        return false;
    }
    if (!o.startRate.empty() && (!parseNumber(o.startRate, c.initialRate) || c.initialRate == 0)) {
        std::fprintf(stderr, "lumagrab-sim: bad start rate '%s'\n", o.startRate.c_str());
        return false;
    }
    if (!o.chunk.empty() && (!parseNumber(o.chunk, c.chunkSize) || c.chunkSize < 1)) {
        std::fprintf(stderr, "lumagrab-sim: bad chunk size '%s'\n", o.chunk.c_str());
        return false;
    }
    for (const std::string& f : o.faults) {
        if (!sim::applyFault(f, c.faults)) {
            std::fprintf(stderr, "lumagrab-sim: unknown fault '%s'\n", f.c_str());
            return false;
        }
    }
    c.pace = c.pace || o.pace;
    if (!o.pattern.empty() && c.screen.screenType != 0) {
        sim::Pattern pattern;
        if (!sim::parsePattern(o.pattern, pattern)) {
            std::fprintf(stderr, "lumagrab-sim: unknown pattern '%s'\n", o.pattern.c_str());
            return false;
        }
        sim::Picture p = sim::makeTestPattern(pattern, c.picture.width, c.picture.height,
                                              sim::screenColours(c.screen.screenType));
        p.palette = c.picture.palette;
        c.picture = p;
    }
    if (!opt.image.empty()) {
        std::string error;
        std::vector<sim::Rgb> palette = c.picture.palette;
        if (!sim::loadPictureBmp(opt.image, c.picture, error)) {
            std::fprintf(stderr, "lumagrab-sim: %s\n", error.c_str());
            return false;
        }
        if (c.screen.recordFormat != 4) {
            c.picture.palette = palette;
        }
    }
    return true;
}

// 0: go on; 1: stop with success (help); 2: usage error.
int parseArguments(int argc, char** argv, Options& opt) {
    Overrides o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "lumagrab-sim: %s needs a value\n", arg.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            std::printf("lumagrab-sim %s: the virtual receiver of GPS Lumagrab\n",
                        LUMAGRAB_VERSION);
            printUsage(stdout);
            return 1;
        } else if (arg == "--product") {
            uint16_t id = 0;
            if (!value(v) || !parseNumber(v, id)) {
                std::fprintf(stderr, "lumagrab-sim: bad product ID '%s'\n", v.c_str());
                return 2;
            }
            opt.config = sim::presetForProduct(id);
        } else if (arg == "--pace") {
            o.pace = true;
        } else if (arg == "--log") {
            opt.logPackets = true;
        } else if (arg == "--fault") {
            if (!value(v))
                return 2;
            o.faults.push_back(v);
        } else {
            std::string* target = arg == "--version"      ? &o.version
                                  : arg == "--pattern"    ? &o.pattern
                                  : arg == "--rates"      ? &o.rates
                                  : arg == "--start-rate" ? &o.startRate
                                  : arg == "--chunk"      ? &o.chunk
                                  : arg == "--image"      ? &opt.image
                                  : arg == "--link"       ? &opt.link
                                                          : nullptr;
            if (target == nullptr) {
                std::fprintf(stderr, "lumagrab-sim: unknown option '%s'\n", arg.c_str());
                printUsage(stderr);
                return 2;
            }
            if (!value(*target))
                return 2;
        }
    }
    return applyOverrides(o, opt) ? 0 : 2;
}

bool makeLink(const std::string& link, const std::string& target) {
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            std::fprintf(stderr, "lumagrab-sim: %s exists and is not a symbolic link\n",
                         link.c_str());
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        std::perror(("lumagrab-sim: " + link).c_str());
        return false;
    }
    return true;
}

void describe(const VirtualReceiver& receiver) {
    const sim::Config& c = receiver.config();
    std::fprintf(stderr, "lumagrab-sim: product %u, version %u.%02u", c.productId, c.version / 100,
                 c.version % 100);
    if (c.screen.screenType != 0) {
        std::fprintf(stderr, ", screen %d x %d (type %u, record format %u, %u bits per pixel)",
                     c.picture.width, c.picture.height, c.screen.screenType, c.screen.recordFormat,
                     c.screen.bitsPerPixel);
    } else {
        std::fprintf(stderr, ", no screen capture");
    }
    std::fprintf(stderr, ", at %u bit/s\n", c.initialRate);
}

void printPacket(const sim::LoggedPacket& p) {
    std::string bytes;
    for (size_t i = 0; i < p.payload.size() && i < 16; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", p.payload[i]);
        bytes += hex;
    }
    std::fprintf(stderr, "packet %3u, %3zu bytes at %6u bit/s%s:%s%s\n", p.id, p.payload.size(),
                 p.lineRate, p.heard ? "" : " (not heard)", bytes.c_str(),
                 p.payload.size() > 16 ? " ..." : "");
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    const int parsed = parseArguments(argc, argv, opt);
    if (parsed != 0) {
        return parsed == 1 ? 0 : 2;
    }
    // Block the stop signals before the receiver's thread starts, so that
    // only the wait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    VirtualReceiver receiver(opt.config);
    if (!receiver.start()) {
        std::fprintf(stderr, "lumagrab-sim: %s\n", receiver.error().c_str());
        return 1;
    }
    if (!opt.link.empty() && !makeLink(opt.link, receiver.slavePath())) {
        return 1;
    }
    std::printf("%s\n", receiver.slavePath().c_str());
    std::fflush(stdout);
    describe(receiver);
    std::fprintf(stderr, "Open %s as the serial port; Ctrl-C stops.\n",
                 opt.link.empty() ? receiver.slavePath().c_str() : opt.link.c_str());

    size_t shown = 0;
    const timespec tick{0, 100'000'000};
    while (sigtimedwait(&stopSignals, nullptr, &tick) < 0) {
        if (opt.logPackets) {
            const std::vector<sim::LoggedPacket> log = receiver.packets();
            for (; shown < log.size(); ++shown) {
                printPacket(log[shown]);
            }
        }
    }
    receiver.stop();
    if (!opt.link.empty()) {
        unlink(opt.link.c_str());
    }
    return 0;
}
