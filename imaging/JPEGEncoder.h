#pragma once
// Writes JPEG through libjpeg (API 62): default quality (75), float DCT, baseline.
// Bitmaps of 8 bpp or less are expanded through their colour table.
#include "imaging/PicEncoder.h"

#include <memory>

class CJPEGEncoder : public CPicEncoder {
public:
  CJPEGEncoder();
  ~CJPEGEncoder() override;

  // All 0 after construction: libjpeg's default quality, no optimisation, no smoothing,
  // no density written.
  int Quality = 0;
  bool OptimizeCoding = false;
  int SmoothingFactor = 0;
  int DensityX = 0;
  int DensityY = 0;

protected:
  void Encode(CBmp* bmp, CDataSink* sink) override;

private:
  struct Impl;
  std::unique_ptr<Impl> m;
};
