#pragma once
// Builds small BMP files byte by byte for the tests, so every fixture is readable in the
// test that uses it (no opaque binaries).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bmp_test {

struct Colour {
  uint8_t b, g, r;
};

struct BmpFile {
  int32_t width = 1;
  int32_t height = 1;  // negative: top-down
  uint16_t bpp = 24;
  uint32_t compression = 0;
  uint32_t headerSize = 40;              // 40, or 108 (V4) / 124 (V5)
  uint32_t colorsUsed = 0;
  std::vector<Colour> table;             // colour table as written
  std::vector<uint32_t> masks;           // red, green, blue masks (16 bpp bit fields)
  std::optional<uint32_t> offBits;       // default: right after the table
  std::string pixels;                    // pixel data as written
};

inline void Put16(std::string& s, uint32_t v)
{
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v)
{
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::string Build(const BmpFile& f)
{
  std::string header;
  Put32(header, f.headerSize);
  Put32(header, static_cast<uint32_t>(f.width));
  Put32(header, static_cast<uint32_t>(f.height));
  Put16(header, 1);
  Put16(header, f.bpp);
  Put32(header, f.compression);
  Put32(header, 0);
  Put32(header, 0);
  Put32(header, 0);
  Put32(header, f.colorsUsed);
  Put32(header, 0);
  std::string masks;
  for (uint32_t m : f.masks) Put32(masks, m);
  if (f.headerSize > 40) {
    // Longer headers carry the masks as their first extra fields.
    header += masks;
    masks.clear();
    header.resize(f.headerSize, '\0');
  }
  std::string table;
  for (const Colour& c : f.table) {
    table += static_cast<char>(c.b);
    table += static_cast<char>(c.g);
    table += static_cast<char>(c.r);
    table += '\0';
  }
  const uint32_t off = f.offBits.value_or(
      static_cast<uint32_t>(14 + header.size() + masks.size() + table.size()));
  std::string gap;
  const size_t natural = 14 + header.size() + masks.size() + table.size();
  if (off > natural) gap.assign(off - natural, '\x77');
  std::string out = "BM";
  Put32(out, static_cast<uint32_t>(natural + gap.size() + f.pixels.size()));
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, off);
  return out + header + masks + table + gap + f.pixels;
}

// Packs rows of pixel values (1, 4, 8 bpp indices; 16 bpp words; 24 bpp as 0xRRGGBB;
// 32 bpp as 0xAARRGGBB) into file rows, each padded to 4 bytes, in the order given.
inline std::string Rows(int bpp, const std::vector<std::vector<uint32_t>>& rows)
{
  std::string out;
  for (const auto& row : rows) {
    std::string r;
    if (bpp == 1 || bpp == 4) {
      const int perByte = 8 / bpp;
      for (size_t i = 0; i < row.size(); i += perByte) {
        unsigned byte = 0;
        for (int k = 0; k < perByte; ++k) {
          const unsigned v = i + k < row.size() ? row[i + k] : 0;
          byte |= v << (8 - bpp * (k + 1));
        }
        r += static_cast<char>(byte);
      }
    } else {
      for (uint32_t v : row) {
        for (int k = 0; k < bpp / 8; ++k) r += static_cast<char>((v >> (8 * k)) & 0xFF);
      }
    }
    while (r.size() % 4) r += '\0';
    out += r;
  }
  return out;
}

// RLE stream helpers.
inline std::string Bytes(std::initializer_list<int> b)
{
  std::string s;
  for (int v : b) s += static_cast<char>(v);
  return s;
}

}  // namespace bmp_test
