#include "imaging/AnyPicDecoder.h"

#include <algorithm>
#include <cstring>

CAnyPicDecoder::CAnyPicDecoder()
    : BmpDecoder(std::make_unique<CBmpDecoder>()), JPEGDecoder(std::make_unique<CJPEGDecoder>())
{
}

CAnyPicDecoder::~CAnyPicDecoder() = default;

void CAnyPicDecoder::DecodeSource(CDataSource* src, CBmp* bmp, int destBpp)
{
  const int type = SniffFileType(src->GetBufferPtr(512), src->GetBytesLeft());
  switch (type) {
  case 1:
    Trace(2, "Windows bitmap recognized.\n");
    BmpDecoder->DecodeSource(src, bmp, destBpp);
    break;
  case 5:
    Trace(2, "JPEG file recognized.\n");
    JPEGDecoder->DecodeSource(src, bmp, destBpp);
    break;
  case 0:
    RaiseError(8, "Unknown file type.");
  default:
    RaiseError(6, "Library not compiled for this file type.");
  }
}

int CAnyPicDecoder::SniffFileType(const uint8_t* data, int64_t size)
{
  // Only the bytes present are looked at: they are copied into a zeroed block, so a short
  // file reads as zeros past its end.
  uint8_t b[600] = {};
  if (data && size > 0) std::memcpy(b, data, static_cast<size_t>(std::min<int64_t>(size, sizeof b)));
  auto is = [&](int at, std::initializer_list<uint8_t> bytes) {
    int i = at;
    for (uint8_t v : bytes)
      if (b[i++] != v) return false;
    return true;
  };
  auto oneOf = [](uint8_t v, std::initializer_list<uint8_t> set) {
    return std::find(set.begin(), set.end(), v) != set.end();
  };
  auto le32 = [&](int at) {
    return static_cast<uint32_t>(b[at]) | static_cast<uint32_t>(b[at + 1]) << 8 |
           static_cast<uint32_t>(b[at + 2]) << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
  };
  if (is(0, {0x42, 0x4D})) return 1;
  if (size >= 17 && b[1] <= 1 && oneOf(b[2], {0, 1, 2, 3, 9, 10, 11}) &&
      oneOf(b[7], {0, 8, 15, 16, 24, 32}) && oneOf(b[16], {8, 15, 16, 24, 32}))
    return 3;
  if (is(0, {0x47, 0x49, 0x46, 0x38})) return 12;
  if (is(0, {0x49, 0x49, 0x2A, 0x00}) || is(0, {0x4D, 0x4D, 0x00, 0x2A})) return 4;
  if (size > 540 && (is(522, {0x00, 0x11, 0x02, 0xFF}) || is(522, {0x00, 0x11, 0x01}) ||
                     is(522, {0x11, 0x01, 0x01, 0x00})))
    return 2;
  if (is(0, {0xFF, 0xD8, 0xFF})) return 5;
  if (is(0, {0x89, 0x50, 0x4E, 0x47})) return 6;
  if ((is(0, {0xC5, 0xD0, 0xD3, 0xC6}) || is(0, {0xC6, 0xD3, 0xD0, 0xC5})) && le32(20) != 0 &&
      le32(24) != 0)
    return 7;
  if (b[0] == 0x0A && b[2] == 0x01) return 10;
  if (b[0] == 0x50 && (b[1] == 0x32 || b[1] == 0x35)) return 11;
  return 0;
}
