// Corrections for devices whose raw screen data is not in the usual order.
//
// Each routine reads `length` bytes from `source` and writes `length` bytes to
// `destination`; the two may be the same buffer (the download corrects its raw
// buffer in place). Any length is safe: nothing outside the `length` bytes of
// either buffer is touched. A routine that needs a working buffer returns false
// when it cannot get one and then leaves the destination as it was.
#pragma once

#include <cstdint>

#include "catalogue/product_catalogue.h"

using PostProcessFn = bool (*)(uint8_t* destination, const uint8_t* source, uint32_t length);

// The routine a catalogue row names; null for PostProcess::None and for any
// value that names no routine.
PostProcessFn postProcessRoutine(PostProcess routine);

// Reverses the bit order of every byte (bit i becomes bit 7-i).
bool reverseBitOrder(uint8_t* destination, const uint8_t* source, uint32_t length);

// Puts the bytes at even positions, in order, in front of the bytes at odd
// positions. For an odd length the first part holds the extra byte.
bool splitEvenOddBytes(uint8_t* destination, const uint8_t* source, uint32_t length);

// Copies the data and sets its last 28 bytes (all of it when shorter) to 0.
bool clearLast28Bytes(uint8_t* destination, const uint8_t* source, uint32_t length);

// Reads the source as rows of 204 bytes and moves the window of rows 19 to 252,
// columns 42 to 201 to the top, each window row behind 44 zero bytes and each
// byte with its nibbles swapped; everything else becomes 0. Source bytes past
// `length` count as 0.
bool cropWindowSwapNibbles(uint8_t* destination, const uint8_t* source, uint32_t length);
