#pragma once
// Base of the decoders: opens a file or memory block as a data source and runs the
// format's Decode into a CBmp. Every failure is a CTextException.
#include "imaging/Bmp.h"
#include "imaging/DataSource.h"
#include "imaging/PLObject.h"

#include <cstdint>
#include <vector>

class CPicDecoder : public CPLObject {
public:
  CPicDecoder() = default;
  ~CPicDecoder() override = default;
  CPicDecoder(const CPicDecoder&) = delete;
  CPicDecoder& operator=(const CPicDecoder&) = delete;

  // destBpp: depth wanted: 0 lets the decoder choose, 8 (only for sources of 8 bpp or
  // less) or 32. The viewer asks for 32.
  // Opening failures raise their code (3, 4, 5, 10) with "Opening %s failed".
  virtual void DecodeFile(const char* name, CBmp* bmp, int destBpp,
                          CProgressNotification* progress = nullptr);
  virtual void DecodeMemory(const void* data, int64_t size, CBmp* bmp, int destBpp);
  virtual void DecodeSource(CDataSource* src, CBmp* bmp, int destBpp);

  // 0 -> 8 for sources of 8 bpp or less, else 32; 8 stays 8 only for such sources;
  // everything else becomes 32 (the only other depth the decoders write).
  static void ChooseDestBpp(int sourceBpp, int* destBpp);

protected:
  // Format-specific part. colourTable: a table the decoder may fill (freed by
  // DecodeSource). The base does nothing.
  virtual void Decode(CBmp* bmp, std::vector<PaletteEntry>& colourTable, int* destBpp,
                      CDataSource* src);
  [[noreturn]] static void RaiseError(int code, const std::string& text);
  static void Trace(int level, const std::string& text);
};
