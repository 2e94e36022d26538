// Numbers of the receiver's packet protocol: packet IDs, command numbers and
// the framing bytes.
#pragma once

#include <cstdint>

namespace PacketId {
constexpr uint16_t Acknowledge = 6;         // host to device: 16-bit ID of the packet taken
constexpr uint16_t Command = 10;            // host to device: 16-bit CommandId
constexpr uint16_t BaudChangeRequest = 48;  // host to device: 32-bit rate in bit/s
constexpr uint16_t BaudChangeReply = 49;    // device to host: non-empty, contents unused
constexpr uint16_t ScreenRecord = 69;       // device to host: screen header, pixels, palette
constexpr uint16_t BaudRateList = 252;      // device to host: 32-bit rates
constexpr uint16_t ProductQuery = 254;      // host to device: one byte 00
constexpr uint16_t ProductReply = 255;      // device to host: 16-bit product ID, 16-bit version
// What linkTakePacket reports when there is no packet.
constexpr uint16_t None = 65535;
}  // namespace PacketId

namespace CommandId {
constexpr uint16_t SendScreen = 32;
constexpr uint16_t ListBaudRates = 57;
constexpr uint16_t ConfirmBaudRate = 58;
}  // namespace CommandId

namespace frame {
constexpr uint8_t Dle = 0x10;
constexpr uint8_t Etx = 0x03;
constexpr uint32_t MaxPayload = 255;
}  // namespace frame
