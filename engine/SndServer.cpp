// The audio server's socket thread and the (connection-less) audio client.
#include "engine/SndServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

#include "engine/SoundErrorCodes.h"
#include "engine/SoundThdMsgQueue.h"
#include "platform/LocalSocket.h"

CSndServer* g_pSndServer = nullptr;
CSndClient* g_pSndClient = nullptr;

namespace {

constexpr int kMaxConnections = 2;
constexpr int kReplyTimeoutMs = 500;

// One connection: the bytes of the frame being received.
struct Connection {
  int fd = -1;
  std::vector<uint8_t> buffer;  // kSndServerMaxMessage bytes
  size_t filled = 0;
  std::chrono::steady_clock::time_point lastActive;  // accepted, or bytes last received

  void Close()
  {
    if (fd >= 0) ::close(fd);
    fd = -1;
    filled = 0;
  }
};

// Reads what the peer has sent; answers each complete frame with an empty one. False when the
// connection is to be closed (end of stream, error, a frame above the limit).
bool Serve(Connection& c)
{
  for (;;) {
    size_t want = kFrameHeaderSize;
    if (c.filled >= kFrameHeaderSize) {
      char code[4];
      uint32_t length = 0;
      Frame_GetHeader(c.buffer.data(), code, &length);
      if (length > kSndServerMaxMessage - kFrameHeaderSize) return false;
      want = kFrameHeaderSize + length;
    }
    if (c.filled == want) {
      // The reply carries nothing yet: an empty frame.
      static const char kEmpty[4] = {0, 0, 0, 0};
      if (!Frame_Send(c.fd, kEmpty, nullptr, 0, kReplyTimeoutMs)) return false;
      c.filled = 0;
      continue;
    }
    const ssize_t n = ::recv(c.fd, c.buffer.data() + c.filled, want - c.filled, MSG_DONTWAIT);
    if (n > 0) {
      c.filled += static_cast<size_t>(n);
      c.lastActive = std::chrono::steady_clock::now();
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    return false;
  }
}

}  // namespace

CSndServer::CSndServer(const char*, int, int)
{
  std::string error;
  const std::string dir = LocalSocket_RuntimeDir(&error);
  if (!dir.empty()) {
    m_path = dir + "/" + kSndServerSocketName;
    m_listenFd = LocalSocket_Listen(m_path, 4);
  }
  if (m_listenFd < 0 || ::pipe2(m_wakeFd, O_CLOEXEC | O_NONBLOCK) != 0) {
    if (m_listenFd >= 0) {
      ::close(m_listenFd);
      ::unlink(m_path.c_str());
      m_listenFd = -1;
    }
    m_path.clear();
    Status1 = Status2 = PIPE_ERR_THREAD_START;
    PutSoundThdError(PIPE_ERR_THREAD_START, nullptr, 0);
    return;
  }
  try {
    m_thread = std::thread(&CSndServer::Run, this);
  } catch (...) {
    Status1 = Status2 = PIPE_ERR_THREAD_START;
  }
}

CSndServer::~CSndServer()
{
  if (m_thread.joinable()) {
    const char stop = 1;
    [[maybe_unused]] ssize_t r = ::write(m_wakeFd[1], &stop, 1);
    m_thread.join();
  }
  for (int& fd : m_wakeFd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  if (m_listenFd >= 0) {
    ::close(m_listenFd);
    ::unlink(m_path.c_str());
  }
}

void CSndServer::Run()
{
  Connection conns[kMaxConnections];
  for (Connection& c : conns) c.buffer.resize(kSndServerMaxMessage);
  for (;;) {
    pollfd fds[2 + kMaxConnections];
    int count = 0;
    fds[count++] = {m_wakeFd[0], POLLIN, 0};
    // Always listening: with both slots taken a new client replaces the idlest connection.
    const int listenIndex = count;
    fds[count++] = {m_listenFd, POLLIN, 0};
    int connIndex[kMaxConnections];
    for (int i = 0; i < kMaxConnections; ++i) {
      connIndex[i] = -1;
      if (conns[i].fd < 0) continue;
      connIndex[i] = count;
      fds[count++] = {conns[i].fd, POLLIN, 0};
    }
    if (::poll(fds, static_cast<nfds_t>(count), -1) < 0) {
      if (errno == EINTR) continue;
      m_exitCode.store(-161, std::memory_order_release);
      break;
    }
    if (fds[0].revents) break;  // stop requested
    for (int i = 0; i < kMaxConnections; ++i) {
      if (connIndex[i] < 0 || !fds[connIndex[i]].revents) continue;
      if (!Serve(conns[i])) conns[i].Close();
    }
    if (fds[listenIndex].revents & POLLIN) {
      const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd >= 0) {
        Connection& slot = LocalSocket_SlotForNewClient(conns);
        slot.Close();
        slot.fd = fd;
        slot.lastActive = std::chrono::steady_clock::now();
      }
    }
  }
  for (Connection& c : conns) c.Close();
}

CSndClient::CSndClient(const char*, int, int) {}
