#include "imaging/MemSource.h"

CMemSource::~CMemSource()
{
  if (ReadPtr) CMemSource::Close();
}

int CMemSource::OpenBlock(const void* data, int64_t size)
{
  if (size < 0 || (size > 0 && !data)) return 11;
  CDataSource::Open("Mem", size);
  static const uint8_t empty = 0;
  ReadPtr = data ? static_cast<const uint8_t*>(data) : &empty;
  return 0;
}

void CMemSource::Close()
{
  ReadPtr = nullptr;
  CDataSource::Close();
}

const uint8_t* CMemSource::GetBufferPtr(int) { return ReadPtr; }

const uint8_t* CMemSource::ReadBytes(int64_t n)
{
  CDataSource::ReadBytes(n);
  const uint8_t* p = ReadPtr;
  ReadPtr += n;
  return p;
}

const uint8_t* CMemSource::ReadEverything() { return ReadPtr; }
