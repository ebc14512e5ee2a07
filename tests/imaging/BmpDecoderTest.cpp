// Reading BMP files of every depth, RLE, top-down, bit fields, longer headers, and a table of
// malformed files.
#include "BmpBuilder.h"
#include "ImgTestUtil.h"
#include "imaging/AnyPicDecoder.h"
#include "imaging/BmpDecoder.h"

#include <gtest/gtest.h>

#include <memory>

using namespace bmp_test;
using img_test::CodeOf;
using img_test::Px;

namespace {

std::unique_ptr<CWinBmp> Decode(const std::string& file, int destBpp = 32)
{
  auto bmp = std::make_unique<CWinBmp>();
  CBmpDecoder dec;
  dec.DecodeMemory(file.data(), static_cast<int64_t>(file.size()), bmp.get(), destBpp);
  return bmp;
}

// Expects the decoded 32-bpp picture to equal `rows` (0xAARRGGBB, top row first).
void ExpectPicture(const CWinBmp& bmp, const std::vector<std::vector<uint32_t>>& rows)
{
  ASSERT_EQ(bmp.GetBitsPerPixel(), 32);
  ASSERT_EQ(bmp.GetHeight(), static_cast<int>(rows.size()));
  ASSERT_EQ(bmp.GetWidth(), static_cast<int>(rows[0].size()));
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      EXPECT_EQ(Px(bmp, static_cast<int>(x), static_cast<int>(y)), rows[y][x]) << "at " << x << "," << y;
}

const std::vector<Colour> kTable = {{0, 0, 255}, {255, 0, 0}, {0, 255, 0}, {10, 20, 30}};
constexpr uint32_t R = 0xFFFF0000, B = 0xFF0000FF, G = 0xFF00FF00, C = 0xFF1E140A, K = 0xFF000000;

}  // namespace

TEST(BmpDecoder, PaletteDepthsOfOddWidths)
{
  // File rows are bottom-up: the last row given is the top of the picture.
  BmpFile f;
  f.table = kTable;
  f.width = 10;
  f.height = 2;
  f.bpp = 1;
  f.table = {kTable[1], kTable[0]};  // index 0 blue, 1 red: the table is used, not black/white
  f.pixels = Rows(1, {{1, 0, 0, 0, 0, 0, 0, 0, 1, 1}, {0, 1, 0, 1, 0, 1, 0, 1, 0, 0}});
  ExpectPicture(*Decode(Build(f)), {{B, R, B, R, B, R, B, R, B, B}, {R, B, B, B, B, B, B, B, R, R}});

  f.bpp = 4;
  f.width = 5;
  f.table = kTable;
  f.pixels = Rows(4, {{3, 2, 1, 0, 3}, {0, 1, 2, 3, 0}});
  ExpectPicture(*Decode(Build(f)), {{R, B, G, C, R}, {C, G, B, R, C}});

  f.bpp = 8;
  f.width = 3;
  f.pixels = Rows(8, {{0, 1, 2}, {3, 3, 200}});  // 200 lies past the table: black
  ExpectPicture(*Decode(Build(f)), {{C, C, K}, {R, B, G}});

  // At 8 bpp the indices and the file's table are kept.
  const auto b8 = Decode(Build(f), 8);
  ASSERT_EQ(b8->GetBitsPerPixel(), 8);
  EXPECT_EQ(b8->GetLineArray()[1][2], 2);
  EXPECT_EQ(b8->GetPalette()[2].Green, 255);
  EXPECT_EQ(b8->GetPalette()[3].Red, 30);
  // Asking for 0 lets the decoder choose: 8 for palette files.
  EXPECT_EQ(Decode(Build(f), 0)->GetBitsPerPixel(), 8);
}

TEST(BmpDecoder, TrueColourDepths)
{
  BmpFile f;
  f.width = 3;
  f.height = 2;
  f.bpp = 24;
  f.pixels = Rows(24, {{0x010203, 0x040506, 0x070809}, {0xFF0000, 0x00FF00, 0x0000FF}});
  ExpectPicture(*Decode(Build(f)), {{R, G, B}, {0xFF010203, 0xFF040506, 0xFF070809}});
  // A file above 8 bpp is decoded at 32 bpp even when 8 is asked for.
  EXPECT_EQ(Decode(Build(f), 8)->GetBitsPerPixel(), 32);

  f.bpp = 32;  // the fourth byte is kept as alpha
  f.pixels = Rows(32, {{0x11223344, 0x00FFFFFF, 0x80000000}, {0, 1, 2}});
  ExpectPicture(*Decode(Build(f)), {{0, 1, 2}, {0x11223344, 0x00FFFFFF, 0x80000000}});

  // 16 bpp: 5-5-5 without compression; with bit fields by the green mask.
  f.bpp = 16;
  f.width = 2;
  f.height = 1;
  const uint32_t v555 = (31u << 10) | (1u << 5) | 2u, v565 = (31u << 11) | (3u << 5) | 2u;
  f.pixels = Rows(16, {{v555, 0x7FFF}});
  ExpectPicture(*Decode(Build(f)), {{0xFFF80810, 0xFFF8F8F8}});
  f.compression = 3;
  f.masks = {0xF800, 0x7E0, 0x1F};
  f.pixels = Rows(16, {{v565, 0xFFFF}});
  // 5-6-5 keeps the top 5 bits of green.
  ExpectPicture(*Decode(Build(f)), {{0xFFF80810, 0xFFF8F8F8}});
  f.masks = {0x7C00, 0x3E0, 0x1F};
  f.pixels = Rows(16, {{v555, 0}});
  ExpectPicture(*Decode(Build(f)), {{0xFFF80810, K}});
  // A V4 header holds the masks inside the header.
  f.headerSize = 108;
  f.masks = {0xF800, 0x7E0, 0x1F};
  f.pixels = Rows(16, {{v565, 0}});
  ExpectPicture(*Decode(Build(f)), {{0xFFF80810, K}});
}

