// The instance's socket for other programs: frames in, results and replies out.
//
// A socket thread accepts connections and collects frames. Each complete frame is handed to
// RemoteMsg_Receive on the GUI thread (TThread::Synchronize) and its result goes back at once
// as a result frame (code four zero bytes, 4 data bytes). Frames over 1,024 data bytes get
// 0x83000001 without their data being read into memory (it is skipped). A connection whose
// stream ends inside a frame, whose frame stays incomplete for kStallMs, or that announces
// more than kMalformedLength bytes is closed; the others go on. When all connections are taken,
// a new one replaces the connection that has been idle longest, so clients that connect and
// never send (or never hang up) cannot lock everyone else out.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "engine/DebugU1.h"
#include "engine/PreciseClock.h"
#include "engine/RemoteMsg.h"
#include "platform/LocalSocket.h"
#include "platform/Threads.h"

namespace {

constexpr int kMaxConnections = 8;
constexpr int kStallMs = 2000;
constexpr uint32_t kMalformedLength = 16u << 20;
constexpr int kSendTimeoutMs = 200;
const char kResultCode[4] = {0, 0, 0, 0};

using Clock = std::chrono::steady_clock;

struct Connection {
  int fd = -1;
  uint32_t id = 0;
  uint8_t header[kFrameHeaderSize];
  size_t headerFill = 0;
  uint8_t data[kRemoteMsgMaxData];
  uint32_t length = 0;     // data bytes of the current frame
  uint32_t dataFill = 0;   // data bytes received (or skipped) so far
  bool skipping = false;   // the current frame's data is being discarded
  Clock::time_point frameStart;
  Clock::time_point lastActive;  // accepted, or bytes last received
};

class CRemoteMsgServer : public TThread {
public:
  CRemoteMsgServer(int listenFd, std::string path)
      : TThread(true), m_listenFd(listenFd), m_path(std::move(path))
  {
    if (::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) m_wake[0] = m_wake[1] = -1;
  }
  ~CRemoteMsgServer() override
  {
    Stop();
    for (int fd : m_wake)
      if (fd >= 0) ::close(fd);
    ::close(m_listenFd);
    ::unlink(m_path.c_str());
  }
  bool Ok() const { return m_wake[0] >= 0; }
  const std::string& Path() const { return m_path; }

  void Stop()
  {
    Terminate();
    if (m_wake[1] >= 0) {
      const char b = 1;
      [[maybe_unused]] ssize_t r = ::write(m_wake[1], &b, 1);
    }
    WaitFor();  // serves a pending Synchronize on the GUI thread
  }

  // GUI thread: sends a frame to connection id; false when it is gone or does not take it.
  bool SendTo(uint32_t id, const char code[4], const void* data, uint32_t length)
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Connection& c : m_conns) {
      if (c.fd >= 0 && c.id == id) return Frame_Send(c.fd, code, data, length, kSendTimeoutMs);
    }
    return false;
  }

protected:
  void Execute() override;

private:
  bool Serve(Connection& c);
  bool Answer(Connection& c, uint32_t result);
  void Close(Connection& c)
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ::close(c.fd);
    c.fd = -1;
  }

  int m_listenFd;
  std::string m_path;
  int m_wake[2] = {-1, -1};
  std::mutex m_mutex;  // guards the fds and ids against SendTo, and serialises sends
  Connection m_conns[kMaxConnections];
  uint32_t m_nextId = 1;
};

bool CRemoteMsgServer::Answer(Connection& c, uint32_t result)
{
  uint8_t v[4];
  for (int i = 0; i < 4; ++i) v[i] = static_cast<uint8_t>(result >> (8 * i));
  std::lock_guard<std::mutex> lock(m_mutex);
  return Frame_Send(c.fd, kResultCode, v, 4, kSendTimeoutMs);
}

// Takes what the peer has sent. False when the connection is to be closed.
bool CRemoteMsgServer::Serve(Connection& c)
{
  for (;;) {
    uint8_t* dest;
    size_t want;
    uint8_t scratch[4096];
    if (c.headerFill < kFrameHeaderSize) {
      dest = c.header + c.headerFill;
      want = kFrameHeaderSize - c.headerFill;
    } else if (c.skipping) {
      dest = scratch;
      want = std::min<size_t>(sizeof(scratch), c.length - c.dataFill);
    } else {
      dest = c.data + c.dataFill;
      want = c.length - c.dataFill;
    }
    if (want > 0) {
      const ssize_t n = ::recv(c.fd, dest, want, MSG_DONTWAIT);
      if (n == 0) return false;  // end of stream (inside a frame or between frames)
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
      }
      c.lastActive = Clock::now();
      if (c.headerFill == 0 && c.dataFill == 0) c.frameStart = c.lastActive;
      if (c.headerFill < kFrameHeaderSize) {
        c.headerFill += static_cast<size_t>(n);
        if (c.headerFill < kFrameHeaderSize) continue;
        char code[4];
        Frame_GetHeader(c.header, code, &c.length);
        c.dataFill = 0;
        if (c.length > kMalformedLength) return false;
        c.skipping = c.length > kRemoteMsgMaxData;
        // Over-long frames are answered before their data is read.
        if (c.skipping && !Answer(c, REMOTE_MSG_TOO_LONG)) return false;
      } else {
        c.dataFill += static_cast<uint32_t>(n);
      }
    }
    if (c.headerFill < kFrameHeaderSize || c.dataFill < c.length) continue;
    // A whole frame.
    if (!c.skipping) {
      char code[4];
      uint32_t length;
      Frame_GetHeader(c.header, code, &length);
      // The result is sent from inside the GUI thread's call, so that it is on its way before
      // the main timer can send a reply to the same message.
      bool answered = false;
      const uint32_t sender = c.id;
      TThread::Synchronize(
          [&] { answered = Answer(c, RemoteMsg_Receive(sender, code, length, c.data)); });
      if (!answered) return false;
    }
    c.headerFill = 0;
    c.dataFill = 0;
    c.length = 0;
    c.skipping = false;
  }
}

