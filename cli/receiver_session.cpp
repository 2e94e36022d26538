#include "cli/receiver_session.h"

#include "link/device_link.h"
#include "serial/port_list.h"
#include "serial/serial_port.h"
#include "session/device_messages.h"
#include "session/device_session.h"

namespace {

std::optional<LinkSession::Simulation> simulationOf(const CliOptions& options) {
    if (!options.simulate)
        return std::nullopt;
    return LinkSession::Simulation{*options.simulate};
}

}  // namespace

ReceiverSession::ReceiverSession(const CliOptions& options, AppSettings settings,
                                 std::string settingsPath, std::ostream& err)
    : options_(options),
      settings_(std::move(settings)),
      settingsPath_(std::move(settingsPath)),
      err_(err),
      link_(simulationOf(options)) {}

ReceiverSession::~ReceiverSession() {
    end();
}

bool ReceiverSession::begin() {
    std::string error;
    if (!link_.begin(error)) {
        err_ << error << '\n';
        return false;
    }
    const bool pathGiven = !options_.simulate && !options_.port.empty() && options_.port != "1" &&
                           options_.port != "2";
    link_.setPortDevices(pathGiven ? options_.port : settings_.com1Device, settings_.com2Device);
    if (options_.simulate || pathGiven) {
        chosenPort_ = 1;
    } else if (!options_.port.empty()) {
        chosenPort_ = static_cast<uint8_t>(options_.port[0] - '0');
    } else {
        chosenPort_ = settings_.commPort;
    }
    return true;
}

std::vector<uint8_t> ReceiverSession::portsToSearch() const {
    const bool numbered = !options_.simulate &&
                          (options_.port.empty() || options_.port == "1" || options_.port == "2");
    if (numbered) {
        // Auto Detect moves to port 1 from any number other than 1, so a
        // stored number that names no port still leads to port 1.
        return {chosenPort_, LinkSession::otherPort(chosenPort_)};
    }
    return {chosenPort_};
}

std::string ReceiverSession::devicePath(uint8_t port) const {
    return link_.devicePath(port);
}

uint8_t ReceiverSession::baudChoice() const {
    return options_.baudChoice.value_or(settings_.baudRate);
}

bool ReceiverSession::openPort(uint8_t port) {
    chosenPort_ = port;  // the port in use from now on, as a click on its button makes it
    if (port != 1 && port != 2) {
        link_.openPort(port);
        showDeviceMessage(DeviceMessage::InvalidPort);
        return false;
    }
    if (!link_.openPort(port)) {
        err_ << serialOpenProblem(devicePath(port), serialLastOpenError()) << '\n';
        return false;
    }
    portWasOpen_ = true;
    return true;
}

bool ReceiverSession::findReceiver() {
    return sessionFindAtStartup(baudChoice(), settings_.autoBaudRate) || deviceProbeBaudRates();
}

bool ReceiverSession::checkOrProbe() {
    return sessionCheckOrProbe();
}

bool ReceiverSession::identify(Identity& identity) {
    return sessionIdentify(identity.info, identity.version, &identity.productId);
}

void ReceiverSession::end() {
    const std::optional<uint8_t> rate = link_.end();
    if (rate && portWasOpen_) {
        portWasOpen_ = false;
        settingsSaveAutoBaudRate(*rate, settingsPath_);
    }
}
