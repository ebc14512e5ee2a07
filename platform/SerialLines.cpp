// Serial-port control lines through the terminal ioctls.
#include "platform/SerialLines.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

namespace {

int SystemIoctl(int fd, unsigned long request, void* arg) { return ::ioctl(fd, request, arg); }

std::atomic<SerialLinesIoctlFunc> g_Ioctl{SystemIoctl};

int Ioctl(int fd, unsigned long request, void* arg)
{
  return g_Ioctl.load(std::memory_order_acquire)(fd, request, arg);
}

}  // namespace

void SerialLines_SetIoctlHook(SerialLinesIoctlFunc func)
{
  g_Ioctl.store(func ? func : SystemIoctl, std::memory_order_release);
}

std::string SerialLines_DeviceName(int port)
{
  if (port < 1 || port > 4) return {};
  const std::string var = "VARTUMO_COM" + std::to_string(port);
  const char* env = std::getenv(var.c_str());
  if (env && *env) return env;
  return "/dev/ttyS" + std::to_string(port - 1);
}

int SerialLines_Open(const std::string& device)
{
  // Non-blocking so that a port waiting for carrier does not hang the open.
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  if (!::isatty(fd)) {
    ::close(fd);
    errno = ENOTTY;
    return -1;
  }
  // Opening raised RTS and DTR: drop them before anything else, they may key a transmitter.
  int lines = TIOCM_RTS | TIOCM_DTR;
  Ioctl(fd, TIOCMBIC, &lines);
  if (Ioctl(fd, TIOCEXCL, nullptr) != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  return fd;
}

bool SerialLines_SetModemLine(int fd, int line, bool on)
{
  if (fd < 0) return false;
  int bits = line;
  return Ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

bool SerialLines_SetBreak(int fd, bool on)
{
  if (fd < 0) return false;
  return Ioctl(fd, on ? TIOCSBRK : TIOCCBRK, nullptr) == 0;
}

bool SerialLines_Close(int fd)
{
  if (fd < 0) return false;
  int lines = TIOCM_RTS | TIOCM_DTR;
  Ioctl(fd, TIOCMBIC, &lines);
  Ioctl(fd, TIOCCBRK, nullptr);
  Ioctl(fd, TIOCNXCL, nullptr);
  ::close(fd);
  return true;
}
