// Packet framing and the receive queue of the receiver's link.
//
// Frame on the wire: DLE, ID, size, payload, checksum, DLE ETX. A 0x10 in the
// size, the payload or the checksum is sent twice; the ID never is. The
// checksum makes ID + size + payload + checksum 0 modulo 256.
//
// Receiving: linkReceiveByte() is the serial port's byte handler. It strips
// the framing, stores payload and checksum bytes in a 65535-byte ring and
// records each finished frame in a 65535-entry queue (both static, both
// wrapping modulo 65535). Callers take whole packets with linkTakePacket().
// Frames with a bad checksum or the wrong byte count are still queued, with
// valid 0. Nothing is ever answered here: acknowledging is the caller's
// business.
//
// Limits: when storing a byte would overwrite a packet not yet taken, the
// sticky overflow flag rises and every byte is dropped until a caller clears
// it with linkSetOverflow(0) (linkResetReceiver does not clear it). When the
// queue is full (65534 packets) a new frame drops the oldest packet.
//
// One thread only: the one that polls the port and takes the packets.
#pragma once

#include <cstdint>

#include "link/protocol.h"

enum ReceiveState : uint16_t {
    RxAfterDle = 0,  // a DLE has just been seen
    RxSize = 1,      // the ID has been seen, the size byte is next
    RxData = 2,      // inside the payload and checksum
    RxHunt = 3,      // hunting for a DLE: after a reset and after each frame
};

// One packet as taken from the queue.
struct Packet {
    uint16_t id = PacketId::None;
    int32_t length = 0;
    uint8_t payload[frame::MaxPayload] = {};
    int32_t valid = 0;
};

// Frames `length` bytes (at most 255; only the low 8 bits of `id` are sent)
// and writes the frame with one serialWrite. Returns serialWrite's result:
// 0 written, -1 no port, else the line-error mask. Longer payloads are refused
// with -1 and nothing is sent.
int32_t linkSendPacket(uint16_t id, const uint8_t* payload, uint32_t length);
// Sends a payload of one 16-bit little-endian value (commands, acknowledgements).
int32_t linkSendWord(uint16_t id, uint16_t value);

// The receive state machine; called by serialPoll for every byte.
void linkReceiveByte(uint8_t byte);
// 1 when at least one packet waits to be taken, else 0.
int32_t linkPacketWaiting();
// Takes the oldest packet: its ID, its length (0 to 255) and its payload into
// `buffer` (room for 255 bytes). Returns its valid flag. On an empty queue:
// ID 65535, length 0, result 0, nothing copied.
int32_t linkTakePacket(uint16_t& id, uint8_t* buffer, int32_t& length);
int32_t linkTakePacket(Packet& packet);
// Empties the queue and hunts for the next frame. Keeps the overflow flag.
void linkResetReceiver();
uint8_t linkOverflow();
void linkSetOverflow(uint8_t value);

// The state machine's current state, for tests and diagnostics.
ReceiveState linkReceiveState();
