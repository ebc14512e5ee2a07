// Instance numbering through flock'ed lock files.
#include "mainwin/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

// Opens and locks dir/name without waiting. 1: locked (fd set), 0: held by another process,
// -1: the file could not be opened or locked for another reason.
int TryLock(const std::string& dir, const char* name, int& fd)
{
  std::string path = dir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  int f = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (f < 0) return -1;
  if (::flock(f, LOCK_EX | LOCK_NB) == 0) {
    fd = f;
    return 1;
  }
  const bool busy = errno == EWOULDBLOCK;
  ::close(f);
  return busy ? 0 : -1;
}

}  // namespace

CInstanceLocks::~CInstanceLocks()
{
  for (int& fd : m_fd) {
    if (fd >= 0) ::close(fd);  // closing the last descriptor releases the flock
    fd = -1;
  }
}

int CInstanceLocks::Acquire(const std::string& dir)
{
  m_index = 0;
  if (TryLock(dir, "Vartumo1", m_fd[0]) != 0) return m_index;  // ours, or not examined
  m_index = 1;
  if (TryLock(dir, "Vartumo2", m_fd[1]) != 0) return m_index;
  m_index = 2;
  return m_index;
}

std::string InstanceLockDirectory()
{
  const char* run = std::getenv("XDG_RUNTIME_DIR");
  struct stat st;
  if (run && *run && ::stat(run, &st) == 0 && S_ISDIR(st.st_mode)) return run;
  return "/tmp";
}
