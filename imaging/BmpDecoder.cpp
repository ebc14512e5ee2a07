#include "imaging/BmpDecoder.h"

#include "imaging/ImageTrace.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t Rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Rd32(const uint8_t* p)
{
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Writes pixels of one destination row: colour-table indices at 8 bpp, or the table's
// colours (alpha 255) at 32 bpp. Indices past the file's table are black.
struct PixelWriter {
  int destBpp;
  const PaletteEntry* table;  // 256 entries
  void Put(uint8_t* line, int64_t x, uint8_t index) const
  {
    if (destBpp == 8) {
      line[x] = index;
    } else {
      const PaletteEntry& e = table[index];
      uint8_t* d = line + 4 * x;
      d[0] = e.Blue;
      d[1] = e.Green;
      d[2] = e.Red;
      d[3] = 255;
    }
  }
};

// Restores the bitmap's lock count on every path.
struct LockGuard {
  CBmp* bmp;
  explicit LockGuard(CBmp* b) : bmp(b) { bmp->Lock(0, 1); }
  ~LockGuard() { bmp->Unlock(); }
  LockGuard(const LockGuard&) = delete;
  LockGuard& operator=(const LockGuard&) = delete;
};

}  // namespace

struct CBmpDecoder::Header {
  uint32_t offBits = 0;
  uint32_t headerSize = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bpp = 0;
  uint32_t compression = 0;
  uint32_t colorsUsed = 0;
  uint32_t greenMask = 0;
  int64_t tableEntries = 0;  // entries of the file's colour table that were read
};

CBmpDecoder::Header CBmpDecoder::ReadHeader(CDataSource* src, std::vector<PaletteEntry>& colourTable)
{
  Header h;
  const uint8_t* p = src->ReadBytes(14);
  if (Rd16(p) != 0x4D42) RaiseError(1, "Bitmap decoder: This isn't a bitmap.");
  h.offBits = Rd32(p + 10);
  Trace(2, "Bitmap file signature found\n");
  p = src->ReadBytes(40);
  h.headerSize = Rd32(p);
  if (h.headerSize < 40) RaiseError(2, "Bitmap decoder: BITMAPINFOHEADER has wrong size.");
  h.width = static_cast<int32_t>(Rd32(p + 4));
  h.height = static_cast<int32_t>(Rd32(p + 8));
  h.bpp = Rd16(p + 14);
  h.compression = Rd32(p + 16);
  h.colorsUsed = Rd32(p + 32);
  Trace(2, "Bitmap header is ok.\n");
  int64_t consumed = 54;
  // The three masks follow the 40 bytes: after the header of a 40-byte header, inside it
  // for the longer (V2 to V5) headers, which begin their extra fields with them.
  if (h.bpp == 16 && h.compression != 0) {
    p = src->ReadBytes(12);
    h.greenMask = Rd32(p + 4);
    consumed += 12;
  }
  // The colour table of a longer header follows the whole header.
  const int64_t headerEnd = 14 + int64_t{h.headerSize};
  if (headerEnd > consumed) {
    src->ReadBytes(headerEnd - consumed);
    consumed = headerEnd;
  }
  if (int64_t{h.offBits} < consumed) RaiseError(2, "Bitmap decoder: Illegal pixel data offset.");
  if (h.bpp <= 8) consumed += ReadPalette(src, h, colourTable);
  src->ReadBytes(int64_t{h.offBits} - consumed);  // up to the pixel data
  return h;
}

int64_t CBmpDecoder::ReadPalette(CDataSource* src, Header& h, std::vector<PaletteEntry>& colourTable)
{
  Trace(3, "Reading palette.\n");
  int64_t count = h.colorsUsed != 0 ? int64_t{h.colorsUsed} : int64_t{1} << h.bpp;
  if (count > 256) count = 256;  // a longer table keeps its first 256 entries
  // Never read into the pixel data: some writers store fewer entries than the header says.
  const int64_t room = (int64_t{h.offBits} - (14 + std::max<int64_t>(40, h.headerSize))) / 4;
  if (count > room) count = room;
  colourTable.assign(256, PaletteEntry{0, 0, 0, 255});
  const uint8_t* p = src->ReadBytes(count * 4);
  for (int64_t i = 0; i < count; ++i)
    colourTable[static_cast<size_t>(i)] = PaletteEntry{p[4 * i], p[4 * i + 1], p[4 * i + 2], 255};
  h.tableEntries = count;
  return count * 4;
}

