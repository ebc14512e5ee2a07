#pragma once
// Code tables of the PSK coders.
#include <cstdint>

// PSK31 Varicode for the bytes 0..127 and its published extension for 128..255. Each code is
// left-aligned: its first bit in bit 15, zero-filled. No code contains "00", and each starts
// and ends with a 1, so two 0 bits separate characters.
extern const uint16_t VaricodeTable[256];

// QPSK phase step (0 none, 1 +90 degrees, 2 reversal, 3 -90 degrees) for the five most recent
// bits of the rate-1/2 convolutional code, newest bit in bit 0.
extern const uint8_t QpskCodeTable[32];

// Number of bits of a left-aligned code (position of its lowest set bit counted from bit 15).
int VaricodeLength(uint16_t code);
