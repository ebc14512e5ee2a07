#include "imaging/WinBmp.h"

#include "imaging/ImageTrace.h"
#include "imaging/TextException.h"

#include <algorithm>
#include <cstring>
#include <new>

CWinBmp::CWinBmp()
{
  CWinBmp::InternalCreate(16, 16, 8, 0);
}

CWinBmp::~CWinBmp()
{
  CWinBmp::FreeMembers();
}

int64_t CWinBmp::CalcBytesPerLine(int64_t width, int bpp)
{
  return ((width * bpp + 31) / 32) * 4;
}

int64_t CWinBmp::CalcBitsSize(int64_t width, int64_t height, int bpp)
{
  return CalcBytesPerLine(width, bpp) * height;
}

int64_t CWinBmp::CalcDIBSize(int64_t width, int64_t height, int bpp)
{
  const int64_t table = bpp < 16 ? int64_t{4} << bpp : 0;
  return 40 + table + CalcBitsSize(width, height, bpp);
}

int64_t CWinBmp::GetMemUsed() const
{
  return 40 + CalcDIBSize(Width, Height, BitsPerPixel);
}

int64_t CWinBmp::GetBytesPerLine() const
{
  return CalcBytesPerLine(Width, BitsPerPixel);
}

const DibInfoHeader* CWinBmp::GetBitmapInfo() const
{
  return reinterpret_cast<const DibInfoHeader*>(pBMI.get());
}

void CWinBmp::InternalCreate(int width, int height, uint16_t bpp, int alpha)
{
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 32)
    ImageRaiseError(2, ImgFormat("Bitmap: Illegal bpp value (%d).", bpp));
  // Every size in 64 bits and under the cap before anything is allocated.
  // An empty dimension still costs its row pointers, so it counts as 1.
  if (width < 0 || height < 0 ||
      std::max<int64_t>(width, 1) * std::max<int64_t>(height, 1) > kMaxBitmapPixels)
    ImageRaiseError(10, "Out of memory creating bitmap.");
  const int64_t size = CalcDIBSize(width, height, bpp);
  try {
    pBMI.reset(new uint8_t[static_cast<size_t>(size)]());  // zeroed: never uninitialised pixels
    Lines.reset(new uint8_t*[static_cast<size_t>(height) + 1]);
  } catch (const std::bad_alloc&) {
    pBMI.reset();
    Lines.reset();
    ImageRaiseError(10, "Out of memory creating bitmap.");
  }
  DibInfoHeader h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = bpp;
  std::memcpy(pBMI.get(), &h, sizeof h);
  Lock(1, 1);
  BitsPerPixel = bpp;
  InitPointers();
  InitMembers(width, height, bpp, alpha);
}

void CWinBmp::InitPointers()
{
  if (BitsPerPixel < 16) {
    Palette = reinterpret_cast<PaletteEntry*>(pBMI.get() + 40);
    pBits = pBMI.get() + 40 + (size_t{4} << BitsPerPixel);
  } else {
    Palette = nullptr;
    pBits = pBMI.get() + 40;
  }
}

void CWinBmp::InitLineArray()
{
  const int64_t bpl = GetBytesPerLine();
  for (int i = 0; i < Height; ++i) Lines[i] = pBits + (Height - 1 - i) * bpl;
  LineArray = Lines.get();
}

void CWinBmp::FreeMembers()
{
  if (!pBMI) return;
  pBMI.reset();
  Lines.reset();
  LineArray = nullptr;
  Palette = nullptr;
  pBits = nullptr;
  Width = 0;
  Height = 0;
  Unlock();
}
