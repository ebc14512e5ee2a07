// Exit signals: the first becomes a request on the event loop, a second ends the process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>
#include <vector>

#include "platform/ExitSignals.h"

namespace {

// Runs the event loop until the request arrived (or a generous number of passes went by).
void ProcessUntil(const std::vector<int>& seen, size_t count)
{
  for (int i = 0; i < 1000 && seen.size() < count; ++i)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
}

TEST(ExitSignals, EachSignalBecomesOneRequestOnTheEventLoop)
{
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    std::vector<int> seen;
    ASSERT_TRUE(InstallExitSignalHandler([&](int s) { seen.push_back(s); }));
    ::raise(sig);
    EXPECT_TRUE(seen.empty());  // nothing runs inside the signal handler
    ProcessUntil(seen, 1);
    EXPECT_EQ(seen, std::vector<int>({sig}));
    RemoveExitSignalHandler();  // a fresh install counts from the first signal again
  }
}

// Signals SIGINT; the request handler signals SIGTERM while it runs. Never returns normally.
void SecondSignalWhileClosing()
{
  int argc = 1;
  char name[] = "test";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  std::vector<int> seen;
  InstallExitSignalHandler([&](int s) {
    seen.push_back(s);
    ::raise(SIGTERM);  // the user insists while the close runs
  });
  ::raise(SIGINT);
  ProcessUntil(seen, 2);
  std::exit(0);  // not reached: the second signal ends the process
}

TEST(ExitSignals, ASecondSignalDuringTheCloseEndsTheProgram)
{
  EXPECT_EXIT(SecondSignalWhileClosing(), ::testing::KilledBySignal(SIGTERM), "");
}

}  // namespace
