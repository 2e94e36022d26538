// The device sequences that the window program's commands and the CLI share:
// the search for the receiver, its identification, and one screen capture up
// to the picture in memory.
//
// They drive the core's one port and receive queue, so one thread at a time
// runs them. They never talk to the user: a capture says which message its
// failure calls for, and the caller shows it (or prints it).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/bitmap_types.h"
#include "catalogue/product_catalogue.h"
#include "session/device_messages.h"

// What the device texts read while no receiver is identified.
inline constexpr const char* kNotConnected = "<Not Connected>";

// Moves the port, without any exchange with the receiver, to the rate the
// settings point to: for Auto (1) the remembered `autoBaudRate` when it names
// a rate, for 2 to 6 that rate. A receiver left at that rate by an earlier run
// answers there, since the port always opens at 9600 bit/s. Choice 0 does
// nothing; any other value names no rate, and the port keeps its rate.
void sessionMoveToSettingsRate(uint8_t baudChoice, uint8_t autoBaudRate);

// The search at start-up: a link check at the port's present rate and, when
// nobody answers, a second one after sessionMoveToSettingsRate.
bool sessionFindAtStartup(uint8_t baudChoice, uint8_t autoBaudRate);

// A link check at the present rate, else the probe of every rate (the port
// stays at the rate that answered).
bool sessionCheckOrProbe();

// Asks the receiver who it is. Name and `version` read kNotConnected before
// the question; on an answer the version is the receiver's and, for a product
// of the catalogue, `info` its catalogue row. A product outside the catalogue
// keeps the kNotConnected name and has no screen layout at all (screen type,
// record format, palette and routine cleared), so that a capture can never
// decode its screen with the layout of a receiver identified earlier. The
// reported ID goes to `productId` when one is given. False when the receiver
// did not answer; `info` then keeps its layout.
bool sessionIdentify(DeviceInfo& info, std::string& version, uint16_t* productId = nullptr);

struct ScreenCapture {
    // The message the outcome calls for; none for a picture, for a screen
    // type with nothing to download, and for a stopped download.
    std::optional<DeviceMessage> failure;
    bool linkAnswered = false;  // the first link check answered
    BitmapInfo info{};
    std::vector<uint8_t> pixels;  // the picture; empty when none was taken
};

// One capture of the identified receiver's screen: flush the port and the
// receive queue; a link check (no answer: NoResponse); `linkAnswered` called
// once it answered; the support test of `device` (NotSupported); the rate of
// `baudChoice`, negotiated for Auto with `autoBaudRate` updated (BaudRate);
// the download and its error's message.
ScreenCapture sessionCaptureScreen(const DeviceInfo& device, uint8_t baudChoice,
                                   uint8_t& autoBaudRate,
                                   const std::function<void()>& linkAnswered);