void CBmpDecoder::Decode(CBmp* bmp, std::vector<PaletteEntry>& colourTable, int* destBpp, CDataSource* src)
{
  const Header h = ReadHeader(src, colourTable);
  const uint16_t bpp = h.bpp;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    RaiseError(2, "Decoding bmp: Illegal bpp value.");
  if (h.width < 0 || h.height == INT32_MIN) RaiseError(2, "Bitmap decoder: Illegal image size.");
  const bool topDown = h.height < 0;
  const int width = h.width;
  const int rows = topDown ? -h.height : h.height;
  const bool rle = (bpp == 4 || bpp == 8) && h.compression != 0;
  const int64_t fileRowBytes = ((int64_t{width} * bpp + 31) / 32) * 4;
  if (std::max<int64_t>(width, 1) * std::max<int64_t>(rows, 1) > kMaxBitmapPixels)
    RaiseError(10, "Out of memory creating bitmap.");
  // Uncompressed data must all be there before a picture of that size is allocated.
  if (!rle && fileRowBytes > 0 && rows > src->GetBytesLeft() / fileRowBytes)
    RaiseError(11, "End of file reached while decoding.\n");

  ChooseDestBpp(bpp, destBpp);
  bmp->Create(width, rows, static_cast<uint16_t>(*destBpp), 0);
  if (colourTable.empty()) colourTable.assign(256, PaletteEntry{0, 0, 0, 255});
  if (*destBpp == 8) bmp->SetPalette(colourTable.data());
  const PixelWriter out{*destBpp, colourTable.data()};
  uint8_t** lines = bmp->GetLineArray();
  auto line = [&](int64_t k) { return lines[topDown ? k : rows - 1 - k]; };

  LockGuard lock(bmp);
  if (rle) {
    // Areas the runs leave out are black.
    uint8_t black = 0;
    for (int64_t i = 0; i < h.tableEntries; ++i) {
      const PaletteEntry& e = colourTable[static_cast<size_t>(i)];
      if (e.Red == 0 && e.Green == 0 && e.Blue == 0) {
        black = static_cast<uint8_t>(i);
        break;
      }
    }
    for (int64_t y = 0; y < rows; ++y)
      for (int64_t x = 0; x < width; ++x) {
        if (*destBpp == 8) lines[y][x] = black;
        else std::memcpy(lines[y] + 4 * x, "\0\0\0\xff", 4);
      }
    Trace(2, bpp == 4 ? "Decoding RLE4-compressed bitmap.\n" : "Decoding RLE8-compressed bitmap.\n");
    // Pixels beyond the row width are read and dropped.
    auto put = [&](uint8_t* l, int64_t& x, uint8_t index) {
      if (x < width) out.Put(l, x, index);
      ++x;
    };
    bool endOfBitmap = false;
    for (int64_t k = 0; k < rows && !endOfBitmap; ++k) {
      uint8_t* l = line(k);
      int64_t x = 0;
      for (;;) {
        const uint8_t* p = src->ReadBytes(2);
        const int c = p[0];
        const uint8_t v = p[1];
        if (c > 0) {
          for (int i = 0; i < c; ++i) put(l, x, bpp == 8 ? v : ((i & 1) ? (v & 0x0F) : (v >> 4)));
          continue;
        }
        if (v == 0) break;
        if (v == 1) {
          endOfBitmap = true;
          break;
        }
        if (v == 2) RaiseError(6, "Encountered delta escape.");
        const int e = v;
        if (bpp == 8) {
          const uint8_t* d = src->ReadBytes(e + (e & 1));
          for (int i = 0; i < e; ++i) put(l, x, d[i]);
        } else {
          const int bytes = (e + 1) / 2;
          const uint8_t* d = src->ReadBytes(bytes + (bytes & 1));
          for (int i = 0; i < e; ++i) put(l, x, (i & 1) ? (d[i / 2] & 0x0F) : (d[i / 2] >> 4));
        }
      }
    }
  } else if (bpp <= 8) {
    Trace(2, bpp == 1   ? "Decoding 1 bit per pixel bitmap.\n"
             : bpp == 4 ? "Decoding uncompressed 4 bit per pixel bitmap.\n"
                        : "Decoding uncompressed 8 bit per pixel bitmap.\n");
    for (int64_t k = 0; k < rows; ++k) {
      const uint8_t* p = src->ReadBytes(fileRowBytes);
      uint8_t* l = line(k);
      for (int64_t x = 0; x < width; ++x) {
        uint8_t index;
        if (bpp == 1) index = (p[x >> 3] >> (7 - (x & 7))) & 1;
        else if (bpp == 4) index = (x & 1) ? (p[x >> 1] & 0x0F) : (p[x >> 1] >> 4);
        else index = p[x];
        out.Put(l, x, index);
      }
    }
  } else {
    Trace(2, "Decoding true-color bitmap.\n");
    const bool rgb555 = bpp == 16 && (h.compression == 0 || h.greenMask == 0x3E0);
    for (int64_t k = 0; k < rows; ++k) {
      const uint8_t* p = src->ReadBytes(fileRowBytes);
      uint8_t* d = line(k);
      for (int64_t x = 0; x < width; ++x, d += 4) {
        if (bpp == 16) {
          const unsigned v = Rd16(p + 2 * x);
          d[0] = static_cast<uint8_t>((v & 0x1F) << 3);
          d[1] = static_cast<uint8_t>(rgb555 ? (v >> 2) & 0xF8 : (v >> 3) & 0xF8);
          d[2] = static_cast<uint8_t>(rgb555 ? (v >> 7) & 0xF8 : (v >> 8) & 0xF8);
          d[3] = 255;
        } else if (bpp == 24) {
          std::memcpy(d, p + 3 * x, 3);
          d[3] = 255;
        } else {
          std::memcpy(d, p + 4 * x, 4);
        }
      }
    }
  }
  Trace(3, "Decoding finished.\n");
}
