// One use of the serial link by a command of the CLI, over the shared link
// session: which port the options name, the search for the receiver, and
// the tear-down that stores the rate the link ran at.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "catalogue/product_catalogue.h"
#include "cli/cli_options.h"
#include "session/link_session.h"
#include "settings/app_settings.h"

// What the receiver said about itself.
struct Identity {
    DeviceInfo info{};
    std::string version;
    uint16_t productId = 0;  // as the receiver reported it, also outside the catalogue
};

class ReceiverSession {
  public:
    ReceiverSession(const CliOptions& options, AppSettings settings, std::string settingsPath,
                    std::ostream& err);
    ~ReceiverSession();  // ends the session if end() was not called
    ReceiverSession(const ReceiverSession&) = delete;
    ReceiverSession& operator=(const ReceiverSession&) = delete;

    // Sets up the serial layer and, with --simulate, starts the virtual
    // receiver. False (reason told) when the receiver cannot be started.
    bool begin();
    // The port numbers to search: the chosen one first, then for a numbered
    // port of the settings the other one (port 1 after a number that names
    // no port).
    std::vector<uint8_t> portsToSearch() const;
    uint8_t chosenPort() const { return chosenPort_; }
    // Makes `port` the chosen one and opens it at 9600 bit/s; false, with the
    // reason told, when it cannot.
    bool openPort(uint8_t port);
    // The start-up search: a link check at the present rate, then at the rate
    // the settings name, then at every rate.
    bool findReceiver();
    // A link check, and the probe of every rate when it fails.
    bool checkOrProbe();
    // Asks the receiver who it is; false when it did not answer.
    bool identify(Identity& identity);
    // Remembers the port's rate, closes it and, unless simulating, stores
    // that rate in the settings.
    void end();

    std::string devicePath(uint8_t port) const;
    uint8_t baudChoice() const;
    AppSettings& settings() { return settings_; }

  private:
    const CliOptions& options_;
    AppSettings settings_;
    std::string settingsPath_;
    std::ostream& err_;
    LinkSession link_;
    uint8_t chosenPort_ = 1;
    bool portWasOpen_ = false;
};
