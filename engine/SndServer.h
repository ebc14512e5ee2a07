#pragma once
// The audio server and client. The server listens on the Unix-domain socket "mynamedpipe" in
// the user's runtime directory (mode 0600), serves up to two connections at once and answers
// every request frame with an empty frame (code four zero bytes, length 0). When both are
// taken, a new client replaces the connection idle longest (as on the message socket), so two
// clients that never send cannot lock the others out. The client holds no connection. Neither
// carries audio yet.
#include <atomic>
#include <string>
#include <thread>

class CSndServer {
public:
  // Starts the server thread; name, bufferSize and flag are kept for the audio exchange and
  // not used. On failure both status codes are 2118 (can't start the pipe server thread).
  CSndServer(const char* name, int bufferSize, int flag);
  // Stops the server thread, joins it and removes the socket file, so a new server can start.
  virtual ~CSndServer();
  CSndServer(const CSndServer&) = delete;
  CSndServer& operator=(const CSndServer&) = delete;

  int Status1 = 0;
  int Status2 = 0;
  // Why the thread ended on its own (0 while it runs or after a stop).
  int ExitCode() const { return m_exitCode.load(std::memory_order_acquire); }
  const std::string& SocketPath() const { return m_path; }

private:
  void Run();
  std::thread m_thread;
  int m_listenFd = -1;
  int m_wakeFd[2] = {-1, -1};  // written by the destructor to end the thread
  std::string m_path;
  std::atomic<int> m_exitCode{0};
};

class CSndClient {
public:
  CSndClient(const char* name, int bufferSize, int flag);
  virtual ~CSndClient() = default;
  int Status1 = 0;
  int Status2 = 0;
};

// Name of the audio server's socket in the runtime directory.
inline constexpr const char* kSndServerSocketName = "mynamedpipe";
// Largest request frame (header and data) a connection may send.
inline constexpr int kSndServerMaxMessage = 32768;

extern CSndServer* g_pSndServer;
extern CSndClient* g_pSndClient;
