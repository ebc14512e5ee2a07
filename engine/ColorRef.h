#pragma once
// Colour values as the settings store them: 0x00BBGGRR (red in the lowest byte); the top byte
// may carry flags and never counts as colour.
#include <cstdint>

// Text colour readable on the background colour: white 0xFFFFFF when red + green + blue is
// below 255, else black 0.
uint32_t GetContrastColor(uint32_t colour);
