#pragma once
// A data source over a caller's memory block (not copied, not owned).
#include "imaging/DataSource.h"

class CMemSource : public CDataSource {
public:
  CMemSource() : CDataSource(nullptr) {}
  ~CMemSource() override;

  // Opens the block under the name "Mem"; returns 0 (a negative size returns 11).
  virtual int OpenBlock(const void* data, int64_t size);
  void Close() override;
  const uint8_t* GetBufferPtr(int n) override;
  const uint8_t* ReadBytes(int64_t n) override;
  const uint8_t* ReadEverything() override;

private:
  const uint8_t* ReadPtr = nullptr;
};
