// File-type detection from the first bytes.
#include "ImgTestUtil.h"
#include "imaging/AnyPicDecoder.h"

#include <gtest/gtest.h>

#include <string>

using img_test::CodeOf;

namespace {
std::string At(size_t size, std::initializer_list<std::pair<size_t, int>> bytes)
{
  std::string s(size, '\x55');
  for (auto [at, v] : bytes) s[at] = static_cast<char>(v);
  return s;
}
int Sniff(const std::string& s)
{
  return CAnyPicDecoder::SniffFileType(reinterpret_cast<const uint8_t*>(s.data()),
                                       static_cast<int64_t>(s.size()));
}
}  // namespace

TEST(Sniffer, Table)
{
  const std::string pict = At(600, {{522, 0x00}, {523, 0x11}, {524, 0x02}, {525, 0xFF}});
  struct Case {
    const char* what;
    std::string bytes;
    int type;
  } cases[] = {
      {"BMP", "BM", 1},
      {"BMP with junk", "BMxxxxxxxxxxxxxxxxxxxxx", 1},
      {"TGA", At(18, {{1, 0}, {2, 2}, {7, 0}, {16, 24}}), 3},
      {"TGA needs byte 16 present", At(16, {{1, 0}, {2, 2}, {7, 0}}), 0},
      {"GIF", "GIF89a", 12},
      {"TIFF little-endian", std::string("II*\0", 4), 4},
      {"TIFF big-endian", std::string("MM\0*", 4), 4},
      {"PICT", pict, 2},
      {"PICT other form", At(600, {{522, 0x11}, {523, 0x01}, {524, 0x01}, {525, 0x00}}), 2},
      {"PICT only beyond 540 bytes", pict.substr(0, 540), 0},
      {"JPEG", "\xFF\xD8\xFF\xE0", 5},
      {"JPEG of three bytes", "\xFF\xD8\xFF", 5},
      {"JPEG cut at two bytes", "\xFF\xD8", 0},
      {"PNG", "\x89PNG\r\n", 6},
      {"EPS with preview", At(30, {{0, 0xC5}, {1, 0xD0}, {2, 0xD3}, {3, 0xC6}, {20, 1}, {24, 1}}), 7},
      {"EPS without preview", At(30, {{0, 0xC5}, {1, 0xD0}, {2, 0xD3}, {3, 0xC6}, {20, 0}, {21, 0}, {22, 0}, {23, 0}}), 0},
      {"EPS cut before its offsets", At(22, {{0, 0xC5}, {1, 0xD0}, {2, 0xD3}, {3, 0xC6}}), 0},
      {"PCX", At(10, {{0, 0x0A}, {2, 0x01}}), 10},
      {"PGM", "P5\n", 11},
      {"PGM ascii", "P2\n", 11},
      {"text", "Hello, world", 0},
      {"empty", "", 0},
      {"one byte", "B", 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Sniff(c.bytes), c.type) << c.what;
  // TGA comes before the other tests, but a JPEG never matches it (byte 1 is D8).
  EXPECT_EQ(Sniff(At(20, {{0, 0xFF}, {1, 0xD8}, {2, 0xFF}, {7, 0}, {16, 8}})), 5);
  EXPECT_EQ(Sniff(At(20, {{0, 'G'}, {1, 0}, {2, 2}, {7, 0}, {16, 8}})), 3);
}

TEST(Sniffer, OnlyBmpAndJpegAreDecoded)
{
  struct Case {
    std::string bytes;
    int code;
    const char* text;
  } cases[] = {
      {"GIF89a and more", 6, "Library not compiled for this file type."},
      {"\x89PNG\r\n\x1a\n", 6, "Library not compiled for this file type."},
      {"plain text, no picture", 8, "Unknown file type."},
      {"BM", 11, "End of file reached while decoding.\n"},
  };
  for (const Case& c : cases) {
    CAnyPicDecoder dec;
    CWinBmp bmp;
    std::string text;
    EXPECT_EQ(CodeOf([&] { dec.DecodeMemory(c.bytes.data(), static_cast<int64_t>(c.bytes.size()), &bmp, 32); }, &text), c.code);
    EXPECT_EQ(text, c.text);
  }
}
