#include "engine/ColorRef.h"

uint32_t GetContrastColor(uint32_t colour)
{
  const uint32_t sum = (colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF);
  return sum < 255 ? 0xFFFFFFu : 0u;
}
