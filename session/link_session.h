// One use of the serial link by a front end, from its start to its end: the
// serial layer with the link's byte handler, the device paths of port 1 and
// port 2, the built-in virtual receiver when simulating, opening and
// switching the port, and the rate to remember at the end. The window
// programs and the CLI both run their link through one of these.
//
// It drives the core's one serial port and receive queue, so one thread at
// a time uses it (see the front ends for which).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace sim {
class VirtualReceiver;
}

class LinkSession {
  public:
    // A built-in virtual receiver playing `product` stands for port 1.
    // `paced`: it sends at the pace of the line, as a receiver does, so that
    // a download takes its real time; otherwise as fast as it can.
    struct Simulation {
        uint16_t product;
        bool paced = false;
    };

    explicit LinkSession(std::optional<Simulation> simulation = std::nullopt);
    ~LinkSession();  // end() unless it was called
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Empties the receive queue, initialises the serial layer with the
    // link's byte handler and, when simulating, starts the virtual receiver
    // (which needs none of the pauses a real receiver is given around a rate
    // change). False, with the reason in `error`, when it cannot start.
    bool begin(std::string& error);
    bool simulated() const { return simulation_.has_value(); }

    // The devices of port 1 and port 2; while simulating, port 1 stays the
    // virtual receiver's.
    void setPortDevices(const std::string& com1Device, const std::string& com2Device);
    // The device path the serial layer opens for `port` ("" for no port).
    std::string devicePath(uint8_t port) const;

    // Closes the port that is open and opens `port` at 9600 bit/s with an
    // empty receive queue. False for a number other than 1 or 2 (no port is
    // then open) and when the device cannot be opened (serialLastOpenError()
    // says why).
    bool openPort(uint8_t port);
    // Auto Detect's other port: 2 after 1, and 1 after any other number.
    static uint8_t otherPort(uint8_t port);

    // Ends the link: the rate the port runs at is read, the port closed, the
    // serial layer shut down, the receive queue emptied and the virtual
    // receiver stopped. Returns that rate's BaudIndex (0 when no port was
    // open), to be remembered for the next start; nothing while simulating,
    // since a simulated run must not change what a real receiver is
    // remembered by.
    std::optional<uint8_t> end();

  private:
    std::optional<Simulation> simulation_;
    std::unique_ptr<sim::VirtualReceiver> simulator_;
    bool begun_ = false;
};
