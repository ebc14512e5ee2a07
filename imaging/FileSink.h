#pragma once
// A sink that collects the whole output in memory and writes it to a file on Close.
//
// The file is written atomically: OpenFile creates a temporary file beside the target,
// Close writes everything into it and renames it over the target. A sink destroyed
// without Close (an encoder failed) removes its temporary file and leaves an existing
// target untouched; a failed write, flush or close is an error, never silent success.
#include "imaging/DataSink.h"

#include <string>
#include <vector>

class CFileSink : public CDataSink {
public:
  CFileSink() = default;
  ~CFileSink() override;  // discards the output unless Close() succeeded

  // Creates the temporary file and a buffer of maxSize bytes. 0 on success, -1 when the
  // temporary file cannot be created (missing directory, no permission) or the buffer
  // cannot be allocated.
  virtual int OpenFile(const char* name, uint64_t maxSize);
  // Writes the buffered bytes and renames the temporary file to the target name. Throws
  // CTextException -1 "Writing %s failed" when anything of that fails (the temporary file
  // is then removed and the target is not touched).
  void Close() override;

private:
  void Discard();
  int File = -1;              // descriptor of the temporary file, -1 when closed
  std::string TargetName;
  std::string TempName;
  std::vector<uint8_t> OwnedBuffer;
};
