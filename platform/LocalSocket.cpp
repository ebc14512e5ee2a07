// Unix-domain stream sockets in the user's runtime directory, and the frame helpers.
#include "platform/LocalSocket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;

// A directory of this user that nobody else may write into (and, for our own /tmp one,
// nobody else may enter).
bool IsPrivateDir(const std::string& dir, mode_t forbidden)
{
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & forbidden) == 0;
}

bool FillAddress(const std::string& path, sockaddr_un* addr)
{
  std::memset(addr, 0, sizeof(*addr));
  addr->sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof(addr->sun_path)) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(addr->sun_path, path.c_str(), path.size());
  return true;
}

int RemainingMs(Clock::time_point deadline)
{
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

// Waits for the events on fd; false on time-out or error.
bool WaitFor(int fd, short events, int timeoutMs, Clock::time_point deadline)
{
  for (;;) {
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, timeoutMs < 0 ? -1 : RemainingMs(deadline));
    if (rc > 0) return true;
    if (rc == 0) return false;
    if (errno != EINTR) return false;
  }
}

void PutU32(uint8_t* p, uint32_t v)
{
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::string LocalSocket_RuntimeDir(std::string* error)
{
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && xdg[0] == '/' && IsPrivateDir(xdg, S_IWGRP | S_IWOTH)) return xdg;
  const std::string dir = "/tmp/vartumo-" + std::to_string(::geteuid());
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    if (error) *error = "cannot create " + dir + ": " + std::strerror(errno);
    return {};
  }
  if (!IsPrivateDir(dir, S_IRWXG | S_IRWXO)) {
    if (error) *error = dir + " is not a private directory of this user";
    return {};
  }
  return dir;
}

bool LocalSocket_IsServed(const std::string& path)
{
  const int fd = LocalSocket_Connect(path);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

int LocalSocket_Listen(const std::string& path, int backlog)
{
  sockaddr_un addr;
  if (!FillAddress(path, &addr)) return -1;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      errno = EEXIST;  // never remove anything but a socket
      return -1;
    }
    if (LocalSocket_IsServed(path)) {
      errno = EADDRINUSE;
      return -1;
    }
    ::unlink(path.c_str());  // left behind by a run that ended without removing it
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  // Created with no permissions for group and others from the start, then set to 0600.
  const mode_t old = ::umask(0177);
  const int rc = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
  ::umask(old);
  if (rc != 0 || ::chmod(path.c_str(), 0600) != 0 || ::listen(fd, backlog) != 0) {
    const int e = errno;
    if (rc == 0) ::unlink(path.c_str());
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

int LocalSocket_Connect(const std::string& path)
{
  sockaddr_un addr;
  if (!FillAddress(path, &addr)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

void Frame_PutHeader(uint8_t header[kFrameHeaderSize], const char code[4], uint32_t length)
{
  std::memcpy(header, code, 4);
  PutU32(header + 4, length);
}

void Frame_GetHeader(const uint8_t header[kFrameHeaderSize], char code[4], uint32_t* length)
{
  std::memcpy(code, header, 4);
  *length = static_cast<uint32_t>(header[4]) | (static_cast<uint32_t>(header[5]) << 8) |
            (static_cast<uint32_t>(header[6]) << 16) | (static_cast<uint32_t>(header[7]) << 24);
}

bool LocalSocket_SendAll(int fd, const void* data, size_t size, int timeoutMs)
{
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      p += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd, POLLOUT, timeoutMs, deadline)) return false;
      continue;
    }
    return false;
  }
  return true;
}

bool LocalSocket_RecvAll(int fd, void* data, size_t size, int timeoutMs)
{
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::recv(fd, p, size, MSG_DONTWAIT);
    if (n > 0) {
      p += n;
      size -= static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return false;  // end of stream
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      if (!WaitFor(fd, POLLIN, timeoutMs, deadline)) return false;
      continue;
    }
    return false;
  }
  return true;
}

bool Frame_Send(int fd, const char code[4], const void* data, uint32_t length, int timeoutMs)
{
  uint8_t header[kFrameHeaderSize];
  Frame_PutHeader(header, code, length);
  if (!LocalSocket_SendAll(fd, header, sizeof(header), timeoutMs)) return false;
  return length == 0 || LocalSocket_SendAll(fd, data, length, timeoutMs);
}
