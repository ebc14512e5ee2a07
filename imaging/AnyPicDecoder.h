#pragma once
// The decoder the viewer uses: recognises the file type from the first bytes and hands the
// source to the BMP or the JPEG decoder. Other recognised types raise code 6 "Library not
// compiled for this file type.", unrecognised ones code 8 "Unknown file type.".
#include "imaging/BmpDecoder.h"
#include "imaging/JPEGDecoder.h"

#include <memory>

class CAnyPicDecoder : public CPicDecoder {
public:
  CAnyPicDecoder();
  ~CAnyPicDecoder() override;

  void DecodeSource(CDataSource* src, CBmp* bmp, int destBpp) override;

  // File type of a source from its first bytes: 0 unknown, 1 BMP, 2 PICT, 3 TGA, 4 TIFF,
  // 5 JPEG, 6 PNG, 7 EPS with TIFF preview, 10 PCX, 11 PGM, 12 GIF. Only the `size` bytes
  // present are looked at (bytes beyond them count as zero).
  static int SniffFileType(const uint8_t* data, int64_t size);

private:
  std::unique_ptr<CBmpDecoder> BmpDecoder;
  std::unique_ptr<CJPEGDecoder> JPEGDecoder;
};
