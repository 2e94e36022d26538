#include "cli/receiver_session.h"

#include <cerrno>
#include <cstring>

#include "link/device_link.h"
#include "link/packet_link.h"
#include "platform/platform.h"
#include "serial/serial_port.h"
#include "session/device_messages.h"
#include "session/device_session.h"

std::string portOpenProblem(const std::string& path, int error) {
    const std::string head = "Cannot open " + path + ": ";
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return head + "no such device.";
        case EACCES:
        case EPERM:
            return head +
                   "permission denied. Add your user to the dialout group "
                   "(sudo usermod -aG dialout $USER), then log out and log in again.";
        case EBUSY:
        case EWOULDBLOCK:
            return head +
                   "the port is busy, held by another program (ModemManager, gpsd and brltty "
                   "are the usual ones).";
        default:
            return head + std::strerror(error) + ".";
    }
}

ReceiverSession::ReceiverSession(const CliOptions& options, AppSettings settings,
                                 std::string settingsPath, std::ostream& err)
    : options_(options),
      settings_(std::move(settings)),
      settingsPath_(std::move(settingsPath)),
      err_(err) {}

ReceiverSession::~ReceiverSession() {
    end();
}

bool ReceiverSession::begin() {
    serialInit();
    serialSetByteHandler(linkReceiveByte);
    linkResetReceiver();
    serialSetPortDevice(1, settings_.com1Device);
    serialSetPortDevice(2, settings_.com2Device);
    begun_ = true;
    if (options_.simulate) {
        simulator_ = std::make_unique<VirtualReceiver>(sim::presetForProduct(*options_.simulate));
        if (!simulator_->start()) {
            err_ << "The virtual receiver cannot start: " << simulator_->error() << '\n';
            return false;
        }
        // The virtual receiver needs none of the pauses a real one is given
        // around a rate change.
        platformSetSleepHook([](uint32_t) {});
        serialSetPortDevice(1, simulator_->slavePath());
        chosenPort_ = 1;
    } else if (options_.port == "1" || options_.port == "2") {
        chosenPort_ = static_cast<uint8_t>(options_.port[0] - '0');
    } else if (!options_.port.empty()) {
        serialSetPortDevice(1, options_.port);
        chosenPort_ = 1;
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
        return {chosenPort_, static_cast<uint8_t>(chosenPort_ == 1 ? 2 : 1)};
    }
    return {chosenPort_};
}

std::string ReceiverSession::devicePath(uint8_t port) const {
    return serialPortDevice(port);
}

uint8_t ReceiverSession::baudChoice() const {
    return options_.baudChoice.value_or(settings_.baudRate);
}

bool ReceiverSession::openPort(uint8_t port) {
    chosenPort_ = port;  // the port in use from now on, as a click on its button makes it
    serialClose();
    if (port != 1 && port != 2) {
        showDeviceMessage(DeviceMessage::InvalidPort);
        return false;
    }
    const bool opened = serialOpen(port) != 0;
    linkResetReceiver();
    if (!opened) {
        err_ << portOpenProblem(devicePath(port), serialLastOpenError()) << '\n';
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
    if (!begun_) {
        return;
    }
    begun_ = false;
    const uint8_t rate = serialBaudIndex();
    serialClose();
    serialShutdown();
    linkResetReceiver();
    if (simulator_) {
        simulator_->stop();
        simulator_.reset();
        platformSetSleepHook(nullptr);
    } else if (portWasOpen_) {
        settingsSaveAutoBaudRate(rate, settingsPath_);
    }
}
