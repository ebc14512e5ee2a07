// Writes a small seed corpus for the decoder fuzzers into the directory given: BMP files of
// every depth (plain, RLE4, RLE8, bit fields, top-down, V5 header) and JPEGs (colour, grey,
// progressive, restart markers), all a few hundred bytes.
#include "imaging/BmpEncoder.h"
#include "imaging/JPEGEncoder.h"
#include "imaging/WinBmp.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string g_dir;

void Save(const std::string& name, const std::string& bytes)
{
  FILE* f = std::fopen((g_dir + "/" + name).c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

void Put16(std::string& s, uint32_t v)
{
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8 & 0xFF);
}
void Put32(std::string& s, uint32_t v)
{
  for (int i = 0; i < 4; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
}

// A BMP by hand: header size, size, depth, compression, table entries, masks, pixels.
std::string Bmp(uint32_t hdr, int32_t w, int32_t h, uint16_t bpp, uint32_t comp, int entries,
                const std::vector<uint32_t>& masks, const std::string& pixels)
{
  std::string info;
  Put32(info, hdr);
  Put32(info, static_cast<uint32_t>(w));
  Put32(info, static_cast<uint32_t>(h));
  Put16(info, 1);
  Put16(info, bpp);
  Put32(info, comp);
  for (int i = 0; i < 5; ++i) Put32(info, i == 3 ? static_cast<uint32_t>(entries) : 0);
  for (uint32_t m : masks) Put32(info, m);
  info.resize(std::max<size_t>(info.size(), hdr), '\0');
  for (int i = 0; i < entries; ++i) Put32(info, static_cast<uint32_t>(i * 0x010203));
  std::string out = "BM";
  Put32(out, static_cast<uint32_t>(14 + info.size() + pixels.size()));
  Put32(out, 0);
  Put32(out, static_cast<uint32_t>(14 + info.size()));
  return out + info + pixels;
}

std::string Pattern(size_t n)
{
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>(i * 37 + 11);
  return s;
}

std::string Encode(CBmp& bmp, bool jpeg)
{
  std::vector<uint8_t> buf(1 << 16);
  CDataSink sink;
  sink.Open("seed", buf.data(), buf.size());
  struct B : CBmpEncoder { using CBmpEncoder::Encode; };
  struct J : CJPEGEncoder { using CJPEGEncoder::Encode; };
  if (jpeg) J().Encode(&bmp, &sink);
  else B().Encode(&bmp, &sink);
  return std::string(buf.begin(), buf.begin() + static_cast<long>(sink.GetCount()));
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc < 2) return 2;
  g_dir = argv[1];
  Save("bmp1.bmp", Bmp(40, 9, 3, 1, 0, 2, {}, Pattern(12)));
  Save("bmp4.bmp", Bmp(40, 5, 3, 4, 0, 16, {}, Pattern(12)));
  Save("bmp8.bmp", Bmp(40, 3, 3, 8, 0, 256, {}, Pattern(12)));
  Save("bmp8v5.bmp", Bmp(124, 3, -3, 8, 0, 4, {}, Pattern(12)));
  Save("bmp16.bmp", Bmp(40, 3, 2, 16, 0, 0, {}, Pattern(16)));
  Save("bmp16bf.bmp", Bmp(40, 3, 2, 16, 3, 0, {0xF800, 0x7E0, 0x1F}, Pattern(16)));
  Save("bmp24.bmp", Bmp(40, 3, 2, 24, 0, 0, {}, Pattern(24)));
  Save("bmp32.bmp", Bmp(40, 3, 2, 32, 0, 0, {}, Pattern(24)));
  Save("rle8.bmp", Bmp(40, 6, 4, 8, 1, 4, {},
                       std::string("\x03\x01\x00\x03\x02\x03\x02\x00\x00\x00\x00\x04\x00\x01\x02\x03"
                                   "\x09\x01\x00\x00\x02\x02\x00\x00\x00\x01", 26)));
  Save("rle4.bmp", Bmp(40, 5, 3, 4, 2, 4, {},
                       std::string("\x05\x12\x00\x00\x00\x03\x30\x10\x00\x00\x07\x33\x00\x00\x00\x01", 16)));
  CWinBmp pic;
  pic.Create(19, 13, 32, 0);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 19 * 4; ++x) pic.GetLineArray()[y][x] = static_cast<uint8_t>(x * 5 + y * 17);
  Save("colour.jpg", Encode(pic, true));
  CWinBmp grey;
  grey.Create(11, 9, 8, 0);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 11; ++x) grey.GetLineArray()[y][x] = static_cast<uint8_t>(x * 23 + y * 3);
  Save("greypal.jpg", Encode(grey, true));
  Save("enc8.bmp", Encode(grey, false));
  Save("enc32.bmp", Encode(pic, false));
  return 0;
}
