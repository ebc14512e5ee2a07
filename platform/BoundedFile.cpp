// Whole-file reads that never wait and never read without limit.
#include "platform/BoundedFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int OpenRegularFileForReading(const std::string& fileName)
{
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  const bool statted = ::fstat(fd, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    const int err = statted ? ENXIO : errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

BoundedReadResult ReadBoundedFile(const std::string& fileName, std::string& data,
                                  std::string* error, long long maxSize)
{
  data.clear();
  if (error) error->clear();
  auto fail = [&](BoundedReadResult result, const std::string& why) {
    data.clear();
    if (error) *error = why;
    return result;
  };
  auto unreadable = [&](int err) {
    return fail(BoundedReadResult::Unreadable,
                "Could not read " + fileName + ": " + std::strerror(err));
  };
  // Non-blocking, so that a FIFO in the file's place cannot stop the program in open().
  const int fd = OpenRegularFileForReading(fileName);
  if (fd < 0) {
    if (errno == ENXIO) return fail(BoundedReadResult::Refused, fileName + " is not a regular file");
    return unreadable(errno);
  }
  const std::string tooLarge =
      fileName + " is larger than " + std::to_string(maxSize >> 20) + " MB";
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return unreadable(err);
  }
  if (st.st_size > maxSize) {
    ::close(fd);
    return fail(BoundedReadResult::Refused, tooLarge);
  }
  const size_t limit = static_cast<size_t>(maxSize);
  // At most one byte beyond the limit, in case the file grows while it is read.
  data.resize(static_cast<size_t>(st.st_size) + 1);
  size_t got = 0;
  int readError = 0;
  for (;;) {
    if (got == data.size()) {
      if (data.size() > limit) break;
      data.resize(std::min<size_t>(data.size() * 2 + 4096, limit + 1));
    }
    const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readError = errno;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  data.resize(got);
  if (got > limit) return fail(BoundedReadResult::Refused, tooLarge);
  if (readError != 0) return unreadable(readError);
  return BoundedReadResult::Read;
}
