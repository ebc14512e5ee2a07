// CMYK JPEGs (as Adobe programs write them, inverted) come out as colours, not as raw ink.
#include "ImgTestUtil.h"
#include "imaging/JPEGDecoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace {

// Compresses w x h pixels of one CMYK value with libjpeg itself; libjpeg writes the Adobe
// marker for CMYK, whose convention is inverted ink (255 = none).
std::vector<uint8_t> CmykJpeg(int w, int h, uint8_t c, uint8_t m, uint8_t y, uint8_t k)
{
  jpeg_compress_struct ci{};
  jpeg_error_mgr err{};
  ci.err = jpeg_std_error(&err);
  jpeg_create_compress(&ci);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&ci, &out, &size);
  ci.image_width = static_cast<JDIMENSION>(w);
  ci.image_height = static_cast<JDIMENSION>(h);
  ci.input_components = 4;
  ci.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&ci);
  jpeg_set_quality(&ci, 100, TRUE);
  jpeg_start_compress(&ci, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(w) * 4);
  for (int x = 0; x < w; ++x) {
    row[4 * x] = static_cast<uint8_t>(255 - c);
    row[4 * x + 1] = static_cast<uint8_t>(255 - m);
    row[4 * x + 2] = static_cast<uint8_t>(255 - y);
    row[4 * x + 3] = static_cast<uint8_t>(255 - k);
  }
  for (int r = 0; r < h; ++r) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&ci, &p, 1);
  }
  jpeg_finish_compress(&ci);
  std::vector<uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&ci);
  std::free(out);
  return bytes;
}

}  // namespace

TEST(JpegCmyk, InkBecomesColour)
{
  struct Case {
    uint8_t c, m, y, k;
    uint32_t colour;  // 0xAARRGGBB
  } cases[] = {
      {0, 0, 0, 0, 0xFFFFFFFF},        // no ink: white
      {255, 0, 0, 0, 0xFF00FFFF},      // cyan
      {0, 255, 255, 0, 0xFFFF0000},    // magenta + yellow: red
      {0, 0, 0, 255, 0xFF000000},      // black ink
  };
  for (const Case& c : cases) {
    const std::vector<uint8_t> jpg = CmykJpeg(16, 16, c.c, c.m, c.y, c.k);
    CJPEGDecoder dec;
    CWinBmp bmp;
    dec.DecodeMemory(jpg.data(), static_cast<int64_t>(jpg.size()), &bmp, 32);
    ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
    const uint32_t got = img_test::Px(bmp, 8, 8);
    for (int shift : {0, 8, 16}) {
      const int want = static_cast<int>((c.colour >> shift) & 0xFF);
      const int have = static_cast<int>((got >> shift) & 0xFF);
      EXPECT_NEAR(have, want, 3) << std::hex << got << " for " << c.colour;
    }
    EXPECT_EQ(got >> 24, 0xFFu);
  }
}
