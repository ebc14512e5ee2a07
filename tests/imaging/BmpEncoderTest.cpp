// The BMP writer's exact bytes for small bitmaps, and write-then-read round trips.
#include "BmpBuilder.h"
#include "ImgTestUtil.h"
#include "common/TestUtil.h"
#include "imaging/BmpDecoder.h"
#include "imaging/BmpEncoder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace bmp_test;
using img_test::CodeOf;
using img_test::Px;

namespace {

class CaptureBmp : public CBmpEncoder {
public:
  std::string Run(CBmp* bmp, uint64_t capacity = 1 << 20)
  {
    std::vector<uint8_t> buf(capacity);
    CDataSink sink;
    sink.Open("mem", buf.data(), capacity);
    EncodeSink(bmp, &sink);
    return std::string(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(sink.GetCount()));
  }
};

std::string Header(uint32_t fileSize, uint32_t offset, int32_t w, int32_t h, uint16_t bpp)
{
  std::string s = "BM";
  Put32(s, fileSize);
  Put32(s, 0);
  Put32(s, offset);
  Put32(s, 40);
  Put32(s, static_cast<uint32_t>(w));
  Put32(s, static_cast<uint32_t>(h));
  Put16(s, 1);
  Put16(s, bpp);
  s += std::string(24, '\0');
  return s;
}

std::string GreyTable(int entries)
{
  std::string s;
  const int step = 255 / (entries - 1);
  for (int i = 0; i < entries; ++i) s += Bytes({i * step, i * step, i * step, 255});
  return s;
}

}  // namespace

TEST(BmpEncoder, ExactBytes32BppAs24WithPadding)
{
  CWinBmp bmp;
  bmp.Create(2, 2, 32, 0);
  // Top row: red, green; bottom row: blue, white (alpha bytes are not written).
  const uint8_t top[8] = {0, 0, 255, 7, 0, 255, 0, 7}, bottom[8] = {255, 0, 0, 7, 255, 255, 255, 7};
  std::copy(top, top + 8, bmp.GetLineArray()[0]);
  std::copy(bottom, bottom + 8, bmp.GetLineArray()[1]);
  const std::string expected = Header(70, 54, 2, 2, 24) +
                               Bytes({255, 0, 0, 255, 255, 255, 0x20, 0}) +  // bottom row first
                               Bytes({0, 0, 255, 0, 255, 0, 0x20, 0});
  EXPECT_EQ(CaptureBmp().Run(&bmp), expected);
}

TEST(BmpEncoder, ExactBytesPaletteDepths)
{
  {
    CWinBmp bmp;  // 1 bpp, width 3: one byte of pixels per row, padded to 4
    bmp.Create(3, 2, 1, 0);
    bmp.GetLineArray()[0][0] = 0xA0;  // top: 1 0 1
    bmp.GetLineArray()[1][0] = 0x40;  // bottom: 0 1 0
    const std::string expected = Header(62 + 8, 62, 3, 2, 1) + GreyTable(2) +
                                 Bytes({0x40, 0, 0, 0}) + Bytes({0xA0, 0, 0, 0});
    EXPECT_EQ(CaptureBmp().Run(&bmp), expected);
  }
  {
    CWinBmp bmp;  // 4 bpp, width 9: 5 bytes of pixels, 8-byte rows
    bmp.Create(9, 1, 4, 0);
    for (int i = 0; i < 5; ++i) bmp.GetLineArray()[0][i] = static_cast<uint8_t>(0x12 * (i + 1));
    const std::string expected = Header(118 + 8, 118, 9, 1, 4) + GreyTable(16) +
                                 Bytes({0x12, 0x24, 0x36, 0x48, 0x5A, 0, 0, 0});
    EXPECT_EQ(CaptureBmp().Run(&bmp), expected);
  }
  {
    CWinBmp bmp;  // 8 bpp, 16 x 16: 1334 bytes, pixel offset 1078
    bmp.Create(16, 16, 8, 0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) bmp.GetLineArray()[y][x] = static_cast<uint8_t>(16 * y + x);
    std::string rows;
    for (int y = 15; y >= 0; --y)
      for (int x = 0; x < 16; ++x) rows += static_cast<char>(16 * y + x);
    const std::string out = CaptureBmp().Run(&bmp);
    EXPECT_EQ(out.size(), 1334u);
    EXPECT_EQ(out, Header(1334, 1078, 16, 16, 8) + GreyTable(256) + rows);
  }
}

TEST(BmpEncoder, SinkOverflowIsCode11)
{
  CWinBmp bmp;
  bmp.Create(2, 2, 32, 0);
  std::string text;
  EXPECT_EQ(CodeOf([&] { CaptureBmp().Run(&bmp, 69); }, &text), 11);
  EXPECT_EQ(text, "Buffer overflow while encoding.\n");
  EXPECT_EQ(CaptureBmp().Run(&bmp, 70).size(), 70u);
}

TEST(BmpEncoder, WriteThenReadIsExact)
{
  vt_test::TempDir dir;
  for (int bpp : {1, 4, 8, 32}) {
    CWinBmp bmp;
    bmp.Create(13, 5, static_cast<uint16_t>(bpp), 0);
    for (int y = 0; y < 5; ++y)
      for (int64_t i = 0; i < bmp.GetBytesPerLine(); ++i)
        bmp.GetLineArray()[y][i] = static_cast<uint8_t>(37 * y + 11 * i + 3);
    if (bpp == 32)
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x) bmp.GetLineArray()[y][4 * x + 3] = 255;
    const std::string name = dir.file("rt" + std::to_string(bpp) + ".bmp");
    CBmpEncoder().EncodeFile(name.c_str(), &bmp);

    CWinBmp back;
    CBmpDecoder().DecodeFile(name.c_str(), &back, 0);
    ASSERT_EQ(back.GetBitsPerPixel(), bpp <= 8 ? 8 : 32) << bpp;
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 13; ++x) {
        uint32_t want, got;
        if (bpp == 32) {
          want = Px(bmp, x, y);
          got = Px(back, x, y);
        } else {
          const uint8_t* row = bmp.GetLineArray()[y];
          want = bpp == 8 ? row[x] : bpp == 4 ? ((x & 1) ? row[x / 2] & 15 : row[x / 2] >> 4)
                                              : (row[x / 8] >> (7 - x % 8)) & 1;
          got = back.GetLineArray()[y][x];
        }
        ASSERT_EQ(got, want) << bpp << " bpp at " << x << "," << y;
      }
  }
}