TEST(BmpDecoder, TopDownFiles)
{
  BmpFile f;
  f.width = 2;
  f.height = -3;
  f.bpp = 8;
  f.table = kTable;
  f.pixels = Rows(8, {{0, 1}, {1, 2}, {2, 3}});  // first row is the top
  ExpectPicture(*Decode(Build(f)), {{R, B}, {B, G}, {G, C}});
}

TEST(BmpDecoder, LongerHeadersTakeTheirTableAfterTheHeader)
{
  for (uint32_t size : {108u, 124u}) {
    BmpFile f;
    f.headerSize = size;
    f.width = 2;
    f.height = 1;
    f.bpp = 8;
    f.table = kTable;
    f.pixels = Rows(8, {{2, 3}});
    ExpectPicture(*Decode(Build(f)), {{G, C}});
  }
}

TEST(BmpDecoder, ColourTableOver256EntriesKeepsTheFirst256)
{
  BmpFile f;
  f.width = 2;
  f.height = 1;
  f.bpp = 8;
  f.colorsUsed = 1000;
  f.table.assign(1000, Colour{9, 9, 9});
  f.table[255] = Colour{0, 0, 255};
  f.pixels = Rows(8, {{255, 0}});
  ExpectPicture(*Decode(Build(f)), {{R, 0xFF090909}});
}

TEST(BmpDecoder, ShortColourTableStopsAtThePixelData)
{
  // Colours-used 0 means 256 at 8 bpp, but the writer stored only 4 entries.
  BmpFile f;
  f.width = 2;
  f.height = 1;
  f.bpp = 8;
  f.table = kTable;
  f.pixels = Rows(8, {{1, 3}});
  ExpectPicture(*Decode(Build(f)), {{B, C}});
}

TEST(BmpDecoder, Rle8)
{
  BmpFile f;
  f.width = 6;
  f.height = 4;
  f.bpp = 8;
  f.compression = 1;
  f.table = kTable;
  f.pixels = Bytes({
      3, 1, 0, 3, 2, 3, 2, 0, 0, 0,    // bottom row: 3 x blue, absolute 2 3 2 + padding
      0, 4, 0, 1, 2, 3, 9, 1, 0, 0,    // absolute run of 4 (no padding); 9 blue runs past the row
      2, 2, 0, 0,                      // 2 green, the rest of the row left out: black
      0, 1,                            // end of bitmap: the top row stays black
  });
  ExpectPicture(*Decode(Build(f)),
                {{K, K, K, K, K, K}, {G, G, K, K, K, K}, {R, B, G, C, B, B}, {B, B, B, G, C, G}});
}

TEST(BmpDecoder, Rle4)
{
  BmpFile f;
  f.width = 5;
  f.height = 3;
  f.bpp = 4;
  f.compression = 2;
  f.table = kTable;
  f.pixels = Bytes({
      5, 0x12, 0, 0,                   // bottom row: alternating 1 and 2
      0, 3, 0x30, 0x10, 0, 0,          // absolute 3 pixels (2 bytes) + 1 padding byte
      7, 0x33, 0, 0,                   // a run past the row end is dropped
      0, 1,
  });
  ExpectPicture(*Decode(Build(f)), {{C, C, C, C, C}, {C, R, B, K, K}, {B, G, B, G, B}});
}

namespace {
std::string Rle8File(const std::string& data, int width = 4, int height = 2)
{
  BmpFile f;
  f.width = width;
  f.height = height;
  f.bpp = 8;
  f.compression = 1;
  f.table = kTable;
  f.pixels = data;
  return Build(f);
}
std::string Plain24(int32_t w, int32_t h, size_t pixelBytes)
{
  BmpFile f;
  f.width = w;
  f.height = h;
  f.pixels.assign(pixelBytes, '\x10');
  return Build(f);
}
}  // namespace

