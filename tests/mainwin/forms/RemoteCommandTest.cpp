// The running main window serves its socket: a command message from another program is run by
// the interpreter on the main timer, and the "lc" query counts it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "MainWindowFixture.h"
#include "engine/RemoteMsg.h"
#include "interp/CliCommands.h"
#include "platform/LocalSocket.h"
#include "platform/QtSyncBridge.h"

namespace {

// Sends a frame and returns the result frame's value (0xFFFFFFFF on any failure).
uint32_t Exchange(int s, const char code[4], const std::string& data)
{
  if (!Frame_Send(s, code, data.data(), static_cast<uint32_t>(data.size()), 2000))
    return 0xFFFFFFFFu;
  uint8_t h[kFrameHeaderSize], v[4];
  char c[4];
  uint32_t n = 0;
  if (!LocalSocket_RecvAll(s, h, sizeof h, 5000)) return 0xFFFFFFFFu;
  Frame_GetHeader(h, c, &n);
  if (n != 4 || !LocalSocket_RecvAll(s, v, 4, 5000)) return 0xFFFFFFFFu;
  return v[0] | (v[1] << 8) | (v[2] << 16) | (static_cast<uint32_t>(v[3]) << 24);
}

TEST_F(MainWindowTest, CommandMessageFromAnotherProgramRunsInTheInterpreter)
{
  const std::string run = dir.file("run");
  std::filesystem::create_directories(run);
  ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
  InstallQtSyncBridge();
  Make();
  form->FormShow();
  form->Timer1->stop();
  const std::string path = RemoteMsg_SocketPath();
  ASSERT_EQ(path, run + "/vartumo1.sock");

  static int clicks = 0;
  clicks = 0;
  CLI_SetBeepFunc([] { ++clicks; });

  std::atomic<bool> done{false};
  std::vector<uint32_t> results;
  std::thread client([&] {
    const int s = LocalSocket_Connect(path);
    results.push_back(Exchange(s, "CLE\0", "click:click"));
    // The main timer runs the queue; wait for it before asking.
    for (int i = 0; i < 500 && RemoteMsg_FindNext('*', '*'); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    results.push_back(Exchange(s, "\0\0lc", ""));
    ::close(s);
    done = true;
  });
  // Serve until the client is through (a generous bound for loaded machines, not a measure).
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done && std::chrono::steady_clock::now() < giveUp) {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
    form->Timer1Timer();
  }
  client.join();
  form->Timer1Timer();  // takes the count of the last message
  CLI_SetBeepFunc(nullptr);

  EXPECT_EQ(results, std::vector<uint32_t>({1u, REMOTE_MSG_QUERY | 1u}));
  EXPECT_EQ(clicks, 2);  // both commands of the line ran
  EXPECT_EQ(form->CopyDataCount, 2);

  form->close();  // the socket goes with the window
  EXPECT_EQ(RemoteMsg_SocketPath(), "");
  EXPECT_FALSE(std::filesystem::exists(path));
  form.reset();
  RemoveQtSyncBridge();
  ::unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
