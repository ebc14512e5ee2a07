#pragma once
// Byte sinks that encoders write into: a buffer of fixed capacity.
#include "imaging/PLObject.h"

#include <cstdint>
#include <string>

class CDataSink : public CPLObject {
public:
  CDataSink() = default;
  ~CDataSink() override;

  // Stores the capacity, the name and the buffer (not owned); Count becomes 0.
  void Open(const char* name, uint8_t* buffer, uint64_t maxSize);
  // Appends n bytes. Throws CTextException 11 "Buffer overflow while encoding.\n" when they
  // do not fit (nothing of them is copied). Returns n.
  uint64_t WriteBytes(uint64_t n, const void* data);
  // Forgets the buffer, the count and the name.
  virtual void Close();

  const uint8_t* GetBuffer() const { return Buffer; }
  uint64_t GetCount() const { return Count; }
  uint64_t GetMaxSize() const { return MaxSize; }
  const char* GetName() const { return Name.c_str(); }

private:
  uint8_t* Buffer = nullptr;
  uint64_t Count = 0;
  std::string Name;
  uint64_t MaxSize = 0;
};
