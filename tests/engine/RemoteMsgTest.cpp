// The message queue for other programs, and its socket driven by a separate client process.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "engine/DebugU1.h"
#include "engine/RemoteMsg.h"
#include "engine/SndServer.h"
#include "platform/LocalSocket.h"
#include "platform/Threads.h"

namespace {

const char kQueryLc[4] = {0, 0, 'l', 'c'};
const char kQueryLi[4] = {0, 0, 'l', 'i'};

TEST(RemoteMsgQueue, ReceiveQueuesRefusesAndAnswersQueries)
{
  RemoteMsg_ResetQueue();
  static uint8_t data[1025] = {};
  EXPECT_EQ(RemoteMsg_Receive(7, "ABCD", 1025, data), REMOTE_MSG_TOO_LONG);
  EXPECT_EQ(RemoteMsg_Receive(7, "ABCD", 1024, data), 1u);
  for (int i = 1; i < kRemoteMsgSlots; ++i) EXPECT_EQ(RemoteMsg_Receive(7, "XY..", 0, data), 1u);
  EXPECT_EQ(RemoteMsg_Receive(7, "XY..", 0, data), 0u) << "the 21st is refused";
  struct Query { char code[4]; uint32_t result; };
  const Query queries[] = {{{0, 0, 'l', 'c'}, 0x82000000u | 20},
                           {{0, 'z', 'l', 'i'}, 0x82000000u | 19},
                           {{0, 0, 'v', 'x'}, 0x82000001u},
                           {{0, 0, 'q', 'q'}, 0u},
                           {{0, 0, 'L', 'C'}, 0u}};
  for (const Query& q : queries) EXPECT_EQ(RemoteMsg_Receive(0, q.code, 0, nullptr), q.result);

  // Handling frees every slot in one tick; the received count stays.
  RemoteMsg_ProcessQueue();
  EXPECT_EQ(RemoteMsg_FindNext('*', '*'), nullptr);
  EXPECT_EQ(RemoteMsg_Receive(0, kQueryLc, 0, nullptr), 0x82000000u | 20);
}

TEST(RemoteMsgQueue, FindNextStartsAfterTheCurrentIndexAndRepliesAreLowerCase)
{
  RemoteMsg_ResetQueue();
  RemoteMsg_Receive(1, "CLFa", 0, nullptr);  // slot 0
  RemoteMsg_Receive(2, "ABcd", 0, nullptr);  // slot 0 is used: slot 1
  EXPECT_EQ(RemoteMsg_CurrentIndex(), 1);
  RemoteMsg* first = RemoteMsg_FindNext('*', '*');
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(std::string(first->Code, 4), "CLFa") << "search begins after the current slot";
  EXPECT_EQ(RemoteMsg_FindNext('A', '*')->Sender, 2u);
  EXPECT_EQ(RemoteMsg_FindNext('C', 'X'), nullptr);
  RemoteMsg reply;
  RemoteMsg_InitReply(first, &reply, 0x04030201);
  EXPECT_EQ(std::string(reply.Code, 4), "CLfa");
  EXPECT_EQ(reply.Length, 4u);
  EXPECT_EQ(reply.Data[0], 1);
  EXPECT_EQ(reply.Data[3], 4);
  RemoteMsg outside{};
  RemoteMsg_Free(&outside);  // not a slot: ignored
  RemoteMsg_Free(first);
  EXPECT_EQ(RemoteMsg_FindNext('C', 'L'), nullptr);
}

// ---- The socket, driven by a child process.

// Child side: only system calls and fixed buffers (the parent has threads).
struct ChildLog {
  int fd;
  void Put(uint32_t v) { [[maybe_unused]] ssize_t r = ::write(fd, &v, sizeof v); }
};

// Sends a frame and reads the result frame; the result, or 0xFFFFFFFF on any failure.
uint32_t Exchange(int s, const char code[4], const void* data, uint32_t length)
{
  if (!Frame_Send(s, code, data, length, 2000)) return 0xFFFFFFFFu;
  uint8_t h[kFrameHeaderSize];
  uint8_t v[4];
  char c[4];
  uint32_t n = 0;
  if (!LocalSocket_RecvAll(s, h, sizeof h, 5000)) return 0xFFFFFFFFu;
  Frame_GetHeader(h, c, &n);
  if (std::memcmp(c, "\0\0\0\0", 4) != 0 || n != 4) return 0xFFFFFFFEu;
  if (!LocalSocket_RecvAll(s, v, 4, 5000)) return 0xFFFFFFFFu;
  return v[0] | (v[1] << 8) | (v[2] << 16) | (static_cast<uint32_t>(v[3]) << 24);
}

class RemoteMsgSocket : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetMainThread();
    RemoteMsg_ResetQueue();
    setenv("XDG_RUNTIME_DIR", m_dir.path().c_str(), 1);
    ASSERT_TRUE(RemoteMsg_StartServer(0));
    m_path = RemoteMsg_SocketPath();
  }
  void TearDown() override
  {
    RemoteMsg_StopServer();
    unsetenv("XDG_RUNTIME_DIR");
  }

  // Runs child(log) in a child process while this thread serves the socket thread's
  // synchronise calls; tick() runs on each round. Returns what the child logged.
  template <class Child, class Tick>
  std::vector<uint32_t> RunClient(Child child, Tick tick)
  {
    int p[2];
    EXPECT_EQ(::pipe(p), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(p[0]);
      ChildLog log{p[1]};
      child(log);
      ::_exit(0);
    }
    ::close(p[1]);
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (::waitpid(pid, &status, WNOHANG) == 0 && std::chrono::steady_clock::now() < end) {
      CheckSynchronize(5);
      tick();
    }
    std::vector<uint32_t> out;
    uint32_t v;
    while (::read(p[0], &v, sizeof v) == sizeof v) out.push_back(v);
    ::close(p[0]);
    return out;
  }

  vt_test::TempDir m_dir;
  std::string m_path;
};

