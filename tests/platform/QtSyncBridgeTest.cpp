// The Qt event loop serves Synchronize() calls once the bridge is installed.
#include "platform/QtSyncBridge.h"
#include "platform/Threads.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

namespace {

class AskingThread : public TThread {
public:
  AskingThread() : TThread(true) {}
  ~AskingThread() override { WaitFor(); }
  std::thread::id ranOn;
  int calls = 0;

protected:
  void Execute() override
  {
    for (int i = 0; i < 3; ++i)
      Synchronize([this] {
        ranOn = std::this_thread::get_id();
        if (++calls == 3) QCoreApplication::quit();
      });
  }
};

TEST(QtSyncBridge, EventLoopRunsTheQueuedCalls)
{
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  InstallQtSyncBridge();
  bool timedOut = false;
  QTimer::singleShot(10000, &app, [&] {
    timedOut = true;
    app.quit();
  });
  {
    AskingThread t;
    t.Resume();
    app.exec();
    EXPECT_FALSE(timedOut);
    EXPECT_TRUE(t.WaitFor(5000));
    EXPECT_EQ(t.calls, 3);
    EXPECT_EQ(t.ranOn, std::this_thread::get_id());
  }
  RemoveQtSyncBridge();
}

}  // namespace