TEST(BmpDecoder, MalformedFilesGiveTheirCodeAndNeverCrash)
{
  BmpFile good;
  good.width = 2;
  good.height = 2;
  good.pixels = Rows(24, {{1, 2}, {3, 4}});
  const std::string ok = Build(good);
  auto patched = [&](size_t at, std::string bytes) {
    std::string s = ok;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  auto le32 = [](uint32_t v) { std::string s; Put32(s, v); return s; };
  BmpFile pal = good;
  pal.bpp = 8;
  pal.table = kTable;
  pal.pixels = Rows(8, {{1, 2}, {3, 0}});
  BmpFile fields = good;
  fields.bpp = 16;
  fields.compression = 3;

  struct Case {
    const char* what;
    std::string file;
    int code;
  } cases[] = {
      {"good file", ok, 0},
      {"empty", "", 8},
      {"signature only", "BM", 11},
      {"truncated file header", ok.substr(0, 10), 11},
      {"truncated info header", ok.substr(0, 30), 11},
      {"not BM for the BMP decoder", patched(0, "BA"), 1},
      {"header size 12", patched(14, le32(12)), 2},
      {"header size 4 GB", patched(14, le32(0xFFFFFFF0u)), 11},
      {"bpp 7", patched(28, "\x07"), 2},
      {"bpp 0", patched(28, std::string(1, '\0')), 2},
      {"negative width", patched(18, le32(0xFFFFFFFEu)), 2},
      {"height INT_MIN", patched(22, le32(0x80000000u)), 2},
      {"huge dimensions", Plain24(0x7FFFFFFF, 0x7FFFFFFF, 12), 10},
      {"huge dimensions top-down", Plain24(100000, -100000, 12), 10},
      {"huge RLE picture", Rle8File(Bytes({0, 1}), 1 << 16, 1 << 16), 10},
      {"pixels beyond the file end", Plain24(1000, 1000, 12), 11},
      {"last row cut short", ok.substr(0, ok.size() - 1), 11},
      {"offset past the end", patched(10, le32(5000)), 11},
      {"offset inside the header", patched(10, le32(20)), 2},
      {"offset 4 GB", patched(10, le32(0xFFFFFFFFu)), 11},
      {"RLE8 delta escape", Rle8File(Bytes({0, 2, 1, 1, 0, 1})), 6},
      {"RLE8 data ends without end of bitmap", Rle8File(Bytes({4, 1})), 11},
      {"RLE8 absolute run cut short", Rle8File(Bytes({0, 20, 1, 2})), 11},
      {"RLE8 runs past the row", Rle8File(Bytes({255, 1, 255, 2, 0, 0, 0, 1})), 0},
      {"RLE8 long absolute run past the row", Rle8File(Bytes({0, 5, 1, 2, 3, 1, 2, 0, 0, 1}), 2, 1), 0},
      {"1000-entry colour table, all there",
       [] {
         BmpFile f;
         f.bpp = 4;
         f.colorsUsed = 1000;
         f.table.assign(1000, Colour{1, 2, 3});
         f.pixels = Rows(4, {{15}});
         return Build(f);
       }(),
       0},
      {"1000-entry colour table, file ends inside",
       [] {
         BmpFile f;
         f.bpp = 8;
         f.colorsUsed = 1000;
         f.table.assign(100, Colour{1, 2, 3});
         f.offBits = 14 + 40 + 4000;
         return Build(f).substr(0, 14 + 40 + 400);
       }(),
       11},
      {"colours used 4 G", [&] { BmpFile f = pal; f.colorsUsed = 0xFFFFFFFFu; return Build(f); }(), 0},
      {"bit fields cut before the masks", Build(fields).substr(0, 58), 11},
  };
  for (const Case& c : cases) {
    CWinBmp bmp;
    CAnyPicDecoder any;
    CBmpDecoder dec;
    std::string text;
    const int code = CodeOf(
        [&] {
          if (c.code == 1) dec.DecodeMemory(c.file.data(), static_cast<int64_t>(c.file.size()), &bmp, 32);
          else any.DecodeMemory(c.file.data(), static_cast<int64_t>(c.file.size()), &bmp, 32);
        },
        &text);
    EXPECT_EQ(code, c.code) << c.what << ": " << text;
  }
}

TEST(BmpDecoder, ErrorTexts)
{
  BmpFile f;
  f.bpp = 7;
  f.pixels = "1234";
  std::string text;
  const std::string file = Build(f);
  CBmpDecoder dec;
  CWinBmp bmp;
  EXPECT_EQ(CodeOf([&] { dec.DecodeMemory(file.data(), static_cast<int64_t>(file.size()), &bmp, 32); }, &text), 2);
  EXPECT_EQ(text, "Decoding bmp: Illegal bpp value.");
  const std::string rle = Rle8File(Bytes({0, 2, 0, 0}));
  EXPECT_EQ(CodeOf([&] { dec.DecodeMemory(rle.data(), static_cast<int64_t>(rle.size()), &bmp, 32); }, &text), 6);
  EXPECT_EQ(text, "Encountered delta escape.");
  EXPECT_EQ(CodeOf([&] { dec.DecodeMemory("BX", 2, &bmp, 32); }, &text), 11);
  EXPECT_EQ(CodeOf([&] { dec.DecodeMemory("BXxxxxxxxxxxxxxxxxxx", 20, &bmp, 32); }, &text), 1);
  EXPECT_EQ(text, "Bitmap decoder: This isn't a bitmap.");
}
