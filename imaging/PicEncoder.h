#pragma once
// Base of the encoders: writes a CBmp into a data sink, or into a file through a
// CFileSink (written atomically: a failed encode leaves an existing file untouched and no
// partial file behind).
#include "imaging/Bmp.h"
#include "imaging/DataSink.h"
#include "imaging/PLObject.h"

#include <cstdint>
#include <string>

class CPicEncoder : public CPLObject {
public:
  CPicEncoder() = default;
  ~CPicEncoder() override = default;
  CPicEncoder(const CPicEncoder&) = delete;
  CPicEncoder& operator=(const CPicEncoder&) = delete;

  // Raises -1 "Opening %s failed" when the file cannot be created, -1 "Writing %s failed"
  // when it cannot be written, 11 when the output exceeds the capacity
  // (CalcSinkCapacity), and the encoder's own codes.
  virtual void EncodeFile(const char* name, CBmp* bmp);
  virtual void EncodeSink(CBmp* bmp, CDataSink* sink);

  // Output capacity for a bitmap of memUsed bytes: memUsed + 4096 below 20000, else
  // memUsed x 1.2 truncated.
  static uint64_t CalcSinkCapacity(int64_t memUsed);

protected:
  virtual void Encode(CBmp* bmp, CDataSink* sink) = 0;
  [[noreturn]] static void RaiseError(int code, const std::string& text);
  static void Trace(int level, const std::string& text);
};
