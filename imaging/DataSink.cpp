#include "imaging/DataSink.h"

#include "imaging/TextException.h"

#include <cstring>

CDataSink::~CDataSink()
{
  if (Buffer) CDataSink::Close();
}

void CDataSink::Open(const char* name, uint8_t* buffer, uint64_t maxSize)
{
  MaxSize = maxSize;
  Name = name ? name : "";
  Buffer = buffer;
  Count = 0;
}

uint64_t CDataSink::WriteBytes(uint64_t n, const void* data)
{
  if (!Buffer || n > MaxSize - Count) throw CTextException(11, "Buffer overflow while encoding.\n");
  if (n) std::memcpy(Buffer + Count, data, n);
  Count += n;
  return n;
}

void CDataSink::Close()
{
  Name.clear();
  Buffer = nullptr;
  Count = 0;
}
