// The texts the user is shown when a device command fails: the window
// program's message boxes show them as they are, the CLI prints them without
// the padding. Each line is padded with blanks to the width of the box (69
// characters, two lines 67), lines are separated by a single line feed and the
// last line has none.
#pragma once

#include <cstdint>
#include <string>

// The caption of every box the main window shows.
inline constexpr const char* kMessageCaption = "GPS Lumagrab";

enum class DeviceMessage : uint8_t {
    NoResponse,      // the device did not answer a command, or stopped answering
    BaudRate,        // the wanted bit rate could not be set
    NotFound,        // the search over ports and rates found nothing
    NotSupported,    // the product's screen cannot be captured
    OutOfMemory,     // download error 2
    InvalidPalette,  // download error 3
    TxFull,          // download error 4
    RxOverrun,       // download error 5
    SerialError,     // download error 6
    PacketOverrun,   // download error 7
    InvalidPort,     // a port number other than 1 or 2
    Count
};

// The text exactly as the message box shows it, padding included.
std::string deviceMessageText(DeviceMessage message);
// The message-box style (icon) it is shown with (msgbox:: constants).
uint32_t deviceMessageStyle(DeviceMessage message);
// Shows the message in a box captioned kMessageCaption, with its icon and an
// OK button, through the platform's message-box seam.
int showDeviceMessage(DeviceMessage message);
// The message for a download error code 1 to 7 (1 is NoResponse).
DeviceMessage downloadErrorMessage(uint8_t error);
// `text` with the blanks at the end of every line removed.
std::string withoutLinePadding(const std::string& text);
