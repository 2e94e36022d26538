// Link check and bit-rate negotiation with the device.
//
// Every link starts at 9600 bit/s. These operations find out whether the
// device answers, find the rate at which it answers, and move device and port
// together to a faster rate. They block the calling thread: a link check takes
// up to 250 ms, a rate change about 5.5 s (pauses through platformSleep).
// All results are 1 (true) or 0 (false). Waiting is paced by the 5 ms tick.
#pragma once

#include <cstdint>

// Largest rate list kept; longer lists keep their first 16 rates.
constexpr int32_t kMaxRates = 16;

// Sends the rate-list command and waits for any packet with a non-empty
// payload: 50 ticks without waiting bytes end it, and the command is sent
// once more after 40 such ticks. A screen the device is still sending is no
// answer: it is waited out and the command sent afresh (RequestWait), here
// and in the rate-list request and the product query.
int32_t deviceCheckLink();
// deviceCheckLink at the current rate, then with the port at 9600, 19200,
// 38400, 57600 and 115200 in turn; the port stays at the rate that answered
// (or at 115200). Only the port's rate changes.
int32_t deviceProbeBaudRates();
// Asks for the device's rate list and acknowledges it. On success `rates`
// holds `count` rates (at most kMaxRates, the first ones sent), highest
// first. Ends without a list after 50 ticks whose poll read nothing; `count`
// is then 0.
int32_t deviceListBaudRates(uint32_t (&rates)[kMaxRates], int32_t& count);
// Asks the device to move to `rate` (sent as given) and, once it agrees,
// moves the port to the nominal rate of its band and confirms twice. Returns
// the port's result; 0 when the device did not agree within 50 idle ticks.
int32_t deviceChangeBaudRate(uint32_t rate);
// The automatic choice: the fastest listed rate that works, never the
// highest listed one. Without a list, keeps the current rate if the link
// answers. Writes the BaudIndex that worked into `autoBaudRate`.
int32_t deviceNegotiateBaudRate(uint8_t& autoBaudRate);
// Applies the user's choice: 1 automatic (nothing to do when `autoBaudRate`
// is the port's index already), 2 to 6 a fixed BaudIndex (nothing to do when
// the port runs at it). Other choices fail.
int32_t deviceSetDesiredBaudRate(uint8_t baudChoice, uint8_t& autoBaudRate);
