// Messages from other programs: the input is sent as it is over a connection to the program's
// own socket server (running in this process), then the sending side is closed. The main
// thread serves the server's hand-over calls, as the GUI thread does, and reads what comes
// back until the server closes the connection: only whole result frames (four zero code bytes,
// length 4) may come back, and the server must go on serving the next connection.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "engine/RemoteMsg.h"
#include "platform/LocalSocket.h"
#include "platform/Threads.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

bool Setup()
{
  setenv("XDG_RUNTIME_DIR", vt_fuzz::WorkDir().c_str(), 1);
  SetMainThread();
  return RemoteMsg_StartServer(0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static const bool ready = Setup();
  VT_FUZZ_CHECK(ready);
  RemoteMsg_ResetQueue();
  const int fd = LocalSocket_Connect(RemoteMsg_SocketPath());
  VT_FUZZ_CHECK(fd >= 0);
  // The server answers while we send: read the answers as we go so neither side blocks.
  std::string answers;
  size_t sent = 0;
  bool writeOpen = true;
  for (int idle = 0; idle < 2000;) {
    CheckSynchronize(0);
    pollfd p{fd, static_cast<short>(POLLIN | (writeOpen ? POLLOUT : 0)), 0};
    if (::poll(&p, 1, 1) <= 0) {
      ++idle;
      continue;
    }
    if (p.revents & POLLIN) {
      char buf[4096];
      const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
      if (n == 0) break;  // the server closed the connection
      if (n > 0) answers.append(buf, static_cast<size_t>(n));
      if (n < 0 && (p.revents & (POLLHUP | POLLERR))) break;
    }
    if (writeOpen && (p.revents & POLLOUT)) {
      if (sent < size) {
        const ssize_t n = ::send(fd, data + sent, size - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) sent += static_cast<size_t>(n);
        if (n < 0 && errno != EAGAIN && errno != EINTR) writeOpen = false;
      }
      if (sent >= size && writeOpen) {
        ::shutdown(fd, SHUT_WR);
        writeOpen = false;
      }
    }
    if (p.revents & (POLLHUP | POLLERR)) {
      if (!(p.revents & POLLIN)) break;
    }
  }
  ::close(fd);
  VT_FUZZ_CHECK(answers.size() % 12 == 0);
  for (size_t i = 0; i < answers.size(); i += 12) {
    VT_FUZZ_CHECK(std::memcmp(answers.data() + i, "\0\0\0\0\4\0\0\0", 8) == 0);
  }
  return 0;
}
