// Checking a receiver's configuration and switching its faults on by name.
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "sim/screen_encoder.h"
#include "sim/virtual_receiver.h"

namespace sim {
namespace {

constexpr size_t MaxRates = 63;  // what one rate-list packet can carry
constexpr double MaxGapSeconds = 3600;

struct FlagFault {
    std::string_view name;
    bool Faults::*flag;
};

const FlagFault flagFaults[] = {
    {"silent", &Faults::silent},
    {"second-check", &Faults::answerSecondLinkCheck},
    {"no-product", &Faults::noProductReply},
    {"no-rates", &Faults::noRateList},
    {"refuse-rate", &Faults::refuseRateChange},
    {"stop-after-header", &Faults::stopAfterHeader},
    {"reverse", &Faults::reverseChunks},
    {"unknown-packets", &Faults::unknownPackets},
    {"past-end", &Faults::chunkPastEnd},
    {"short-records", &Faults::shortRecords},
    {"ragged-palette", &Faults::raggedPalette},
    {"noise", &Faults::noise},
    {"drop-line", &Faults::dropLine},
};

bool parseGapSeconds(std::string_view text, uint32_t& ms) {
    const std::string copy(text);
    char* end = nullptr;
    const double seconds = std::strtod(copy.c_str(), &end);
    if (copy.empty() || end != copy.c_str() + copy.size() || !std::isfinite(seconds) ||
        seconds < 0 || seconds > MaxGapSeconds) {
        return false;
    }
    ms = static_cast<uint32_t>(std::lround(seconds * 1000));
    return true;
}

bool parseChunkIndex(std::string_view text, int& index) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < 0) {
        return false;
    }
    index = value;
    return true;
}

}  // namespace

bool applyFault(std::string_view faultText, Faults& faults) {
    const size_t eq = faultText.find('=');
    const std::string_view name = faultText.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? "" : faultText.substr(eq + 1);
    if (name == "gap") {
        return eq != std::string_view::npos && parseGapSeconds(value, faults.chunkGapMs);
    }
    if (name == "bad-checksum") {
        return eq != std::string_view::npos && parseChunkIndex(value, faults.badChecksumChunk);
    }
    for (const FlagFault& f : flagFaults) {
        if (name == f.name && eq == std::string_view::npos) {
            faults.*f.flag = true;
            return true;
        }
    }
    return false;
}

std::vector<std::string> faultNames() {
    std::vector<std::string> names;
    for (const FlagFault& f : flagFaults) {
        names.emplace_back(f.name);
    }
    names.emplace_back("gap=SECONDS");
    names.emplace_back("bad-checksum=K");
    return names;
}

std::string validateConfig(const Config& config) {
    if (config.rates.size() > MaxRates) {
        return "at most " + std::to_string(MaxRates) + " rates fit in a rate list";
    }
    for (uint32_t rate : config.rates) {
        if (rate == 0) {
            return "a rate of 0 cannot be offered";
        }
    }
    if (config.initialRate == 0) {
        return "the initial rate must not be 0";
    }
    if (config.chunkSize < 1) {
        return "the chunk size must be at least 1";
    }
    if (config.screen.screenType == 0) {
        return "";
    }
    EncodedScreen encoded;
    return encodeScreen(config.screen, config.picture, encoded);
}

}  // namespace sim
