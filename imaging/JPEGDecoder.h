#pragma once
// Decodes JPEG through libjpeg (API 62) into an 8-bpp grey or 32-bpp colour bitmap.
// libjpeg errors raise code 6 with libjpeg's message and "\n"; warnings (a file cut short,
// corrupt data) go to the trace and decoding completes, the missing part grey.
#include "imaging/PicDecoder.h"

#include <memory>

class CJPEGDecoder : public CPicDecoder {
public:
  CJPEGDecoder();
  ~CJPEGDecoder() override;

protected:
  void Decode(CBmp* bmp, std::vector<PaletteEntry>& colourTable, int* destBpp,
              CDataSource* src) override;

private:
  struct Impl;
  std::unique_ptr<Impl> m;
  int FastMode = 1;  // set: no fancy upsampling
};
