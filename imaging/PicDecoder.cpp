#include "imaging/PicDecoder.h"

#include "imaging/FileSource.h"
#include "imaging/ImageTrace.h"
#include "imaging/MemSource.h"

void CPicDecoder::DecodeFile(const char* name, CBmp* bmp, int destBpp, CProgressNotification* progress)
{
  const char* n = name ? name : "";
  Trace(1, ImgFormat("--- Decoding file %s. ---\n", n));
  CFileSource src(progress);
  const int err = src.OpenFile(n);
  if (err != 0) RaiseError(err, ImgFormat("Opening %s failed", n));
  DecodeSource(&src, bmp, destBpp);
  src.Close();
}

void CPicDecoder::DecodeMemory(const void* data, int64_t size, CBmp* bmp, int destBpp)
{
  Trace(1, ImgFormat("--- Decoding from memory at %p. ---\n", data));
  CMemSource src;
  const int err = src.OpenBlock(data, size);
  if (err != 0) RaiseError(err, ImgFormat("Reading from memory at %p failed", data));
  DecodeSource(&src, bmp, destBpp);
  src.Close();
}

void CPicDecoder::DecodeSource(CDataSource* src, CBmp* bmp, int destBpp)
{
  std::vector<PaletteEntry> colourTable;  // freed on every path
  Decode(bmp, colourTable, &destBpp, src);
}

void CPicDecoder::ChooseDestBpp(int sourceBpp, int* destBpp)
{
  if (*destBpp == 0) *destBpp = sourceBpp <= 8 ? 8 : 32;
  else if (*destBpp != 8 || sourceBpp > 8) *destBpp = 32;
}

void CPicDecoder::Decode(CBmp*, std::vector<PaletteEntry>&, int*, CDataSource*) {}

void CPicDecoder::RaiseError(int code, const std::string& text)
{
  ImageRaiseError(code, text);
}

void CPicDecoder::Trace(int level, const std::string& text)
{
  ImageTrace(level, text);
}
