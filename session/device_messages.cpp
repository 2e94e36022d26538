#include "session/device_messages.h"

#include <array>
#include <vector>

#include "platform/platform.h"

namespace {

// One line of a message: its text and the blanks that follow it.
struct Line {
    const char* text;
    int trailingBlanks;
};

struct MessageEntry {
    std::vector<Line> lines;
    uint32_t style;
};

constexpr int kWidth = 69;

const std::array<MessageEntry, static_cast<size_t>(DeviceMessage::Count)> messages = {{
    {{{"The GPS is not responding. Please ensure the following and try again:", 0},
      {"", kWidth},
      {"1. The cable is securely connected to the serial port on the computer", 0},
      {"2. The cable is securely connected to the GPS", 24},
      {"3. The GPS has adequate battery strength", 29},
      {"", kWidth},
      {"NOTE:  If this problem continues after following these steps try", 5},
      {"setting a lower baud rate with the \"Set Baudrate\" menu item.", 7}},
     msgbox::IconExclamation},
    {{{"Unable to set desired baudrate for GPS.", 30},
      {"", kWidth},
      {"Please do the following and try again:", 31},
      {"", kWidth},
      {"1. Power off the GPS and then power it back on.", 22},
      {"2. Exit Lumagrab.exe and re-run it after the GPS is powered on.", 6},
      {"", kWidth},
      {"NOTE: If this message still appears after doing steps 1 and 2, try", 3},
      {"setting a lower baud rate with the \"Set Baudrate\" menu item and", 4},
      {"retrying steps 1 and 2.", 46}},
     msgbox::IconExclamation},
    {{{"Unable to find a GPS.   Please ensure the following and try again:", 3},
      {"", kWidth},
      {"1. The GPS's Interface option is set to ORVANE or Host mode", 10},
      {"2. The cable is connected to the correct serial port", 17},
      {"3. The GPS is turned on", 46}},
     msgbox::IconInformation},
    {{{"This product does not support downloadable screen shots.", 13}}, msgbox::Ok},
    {{{"ERROR:  Unable to allocate memory for bitmap.", 24}}, msgbox::IconStop},
    {{{"ERROR:  Invalid color palette for this device.", 23}}, msgbox::IconStop},
    {{{"Serial port transmit buffer full.", 36}}, msgbox::IconStop},
    {{{"Serial port receive buffer overrun.", 34}}, msgbox::IconStop},
    {{{"An unknown serial port error has occured.", 28}}, msgbox::IconStop},
    {{{"Internal Orvane packet buffer overrun.", 31}}, msgbox::IconStop},
    {{{"ERROR:  Invalid Comm Port.  Please check the Comm Port setting.", 6}}, msgbox::IconStop},
}};

const MessageEntry& entry(DeviceMessage message) {
    const size_t index = static_cast<size_t>(message);
    return messages[index < messages.size() ? index : 0];
}

}  // namespace

std::string deviceMessageText(DeviceMessage message) {
    std::string text;
    bool first = true;
    for (const Line& line : entry(message).lines) {
        if (!first) {
            text += '\n';
        }
        first = false;
        text += line.text;
        text.append(static_cast<size_t>(line.trailingBlanks), ' ');
    }
    return text;
}

uint32_t deviceMessageStyle(DeviceMessage message) {
    return entry(message).style;
}

int showDeviceMessage(DeviceMessage message) {
    return platformMessageBox(deviceMessageText(message), kMessageCaption,
                              deviceMessageStyle(message));
}

DeviceMessage downloadErrorMessage(uint8_t error) {
    static constexpr DeviceMessage byCode[] = {
        DeviceMessage::NoResponse,     DeviceMessage::NoResponse,   DeviceMessage::OutOfMemory,
        DeviceMessage::InvalidPalette, DeviceMessage::TxFull,       DeviceMessage::RxOverrun,
        DeviceMessage::SerialError,    DeviceMessage::PacketOverrun};
    return error < std::size(byCode) ? byCode[error] : DeviceMessage::SerialError;
}

std::string withoutLinePadding(const std::string& text) {
    std::string out;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        const size_t last = line.find_last_not_of(' ');
        out += last == std::string::npos ? "" : line.substr(0, last + 1);
        if (end == std::string::npos) {
            return out;
        }
        out += '\n';
        start = end + 1;
    }
}
