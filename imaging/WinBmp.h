#pragma once
// A device-independent bitmap stored as one block: the 40-byte information header, the
// colour table (4 x 2^bpp bytes, only below 16 bpp) and the pixel rows, bottom row first,
// each row a multiple of 4 bytes. Drawing and conversion to and from QImage live in the Qt
// adaptor (imaging/forms/QtWinBmp.h).
#include "imaging/Bmp.h"

#include <cstdint>
#include <memory>
#include <utility>

// The 40-byte DIB information header, as stored in BMP files (little-endian).
struct DibInfoHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;          // positive: rows bottom-up
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(DibInfoHeader) == 40);

class CWinBmp : public CBmp {
public:
  // Every new bitmap is 16 x 16 at 8 bpp with the grey colour table.
  CWinBmp();
  ~CWinBmp() override;

  int64_t GetMemUsed() const override;       // 40 + CalcDIBSize
  int64_t GetBytesPerLine() const override;  // CalcBytesPerLine(Width, BitsPerPixel)

  // (Width, Height)
  std::pair<int, int> GetSize() const { return {Width, Height}; }
  // The block (header, colour table, rows); nullptr after a failed re-creation.
  const DibInfoHeader* GetBitmapInfo() const;
  // The first stored pixel row (the bottom row).
  uint8_t* GetBits() const { return pBits; }

  // ((width x bpp + 31) / 32) x 4: the row length, a multiple of 4 bytes.
  static int64_t CalcBytesPerLine(int64_t width, int bpp);
  static int64_t CalcBitsSize(int64_t width, int64_t height, int bpp);
  // 40 + (4 x 2^bpp below 16 bpp) + CalcBitsSize
  static int64_t CalcDIBSize(int64_t width, int64_t height, int bpp);

protected:
  void InternalCreate(int width, int height, uint16_t bpp, int alpha) override;
  void FreeMembers() override;
  void InitLineArray() override;
  virtual void InitPointers();

private:
  std::unique_ptr<uint8_t[]> pBMI;
  std::unique_ptr<uint8_t*[]> Lines;
  uint8_t* pBits = nullptr;
};
