// The virtual receiver where there are no pseudo-terminals (Windows): it
// never starts, so `lumagrab-cli --simulate` says why and ends.
#include "sim/virtual_receiver.h"

namespace sim {

struct VirtualReceiver::Engine {};

VirtualReceiver::VirtualReceiver(Config config) : config_(std::move(config)) {}

VirtualReceiver::~VirtualReceiver() = default;

bool VirtualReceiver::start() {
    error_ = "no pseudo-terminals on this system; run lumagrab-sim on Linux instead";
    return false;
}

void VirtualReceiver::stop() {}

}  // namespace sim