void CRemoteMsgServer::Execute()
{
  while (!Terminated()) {
    pollfd fds[2 + kMaxConnections];
    int idx[kMaxConnections];
    nfds_t count = 0;
    fds[count++] = {m_wake[0], POLLIN, 0};
    fds[count++] = {m_listenFd, POLLIN, 0};
    bool midFrame = false;
    for (int i = 0; i < kMaxConnections; ++i) {
      idx[i] = -1;
      if (m_conns[i].fd < 0) continue;
      idx[i] = static_cast<int>(count);
      fds[count++] = {m_conns[i].fd, POLLIN, 0};
      midFrame |= m_conns[i].headerFill > 0;
    }
    const int rc = ::poll(fds, count, midFrame ? 200 : -1);
    if (rc < 0 && errno != EINTR) break;
    if (fds[0].revents) break;
    const Clock::time_point now = Clock::now();
    for (int i = 0; i < kMaxConnections; ++i) {
      Connection& c = m_conns[i];
      if (idx[i] < 0) continue;
      bool keep = true;
      if (fds[idx[i]].revents) keep = Serve(c);
      if (keep && c.headerFill > 0 && now - c.frameStart > std::chrono::milliseconds(kStallMs))
        keep = false;  // an incomplete frame that does not go on
      if (!keep) Close(c);
    }
    if (fds[1].revents & POLLIN) {
      const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd >= 0) {
        Connection* slot = &LocalSocket_SlotForNewClient(m_conns);
        if (slot->fd >= 0) Close(*slot);  // all taken: the connection idle longest makes room
        std::lock_guard<std::mutex> lock(m_mutex);
        slot->fd = fd;
        slot->id = m_nextId++;
        if (m_nextId == 0) m_nextId = 1;
        slot->headerFill = slot->dataFill = slot->length = 0;
        slot->skipping = false;
        slot->lastActive = Clock::now();
      }
    }
  }
  for (Connection& c : m_conns)
    if (c.fd >= 0) Close(c);
}

CRemoteMsgServer* g_RemoteMsgServer = nullptr;

}  // namespace

namespace {

// Why there is no socket for other programs, on the Errors page and on stderr: the program runs
// on without it, and a user who misses the messages of other programs must learn why.
void SayNoSocket(const std::string& why)
{
  const std::string text = "No socket for other programs: " + why;
  DebugPrintf(20, GetPreciseUnixTime(true), "%s", text.c_str());
  std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace

bool RemoteMsg_StartServer(int instanceIndex)
{
  RemoteMsg_StopServer();
  std::string error;
  const std::string dir = LocalSocket_RuntimeDir(&error);
  if (dir.empty()) {
    SayNoSocket(error);
    return false;
  }
  const std::string base = dir + "/vartumo" + std::to_string(instanceIndex + 1);
  std::string path = base + ".sock";
  int fd = LocalSocket_Listen(path, 8);
  std::string failures;
  if (fd < 0) {
    // The instance's name is served by another copy, taken by something that is no socket (a
    // file, a directory; never removed) or cannot be used at all: the name with the process id.
    failures = "cannot listen on " + path + ": " + std::strerror(errno);
    path = base + "-" + std::to_string(::getpid()) + ".sock";
    fd = LocalSocket_Listen(path, 8);
  }
  if (fd < 0) {
    SayNoSocket(failures + "; cannot listen on " + path + ": " + std::strerror(errno));
    return false;
  }
  auto* server = new CRemoteMsgServer(fd, path);
  if (!server->Ok()) {
    delete server;
    SayNoSocket("cannot serve " + path + " (no wake-up pipe for its thread)");
    return false;
  }
  g_RemoteMsgServer = server;
  server->Resume();
  return true;
}

void RemoteMsg_StopServer()
{
  delete g_RemoteMsgServer;
  g_RemoteMsgServer = nullptr;
}

std::string RemoteMsg_SocketPath() { return g_RemoteMsgServer ? g_RemoteMsgServer->Path() : ""; }

uint32_t RemoteMsg_SendCopyData(uint32_t window, const RemoteMsg* reply)
{
  if (!g_RemoteMsgServer || !reply || reply->Length > kRemoteMsgMaxData) return 0;
  return g_RemoteMsgServer->SendTo(window, reply->Code, reply->Data, reply->Length) ? 1 : 0;
}
