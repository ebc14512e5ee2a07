#include "imaging/FileSink.h"

#include "imaging/ImageTrace.h"
#include "imaging/TextException.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_tempCounter{0};

// A name for the temporary file in the target's directory (so that the final rename stays
// within one file system), short enough whatever the target's own name length.
std::string TempNameFor(const std::string& target, unsigned attempt)
{
  const size_t slash = target.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  return dir + ImgFormat(".vt%d-%u-%u.tmp", static_cast<int>(getpid()),
                         g_tempCounter.fetch_add(1, std::memory_order_relaxed), attempt);
}

}  // namespace

CFileSink::~CFileSink()
{
  Discard();
}

int CFileSink::OpenFile(const char* name, uint64_t maxSize)
{
  Discard();
  TargetName = name ? name : "";
  if (TargetName.empty() || TargetName.back() == '/') return -1;
  for (unsigned attempt = 0; attempt < 16 && File < 0; ++attempt) {
    TempName = TempNameFor(TargetName, attempt);
    File = ::open(TempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (File < 0 && errno != EEXIST) break;
  }
  if (File < 0) {
    TempName.clear();
    return -1;
  }
  try {
    OwnedBuffer.assign(static_cast<size_t>(maxSize), 0);
  } catch (const std::bad_alloc&) {
    Discard();
    return -1;
  }
  CDataSink::Open(TargetName.c_str(), OwnedBuffer.data(), maxSize);
  return 0;
}

void CFileSink::Close()
{
  if (File < 0) {
    CDataSink::Close();
    return;
  }
  const uint8_t* data = GetBuffer();
  const uint64_t count = GetCount();
  bool ok = true;
  uint64_t done = 0;
  while (ok && done < count) {
    const ssize_t n = ::write(File, data + done, static_cast<size_t>(count - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;  // a short write that makes no progress is a failure
    else done += static_cast<uint64_t>(n);
  }
  if (ok && ::fsync(File) != 0 && errno != EINVAL && errno != EROFS) ok = false;
  if (::close(File) != 0) ok = false;
  File = -1;
  if (ok && std::rename(TempName.c_str(), TargetName.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(TempName.c_str());
    TempName.clear();
    const std::string target = TargetName;
    OwnedBuffer.clear();
    OwnedBuffer.shrink_to_fit();
    CDataSink::Close();
    throw CTextException(-1, ImgFormat("Writing %s failed", target.c_str()));
  }
  TempName.clear();
  OwnedBuffer.clear();
  OwnedBuffer.shrink_to_fit();
  CDataSink::Close();
}

void CFileSink::Discard()
{
  if (File >= 0) {
    ::close(File);
    File = -1;
  }
  if (!TempName.empty()) {
    ::unlink(TempName.c_str());
    TempName.clear();
  }
  OwnedBuffer.clear();
  OwnedBuffer.shrink_to_fit();
  CDataSink::Close();
}
