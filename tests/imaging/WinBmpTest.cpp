// Bitmap sizes, the default bitmap, row addressing and the size cap.
#include "ImgTestUtil.h"
#include "imaging/ImageTrace.h"
#include "imaging/PicEncoder.h"
#include "imaging/WinBmp.h"

#include <gtest/gtest.h>

using img_test::CodeOf;

TEST(WinBmp, RowAndBlockSizes)
{
  struct Case {
    int width, bpp;
    int64_t row;
  } cases[] = {{1, 1, 4}, {9, 4, 8}, {3, 8, 4}, {10, 24, 32}, {10, 32, 40}, {32, 1, 4}, {33, 1, 8}};
  for (const Case& c : cases) EXPECT_EQ(CWinBmp::CalcBytesPerLine(c.width, c.bpp), c.row) << c.width << "@" << c.bpp;
  EXPECT_EQ(CWinBmp::CalcBitsSize(10, 7, 32), 280);
  EXPECT_EQ(CWinBmp::CalcDIBSize(16, 16, 8), 40 + 1024 + 256);
  EXPECT_EQ(CWinBmp::CalcDIBSize(2, 2, 32), 40 + 16);
  // 64-bit: no wrap-around for sizes beyond 2^32.
  EXPECT_EQ(CWinBmp::CalcBitsSize(100000, 100000, 32), int64_t{40000000000});

  CWinBmp bmp;
  bmp.Create(100, 100, 32, 0);
  EXPECT_EQ(bmp.GetMemUsed(), 40080);
}

TEST(WinBmp, DefaultIs16x16GreyAt8Bpp)
{
  CWinBmp bmp;
  EXPECT_EQ(bmp.GetSize(), std::make_pair(16, 16));
  EXPECT_EQ(bmp.GetBitsPerPixel(), 8);
  EXPECT_EQ(bmp.GetMemUsed(), 1360);
  for (int i = 0; i < 256; ++i) {
    const PaletteEntry e = bmp.GetPalette()[i];
    ASSERT_TRUE(e.Blue == i && e.Green == i && e.Red == i && e.Alpha == 255) << i;
  }
  bmp.Create(3, 1, 4, 0);
  EXPECT_EQ(bmp.GetPalette()[1].Red, 17);
  EXPECT_EQ(bmp.GetPalette()[15].Red, 255);
  bmp.Create(3, 1, 1, 0);
  EXPECT_EQ(bmp.GetPalette()[0].Green, 0);
  EXPECT_EQ(bmp.GetPalette()[1].Green, 255);
}

TEST(WinBmp, LineArrayRunsTopDownOverBottomUpStorage)
{
  CWinBmp bmp;
  bmp.Create(5, 7, 32, 0);
  uint8_t** lines = bmp.GetLineArray();
  EXPECT_EQ(lines[0], bmp.GetBits() + 6 * bmp.GetBytesPerLine());
  EXPECT_EQ(lines[6], bmp.GetBits());
  const DibInfoHeader* h = bmp.GetBitmapInfo();
  EXPECT_EQ(h->biSize, 40u);
  EXPECT_EQ(h->biWidth, 5);
  EXPECT_EQ(h->biHeight, 7);
  EXPECT_EQ(h->biBitCount, 32);
  // New pixels are zeroed, never left uninitialised.
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(img_test::Px(bmp, x, y), 0u);
}

TEST(WinBmp, RefusesBitmapsOverTheCapAndBadDepths)
{
  CWinBmp bmp;
  EXPECT_EQ(CodeOf([&] { bmp.Create(1 << 15, 1 << 15, 32, 0); }), 10);  // 2^30 pixels
  EXPECT_EQ(bmp.GetBitmapInfo(), nullptr);  // left without a block
  EXPECT_EQ(CodeOf([&] { bmp.Create(0, 0x7FFFFFFF, 8, 0); }), 10);  // row pointers count too
  EXPECT_EQ(CodeOf([&] { bmp.Create(-1, 5, 8, 0); }), 10);
  EXPECT_EQ(CodeOf([&] { bmp.Create(4, 4, 24, 0); }), 2);
  EXPECT_EQ(CodeOf([&] { bmp.Create(4, 4, 0, 0); }), 2);
  bmp.Create(4, 4, 32, 0);  // usable again
  EXPECT_EQ(bmp.GetWidth(), 4);
}

TEST(WinBmp, LockCountPairs)
{
  CWinBmp bmp;
  const int after = bmp.GetLockCount();
  bmp.Create(2, 2, 8, 0);
  EXPECT_EQ(bmp.GetLockCount(), after);
  bmp.Lock(0, 1);
  bmp.Unlock();
  EXPECT_EQ(bmp.GetLockCount(), after);
}

TEST(PicEncoder, SinkCapacityRule)
{
  EXPECT_EQ(CPicEncoder::CalcSinkCapacity(19999), 24095u);
  EXPECT_EQ(CPicEncoder::CalcSinkCapacity(20000), 24000u);
  EXPECT_EQ(CPicEncoder::CalcSinkCapacity(20001), 24001u);
  EXPECT_EQ(CPicEncoder::CalcSinkCapacity(1000081), 1200097u);
}
