#pragma once
// Byte sources that decoders read from. Sizes and counts are 64-bit; every read is checked
// against the size before the caller may touch the bytes.
#include "imaging/PLObject.h"

#include <cstdint>
#include <string>

// Optional progress callback handed to a data source.
class CProgressNotification {
public:
  virtual ~CProgressNotification() = default;
  // part: the part of the source consumed so far, 0 to 1.
  virtual void OnProgress(double part) = 0;
};

class CDataSource : public CPLObject {
public:
  explicit CDataSource(CProgressNotification* progress) : Progress(progress) {}
  ~CDataSource() override = default;

  // Stores the name and size; BytesRead becomes 0.
  virtual void Open(const char* name, int64_t size);
  // Reports progress 1.0 (when a notification is set) and forgets the name.
  virtual void Close();
  // The address of the unread bytes without consuming anything. At least
  // GetBytesLeft() bytes are addressable there.
  virtual const uint8_t* GetBufferPtr(int n) = 0;
  // Consumes n bytes and returns their address. Throws CTextException 11 "End of file
  // reached while decoding.\n" (before anything is consumed) when fewer than n bytes are left
  // or n is negative. The base part counts and reports progress and returns nullptr.
  virtual const uint8_t* ReadBytes(int64_t n);
  // The address of all unread bytes (GetBytesLeft() of them); nothing is counted.
  virtual const uint8_t* ReadEverything() = 0;

  // Forwards part to the progress notification, when one is set.
  void ReportProgress(double part);

  const char* GetName() const { return Name.c_str(); }
  int64_t GetSize() const { return Size; }
  int64_t GetBytesRead() const { return BytesRead; }
  int64_t GetBytesLeft() const { return Size - BytesRead; }

private:
  std::string Name;
  int64_t Size = 0;
  int64_t BytesRead = 0;
  CProgressNotification* Progress;
};
