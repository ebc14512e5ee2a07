#pragma once
// A data source over a whole file. The file is read into memory when it is opened, so a
// file that shrinks or changes meanwhile cannot fault the reader; only regular files are
// accepted (a FIFO, device or directory is refused instead of blocking).
#include "imaging/DataSource.h"

#include <vector>

class CFileSource : public CDataSource {
public:
  explicit CFileSource(CProgressNotification* progress = nullptr) : CDataSource(progress) {}
  ~CFileSource() override;

  // 0 on success, otherwise an error code: 3 path (directory) not found, 4 file not found
  // and other failures, 5 access denied, not a regular file, or an empty file, 10 file too
  // large to hold in memory.
  virtual int OpenFile(const char* name);
  void Close() override;
  const uint8_t* GetBufferPtr(int n) override;
  const uint8_t* ReadBytes(int64_t n) override;
  const uint8_t* ReadEverything() override;

  // Largest file accepted (bytes): a bitmap at the pixel cap needs no more.
  static constexpr int64_t kMaxFileSize = int64_t{1} << 31;

private:
  std::vector<uint8_t> Data;
  const uint8_t* ReadPtr = nullptr;
  bool IsOpen = false;
};
