#include "imaging/PicEncoder.h"

#include "imaging/FileSink.h"
#include "imaging/ImageTrace.h"

void CPicEncoder::EncodeFile(const char* name, CBmp* bmp)
{
  const char* n = name ? name : "";
  CFileSink sink;  // discards its temporary file unless Close() succeeds
  Trace(1, ImgFormat("--- Encoding file %s. ---\n", n));
  const int err = sink.OpenFile(n, CalcSinkCapacity(bmp->GetMemUsed()));
  if (err != 0) RaiseError(err, ImgFormat("Opening %s failed", n));
  EncodeSink(bmp, &sink);
  sink.Close();
}

void CPicEncoder::EncodeSink(CBmp* bmp, CDataSink* sink)
{
  Encode(bmp, sink);
}

uint64_t CPicEncoder::CalcSinkCapacity(int64_t memUsed)
{
  if (memUsed < 0) memUsed = 0;
  if (memUsed < 20000) return static_cast<uint64_t>(memUsed) + 4096;
  return static_cast<uint64_t>(static_cast<double>(memUsed) * 1.2);
}

void CPicEncoder::RaiseError(int code, const std::string& text)
{
  ImageRaiseError(code, text);
}

void CPicEncoder::Trace(int level, const std::string& text)
{
  ImageTrace(level, text);
}
