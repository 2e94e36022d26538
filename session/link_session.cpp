#include "session/link_session.h"

#include "link/packet_link.h"
#include "platform/platform.h"
#include "serial/serial_port.h"
#include "sim/virtual_receiver.h"

LinkSession::LinkSession(std::optional<Simulation> simulation) : simulation_(simulation) {}

LinkSession::~LinkSession() {
    end();
}

bool LinkSession::begin(std::string& error) {
    linkResetReceiver();
    serialInit();
    serialSetByteHandler(linkReceiveByte);
    begun_ = true;
    if (!simulation_)
        return true;
    sim::Config config = sim::presetForProduct(simulation_->product);
    config.pace = simulation_->paced;
    simulator_ = std::make_unique<sim::VirtualReceiver>(std::move(config));
    if (!simulator_->start()) {
        error = "The virtual receiver cannot start: " + simulator_->error();
        simulator_.reset();
        return false;
    }
    platformSetSleepHook([](uint32_t) {});
    serialSetPortDevice(1, simulator_->slavePath());
    return true;
}

void LinkSession::setPortDevices(const std::string& com1Device, const std::string& com2Device) {
    serialSetPortDevice(1, simulator_ ? simulator_->slavePath() : com1Device);
    serialSetPortDevice(2, com2Device);
}

std::string LinkSession::devicePath(uint8_t port) const {
    return serialPortDevice(port);
}

bool LinkSession::openPort(uint8_t port) {
    serialClose();
    const bool opened = (port == 1 || port == 2) && serialOpen(port) != 0;
    linkResetReceiver();
    return opened;
}

uint8_t LinkSession::otherPort(uint8_t port) {
    return port == 1 ? 2 : 1;
}

std::optional<uint8_t> LinkSession::end() {
    if (!begun_)
        return std::nullopt;
    begun_ = false;
    const uint8_t rate = serialBaudIndex();  // before the close sets it to 0
    serialClose();
    serialShutdown();
    linkResetReceiver();
    if (!simulator_)
        return simulation_ ? std::nullopt : std::optional<uint8_t>(rate);
    simulator_->stop();
    simulator_.reset();
    platformSetSleepHook(nullptr);
    return std::nullopt;
}
