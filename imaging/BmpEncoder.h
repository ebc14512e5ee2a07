#pragma once
// Writes Windows BMP files: 1, 4 and 8 bpp with their colour table, 32 bpp as 24 bpp.
#include "imaging/PicEncoder.h"

class CBmpEncoder : public CPicEncoder {
protected:
  void Encode(CBmp* bmp, CDataSink* sink) override;
};
