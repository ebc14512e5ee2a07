#include "imaging/FileSource.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Maps a failed open's errno to the source's error codes. A missing file inside an existing
// directory is "file not found" (4); a missing directory on the way is "path not found" (3).
int OpenErrorCode(int err, const std::string& name)
{
  switch (err) {
  case EACCES:
  case EPERM:
  case EROFS:
  case ETXTBSY:
    return 5;
  case ENOTDIR:
    return 3;
  case ENOENT: {
    const size_t slash = name.find_last_of('/');
    if (slash == std::string::npos) return 4;
    const std::string dir = slash == 0 ? std::string("/") : name.substr(0, slash);
    struct stat st{};
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return 3;
    return 4;
  }
  default:
    return 4;
  }
}

}  // namespace

CFileSource::~CFileSource()
{
  if (IsOpen) CFileSource::Close();
}

int CFileSource::OpenFile(const char* name)
{
  if (IsOpen) Close();
  const std::string fileName = name ? name : "";
  // Non-blocking, so that opening a FIFO does not wait for a writer; it is refused below.
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return OpenErrorCode(errno, fileName);
  struct stat st{};
  int result = 0;
  if (fstat(fd, &st) != 0) {
    result = 4;
  } else if (!S_ISREG(st.st_mode) || st.st_size <= 0) {
    result = 5;  // devices, FIFOs, directories and empty files cannot be read as pictures
  } else if (st.st_size > kMaxFileSize) {
    result = 10;
  } else {
    try {
      Data.assign(static_cast<size_t>(st.st_size), 0);
    } catch (const std::bad_alloc&) {
      result = 10;
    }
  }
  if (result == 0) {
    // Read what is there; a file that shrinks meanwhile simply ends earlier, one that
    // grows is read up to the size seen at open.
    size_t got = 0;
    while (got < Data.size()) {
      const ssize_t n = ::read(fd, Data.data() + got, Data.size() - got);
      if (n < 0) {
        if (errno == EINTR) continue;
        result = errno == EACCES ? 5 : 4;
        break;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    if (result == 0 && got == 0) result = 5;
    Data.resize(got);
  }
  ::close(fd);
  if (result != 0) {
    Data.clear();
    Data.shrink_to_fit();
    return result;
  }
  ReadPtr = Data.data();
  IsOpen = true;
  CDataSource::Open(fileName.c_str(), static_cast<int64_t>(Data.size()));
  return 0;
}

void CFileSource::Close()
{
  if (!IsOpen) return;
  IsOpen = false;
  CDataSource::Close();
  ReadPtr = nullptr;
  Data.clear();
  Data.shrink_to_fit();
}

const uint8_t* CFileSource::GetBufferPtr(int) { return ReadPtr; }

const uint8_t* CFileSource::ReadBytes(int64_t n)
{
  CDataSource::ReadBytes(n);
  const uint8_t* p = ReadPtr;
  ReadPtr += n;
  return p;
}

const uint8_t* CFileSource::ReadEverything() { return ReadPtr; }