TEST_F(RemoteMsgSocket, QueueFullQueueQueriesAndBadFramesFromAnotherProcess)
{
  struct stat st {};
  ASSERT_EQ(::lstat(m_path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(m_path, m_dir.path().string() + "/vartumo1.sock");

  const std::string path = m_path;
  auto child = [&path](ChildLog& log) {
    static uint8_t big[5000];
    const int s = LocalSocket_Connect(path);
    log.Put(s >= 0);
    log.Put(Exchange(s, "ABCD", big, 1024));                   // 1: queued
    for (int i = 1; i < 20; ++i) Exchange(s, "XY..", big, 3);
    log.Put(Exchange(s, "XY..", big, 3));                      // 0: full
    log.Put(Exchange(s, kQueryLc, nullptr, 0));                // count 20
    log.Put(Exchange(s, "ABCD", big, 5000));                   // too long, data skipped
    log.Put(Exchange(s, kQueryLi, nullptr, 0));                // the connection goes on
    // A second connection sends half a header and hangs up; a third announces 1 GB.
    const int bad = LocalSocket_Connect(path);
    LocalSocket_SendAll(bad, "AB", 2, 1000);
    ::close(bad);
    const int huge = LocalSocket_Connect(path);
    uint8_t h[kFrameHeaderSize];
    Frame_PutHeader(h, "ABCD", 1u << 30);
    LocalSocket_SendAll(huge, h, sizeof h, 1000);
    uint8_t buf[16];
    log.Put(LocalSocket_RecvAll(huge, buf, 1, 5000) ? 1 : 0);  // closed without an answer
    log.Put(Exchange(s, kQueryLc, nullptr, 0));                // first connection unharmed
    ::close(huge);
    ::close(s);
  };
  const std::vector<uint32_t> got = RunClient(child, [] {});
  const std::vector<uint32_t> want = {1, 1, 0, 0x82000000u | 20, REMOTE_MSG_TOO_LONG,
                                      0x82000000u | 19, 0, 0x82000000u | 20};
  EXPECT_EQ(got, want);
}

TEST_F(RemoteMsgSocket, RepliesGoBackToTheSenderWhenTheQueueIsHandled)
{
  const std::string path = m_path;
  auto child = [&path](ChildLog& log) {
    const int s = LocalSocket_Connect(path);
    log.Put(Exchange(s, "CLE\0", nullptr, 0));
    log.Put(Exchange(s, "AXYZ", nullptr, 0));
    log.Put(Exchange(s, "CLFx", nullptr, 0));
    uint8_t h[kFrameHeaderSize];
    char code[4];
    uint32_t n = 0;
    if (!LocalSocket_RecvAll(s, h, sizeof h, 5000)) return;
    Frame_GetHeader(h, code, &n);
    uint8_t d[8] = {0xFF};
    log.Put(static_cast<uint8_t>(code[0]) | (static_cast<uint8_t>(code[1]) << 8) |
            (static_cast<uint8_t>(code[2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24));
    log.Put(n);
    log.Put(n == 1 && LocalSocket_RecvAll(s, d, 1, 1000) ? d[0] : 0xEE);
    log.Put(LocalSocket_RecvAll(s, d, 1, 300) ? 1 : 0);  // nothing else: no reply to CLE
    ::close(s);
  };
  // The main timer handles the queue once all three are in.
  auto tick = [] {
    if (RemoteMsg_ReceivedCount() == 3) RemoteMsg_ProcessQueue();
  };
  const std::vector<uint32_t> got = RunClient(child, tick);
  const uint32_t clfx = 'C' | ('L' << 8) | ('f' << 16) | (static_cast<uint32_t>('x') << 24);
  const std::vector<uint32_t> want = {1, 1, 1, clfx, 1, 0, 0};
  EXPECT_EQ(got, want);
  EXPECT_EQ(RemoteMsg_FindNext('*', '*'), nullptr);
}

// Eight clients that connect and then stay silent must not lock out a ninth: the new one
// takes the place of the connection idle longest, and the other seven are left alone.
TEST_F(RemoteMsgSocket, NewClientReplacesTheLongestIdleConnectionWhenAllAreTaken)
{
  const std::string path = m_path;
  auto child = [&path](ChildLog& log) {
    int s[8];
    for (int& fd : s) {
      fd = LocalSocket_Connect(path);
      log.Put(Exchange(fd, kQueryLi, nullptr, 0));  // served: all eight are accepted
    }
    log.Put(Exchange(s[0], kQueryLi, nullptr, 0));  // s[0] was active last, s[1] is idlest
    const int late = LocalSocket_Connect(path);
    log.Put(Exchange(late, kQueryLi, nullptr, 0));  // served instead of being turned away
    uint8_t b;
    log.Put(LocalSocket_RecvAll(s[1], &b, 1, 2000) ? 1 : 0);  // closed: end of stream
    for (int i = 0; i < 8; ++i) {
      if (i != 1) log.Put(Exchange(s[i], kQueryLi, nullptr, 0));
    }
    for (int fd : s) ::close(fd);
    ::close(late);
  };
  const std::vector<uint32_t> got = RunClient(child, [] {});
  const uint32_t served = 0x82000000u;  // the current index of an empty queue
  std::vector<uint32_t> want(10, served);
  want.push_back(0);
  want.insert(want.end(), 7, served);
  EXPECT_EQ(got, want);
}

TEST_F(RemoteMsgSocket, StaleSocketIsReplacedAndAServedOneIsNot)
{
  // A second server of the same instance number while the first runs takes another name.
  const int fd = LocalSocket_Listen(m_path, 1);
  EXPECT_EQ(fd, -1);
  EXPECT_EQ(errno, EADDRINUSE);
  RemoteMsg_StopServer();
  // A socket file that nobody serves (a crashed run) is replaced.
  const int stale = LocalSocket_Listen(m_path, 1);
  ASSERT_GE(stale, 0);
  ::close(stale);  // the file stays behind
  ASSERT_TRUE(RemoteMsg_StartServer(0));
  EXPECT_EQ(RemoteMsg_SocketPath(), m_path);
  EXPECT_TRUE(LocalSocket_IsServed(m_path));
}

// A second instance serves its own socket; when even that name is served by another process
// (a copy started with the same instance number), it takes a name with its process id.
TEST_F(RemoteMsgSocket, EachInstanceGetsItsOwnSocket)
{
  RemoteMsg_StopServer();
  const std::string second = m_dir.path().string() + "/vartumo2.sock";
  ASSERT_TRUE(RemoteMsg_StartServer(1));
  EXPECT_EQ(RemoteMsg_SocketPath(), second);
  EXPECT_TRUE(LocalSocket_IsServed(second));
  EXPECT_FALSE(LocalSocket_IsServed(m_path));  // the first instance's name stays free
  RemoteMsg_StopServer();
  EXPECT_FALSE(std::filesystem::exists(second));

  const int other = LocalSocket_Listen(second, 1);  // another process serves the name
  ASSERT_GE(other, 0);
  ASSERT_TRUE(RemoteMsg_StartServer(1));
  EXPECT_EQ(RemoteMsg_SocketPath(),
            m_dir.path().string() + "/vartumo2-" + std::to_string(::getpid()) + ".sock");
  RemoteMsg_StopServer();
  ::close(other);
}

TEST(SndServer, AnswersEachRequestWithAnEmptyFrameAndCanBeCreatedAgain)
{
  vt_test::TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  for (int round = 0; round < 2; ++round) {
    CSndServer server("own", 4096, 1);
    ASSERT_EQ(server.Status1, 0);
    EXPECT_EQ(server.SocketPath(), dir.path().string() + "/mynamedpipe");
    const int a = LocalSocket_Connect(server.SocketPath());
    const int b = LocalSocket_Connect(server.SocketPath());
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    for (int fd : {a, b, a}) {
      ASSERT_TRUE(Frame_Send(fd, "REQ1", "hello", 5, 1000));
      uint8_t h[kFrameHeaderSize];
      char code[4];
      uint32_t n = 99;
      ASSERT_TRUE(LocalSocket_RecvAll(fd, h, sizeof h, 2000));
      Frame_GetHeader(h, code, &n);
      EXPECT_EQ(n, 0u);
    }
    // A frame above the buffer closes that connection only.
    uint8_t h[kFrameHeaderSize];
    Frame_PutHeader(h, "BIG!", kSndServerMaxMessage);
    ASSERT_TRUE(LocalSocket_SendAll(b, h, sizeof h, 1000));
    uint8_t x;
    EXPECT_FALSE(LocalSocket_RecvAll(b, &x, 1, 2000));
    ASSERT_TRUE(Frame_Send(a, "REQ2", nullptr, 0, 1000));
    EXPECT_TRUE(LocalSocket_RecvAll(a, h, sizeof h, 2000));
    ::close(a);
    ::close(b);
  }
  unsetenv("XDG_RUNTIME_DIR");
}

// Sends a request to the audio server and reads its answer: true for the empty frame.
bool AudioServerAnswers(int fd)
{
  if (!Frame_Send(fd, "REQ1", "hi", 2, 1000)) return false;
  uint8_t h[kFrameHeaderSize];
  char code[4];
  uint32_t n = 99;
  if (!LocalSocket_RecvAll(fd, h, sizeof h, 3000)) return false;
  Frame_GetHeader(h, code, &n);
  return n == 0 && std::memcmp(code, "\0\0\0\0", 4) == 0;
}

// Two clients that connect and then stay silent must not lock out a third: it takes the place
// of the connection idle longest, and the other one is left alone (as on the message socket).
TEST(SndServer, NewClientReplacesTheLongestIdleConnectionWhenBothAreTaken)
{
  vt_test::TempDir dir;
  setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  {
    CSndServer server("own", 4096, 1);
    ASSERT_EQ(server.Status1, 0);
    const int a = LocalSocket_Connect(server.SocketPath());
    const int b = LocalSocket_Connect(server.SocketPath());
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_TRUE(AudioServerAnswers(a));  // both are accepted
    EXPECT_TRUE(AudioServerAnswers(b));
    EXPECT_TRUE(AudioServerAnswers(a));  // a was active last, b is idlest

    const int late = LocalSocket_Connect(server.SocketPath());
    ASSERT_GE(late, 0);
    EXPECT_TRUE(AudioServerAnswers(late));  // served instead of waiting for ever
    uint8_t x;
    EXPECT_FALSE(LocalSocket_RecvAll(b, &x, 1, 3000));  // b was closed: end of stream
    EXPECT_TRUE(AudioServerAnswers(a));
    EXPECT_TRUE(AudioServerAnswers(late));

    // Two clients that never send take both slots (a, then late give way); a third still gets
    // in, in place of the older silent one.
    const int silent1 = LocalSocket_Connect(server.SocketPath());
    const int silent2 = LocalSocket_Connect(server.SocketPath());
    const int third = LocalSocket_Connect(server.SocketPath());
    ASSERT_GE(silent1, 0);
    ASSERT_GE(silent2, 0);
    ASSERT_GE(third, 0);
    EXPECT_TRUE(AudioServerAnswers(third));
    for (int fd : {a, late, silent1}) EXPECT_FALSE(LocalSocket_RecvAll(fd, &x, 1, 3000));
    for (int fd : {a, b, late, silent1, silent2, third}) ::close(fd);
  }
  unsetenv("XDG_RUNTIME_DIR");
}

// The instance's socket name taken by something that is no socket (a file, a directory, left
// by a user or another program) is never removed: the server takes the name with its process
// id, as for a name another copy serves. A runtime directory whose path is too long for any
// socket name leaves the program without a socket, and that is said on the Errors page and on
// stderr with the path and the system's reason.
TEST(RemoteMsgSocketName, TakenOrTooLongNamesFallBackOrAreSaid)
{
  namespace fs = std::filesystem;
  SetMainThread();
  const struct {
    const char* what;
    bool longDir;        // the runtime directory's path is too long for a socket name
    bool file;           // a regular file in the socket's place (else a directory, if any)
    bool dir;
  } cases[] = {
      {"regular file", false, true, false},
      {"directory", false, false, true},
      {"runtime directory's path too long", true, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    vt_test::TempDir temp;
    std::string runtime = temp.path().string();
    if (c.longDir) {
      runtime += "/" + std::string(120, 'r');
      ASSERT_TRUE(fs::create_directory(runtime));
      fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    }
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    const std::string name = runtime + "/vartumo1.sock";
    if (c.file) vt_test::WriteWholeFile(name, "not a socket");
    if (c.dir) {
      ASSERT_TRUE(fs::create_directory(name));
    }
    std::vector<std::string> said;
    SetDebugSink([&](const std::string& line) { said.push_back(line); });
    ::testing::internal::CaptureStderr();
    const bool started = RemoteMsg_StartServer(0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    SetDebugSink(nullptr);
    const std::string fallback = runtime + "/vartumo1-" + std::to_string(::getpid()) + ".sock";
    if (!c.longDir) {
      EXPECT_TRUE(started);
      EXPECT_EQ(RemoteMsg_SocketPath(), fallback);
      EXPECT_TRUE(LocalSocket_IsServed(fallback));
      EXPECT_TRUE(said.empty()) << ::testing::PrintToString(said);
      // The thing in the socket's place is left as it was.
      if (c.file) {
        EXPECT_EQ(vt_test::ReadWholeFile(name), "not a socket");
      }
      if (c.dir) {
        EXPECT_TRUE(fs::is_directory(name));
      }
    } else {
      EXPECT_FALSE(started);
      EXPECT_EQ(RemoteMsg_SocketPath(), "");
      ASSERT_EQ(said.size(), 1u);
      for (const std::string& text : {said[0], err}) {
        EXPECT_NE(text.find("No socket for other programs"), std::string::npos) << text;
        EXPECT_NE(text.find(name), std::string::npos) << text;
        EXPECT_NE(text.find(fallback), std::string::npos) << text;
        EXPECT_NE(text.find(std::strerror(ENAMETOOLONG)), std::string::npos) << text;
      }
    }
    RemoteMsg_StopServer();
    EXPECT_FALSE(fs::exists(fallback));
    unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace
