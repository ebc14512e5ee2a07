#pragma once
// The in-memory picture that decoders fill and encoders read.
//
// Pixel layouts: 8 bpp is one colour-table index per byte; 32 bpp is four bytes per pixel,
// blue, green, red, alpha; 1 and 4 bpp are packed with the leftmost pixel in the most
// significant bits. LineArray entry 0 is the top row whatever the storage order.
#include "imaging/PLObject.h"

#include <cstdint>

// One colour-table entry, laid out like a DIB colour-table entry.
struct PaletteEntry {
  uint8_t Blue, Green, Red, Alpha;
};
static_assert(sizeof(PaletteEntry) == 4);

class CBmp : public CPLObject {
public:
  CBmp() = default;
  ~CBmp() override = default;
  CBmp(const CBmp&) = delete;
  CBmp& operator=(const CBmp&) = delete;

  // Frees the old picture and creates a new one: width, height >= 0, width x height at
  // most kMaxBitmapPixels (else CTextException 10 "Out of memory creating bitmap."),
  // bpp 1, 4, 8 or 32 (else code 2 "Bitmap: Illegal bpp value."). Pixels start zeroed;
  // below 16 bpp the colour table is the grey table.
  virtual void Create(int width, int height, uint16_t bpp, int alpha);
  // Bytes of memory the picture takes, the object included.
  virtual int64_t GetMemUsed() const = 0;
  // Length of one stored row in bytes.
  virtual int64_t GetBytesPerLine() const = 0;
  // Bracket pixel access; the counter is kept but nothing reads it.
  virtual void Lock(int readable, int writeable);
  virtual void Unlock();

  int GetWidth() const { return Width; }
  int GetHeight() const { return Height; }
  uint16_t GetBitsPerPixel() const { return BitsPerPixel; }
  // Height row pointers, entry 0 = top row.
  uint8_t** GetLineArray() const { return LineArray; }
  // GetNumColors() entries below 16 bpp, else nullptr.
  PaletteEntry* GetPalette() const { return Palette; }
  int GetLockCount() const { return LockCount; }

  // 16,777,216 at 32 bpp, otherwise 2^bpp.
  int GetNumColors() const;
  // Copies GetNumColors() entries from table (only below 16 bpp; ignored otherwise).
  void SetPalette(const PaletteEntry* table);
  // Entry i = i x (255 / (n - 1)) in blue, green and red, alpha 255.
  void SetGrayPalette();

protected:
  virtual void InternalCreate(int width, int height, uint16_t bpp, int alpha) = 0;
  virtual void FreeMembers() = 0;
  virtual void InitLineArray() = 0;
  void InitMembers(int width, int height, uint16_t bpp, int alpha);

  int Width = 0;
  int Height = 0;
  uint16_t BitsPerPixel = 0;
  PaletteEntry* Palette = nullptr;
  int AlphaFlag = 0;
  uint8_t** LineArray = nullptr;
  int LockCount = 0;
};
