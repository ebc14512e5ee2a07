#include "imaging/Bmp.h"

#include <cstring>

void CBmp::Create(int width, int height, uint16_t bpp, int alpha)
{
  FreeMembers();
  InternalCreate(width, height, bpp, alpha);
}

void CBmp::Lock(int, int) { ++LockCount; }

void CBmp::Unlock() { --LockCount; }

int CBmp::GetNumColors() const
{
  if (BitsPerPixel >= 32) return 16777216;
  if (BitsPerPixel >= 24) return 16777216;
  return 1 << BitsPerPixel;
}

void CBmp::SetPalette(const PaletteEntry* table)
{
  if (!Palette || !table || BitsPerPixel > 8) return;
  std::memcpy(Palette, table, sizeof(PaletteEntry) * static_cast<size_t>(GetNumColors()));
}

void CBmp::SetGrayPalette()
{
  if (!Palette || BitsPerPixel > 8) return;
  const int n = GetNumColors();
  const int step = 255 / (n - 1);
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<uint8_t>(i * step);
    Palette[i] = PaletteEntry{v, v, v, 255};
  }
}

void CBmp::InitMembers(int width, int height, uint16_t bpp, int alpha)
{
  Width = width;
  Height = height;
  BitsPerPixel = bpp;
  AlphaFlag = alpha;
  InitLineArray();
  if (bpp < 16) SetGrayPalette();
}
