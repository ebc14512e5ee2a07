// Events, the thread class and Synchronize. Real-time waits are few and generous; where a
// test must show that something does NOT happen it waits a short, fixed time for it.
#include "platform/Threads.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Clock = std::chrono::steady_clock;

long ElapsedMs(Clock::time_point since)
{
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

TEST(CAutoEvent, ResetsOnSuccessfulWait)
{
  CAutoEvent e;
  EXPECT_FALSE(e.Wait(0));
  e.Set();
  e.Set();  // setting twice still lets only one wait through
  EXPECT_TRUE(e.Wait(0));
  EXPECT_FALSE(e.Wait(0));

  CAutoEvent initially(true);
  initially.Reset();
  EXPECT_FALSE(initially.Wait(0));
  CAutoEvent set(true);
  EXPECT_TRUE(set.Wait(0));
}

TEST(CAutoEvent, TimedWaitTimesOut)
{
  CAutoEvent e;
  auto t0 = Clock::now();
  EXPECT_FALSE(e.Wait(60));
  long ms = ElapsedMs(t0);
  EXPECT_GE(ms, 55);
  EXPECT_LT(ms, 5000);
}

TEST(CAutoEvent, SetFromAnotherThreadWakesAnEndlessWait)
{
  CAutoEvent e;
  std::thread t([&] { e.Set(); });
  EXPECT_TRUE(e.Wait(-1));
  t.join();
}

TEST(CAutoEvent, OneSetReleasesExactlyOneWaiter)
{
  // Whether Set() comes before or after the waiters start waiting, exactly one gets it.
  CAutoEvent e;
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (e.Wait(300)) ++released;
    });
  e.Set();
  for (auto& t : waiters) t.join();
  EXPECT_EQ(released.load(), 1);
}

// Counts its passes until terminated; waits on `tick` between passes.
class LoopThread : public TThread {
public:
  explicit LoopThread(bool suspended) : TThread(suspended) {}
  ~LoopThread() override
  {
    Terminate();
    tick.Set();
    WaitFor();
  }
  CAutoEvent started;
  CAutoEvent tick;
  std::atomic<int> passes{0};

protected:
  void Execute() override
  {
    started.Set();
    while (!Terminated()) {
      ++passes;
      tick.Wait(20);
    }
  }
};

TEST(TThread, SuspendedThreadStartsAtResume)
{
  LoopThread t(true);
  EXPECT_TRUE(t.Suspended());
  EXPECT_FALSE(t.started.Wait(100));  // the gate holds
  EXPECT_EQ(t.passes.load(), 0);
  t.Resume();
  EXPECT_FALSE(t.Suspended());
  EXPECT_TRUE(t.started.Wait(5000));
  t.Resume();  // a second Resume does nothing
  t.Terminate();
  t.tick.Set();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
}

TEST(TThread, WaitForWithLimitReportsARunningThread)
{
  LoopThread t(true);
  t.Resume();
  ASSERT_TRUE(t.started.Wait(5000));
  EXPECT_FALSE(t.WaitFor(50));
  EXPECT_FALSE(t.Finished());
  t.Terminate();
  t.tick.Set();
  EXPECT_TRUE(t.WaitFor(5000));
  EXPECT_TRUE(t.Finished());
}

// Uses only the base class's state in Execute(), so the base destructor alone ends it.
std::atomic<int> g_plainPasses{0};
class PlainThread : public TThread {
public:
  PlainThread() : TThread(true) {}

protected:
  void Execute() override
  {
    while (!Terminated()) {
      ++g_plainPasses;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
};

TEST(TThread, DestructorTerminatesAndJoins)
{
  g_plainPasses = 0;
  {
    PlainThread t;
    t.Resume();
    while (g_plainPasses.load() == 0) std::this_thread::yield();
  }  // must not hang
  int after = g_plainPasses.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(g_plainPasses.load(), after);  // the thread is gone

  {
    PlainThread never;  // never resumed: Execute() never runs, destruction does not hang
  }
  EXPECT_EQ(g_plainPasses.load(), after);
}

// Calls Synchronize() `count` times, recording on which thread each call ran.
class SyncThread : public TThread {
public:
  explicit SyncThread(int count) : TThread(true), m_count(count) {}
  ~SyncThread() override { WaitFor(); }
  std::vector<std::thread::id> ranOn;  // touched only inside the synchronised calls
  std::atomic<bool> sawError{false};

protected:
  void Execute() override
  {
    for (int i = 0; i < m_count; ++i) Synchronize([this] { ranOn.push_back(std::this_thread::get_id()); });
    try {
      Synchronize([] { throw std::runtime_error("from the GUI"); });
    } catch (const std::runtime_error& e) {
      sawError = std::string(e.what()) == "from the GUI";
    }
  }

private:
  int m_count;
};

TEST(Synchronize, RunsOnTheMainThreadDrivenByCheckSynchronize)
{
  SetMainThread();
  ASSERT_TRUE(IsMainThread());
  std::atomic<int> wakeupCalls{0};  // the wakeup is called on the worker
  SetSynchronizeWakeup([&] { ++wakeupCalls; });

  SyncThread t(5);
  t.Resume();
  auto t0 = Clock::now();
  while (!t.Finished() && ElapsedMs(t0) < 10000) CheckSynchronize(50);
  ASSERT_TRUE(t.WaitFor(5000));
  SetSynchronizeWakeup({});

  ASSERT_EQ(t.ranOn.size(), 5u);
  for (auto id : t.ranOn) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_TRUE(t.sawError.load());
  EXPECT_EQ(wakeupCalls.load(), 6);
  EXPECT_FALSE(CheckSynchronize(0));  // nothing left
}

TEST(Synchronize, WaitForOnTheMainThreadServesCallsSoEndingNeverDeadlocks)
{
  SetMainThread();
  SyncThread t(3);
  t.Resume();
  // No CheckSynchronize here: the thread blocks in Synchronize until WaitFor serves it.
  t.Terminate();
  EXPECT_TRUE(t.WaitFor(10000));
  ASSERT_EQ(t.ranOn.size(), 3u);
  for (auto id : t.ranOn) EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_TRUE(t.sawError.load());
}

TEST(Synchronize, OnTheMainThreadRunsAtOnce)
{
  SetMainThread();
  int ran = 0;
  TThread::Synchronize([&] { ++ran; });
  EXPECT_EQ(ran, 1);
}

TEST(Synchronize, CheckSynchronizeOffTheMainThreadRunsNothing)
{
  SetMainThread();
  std::atomic<bool> result{true};
  std::thread other([&] { result = CheckSynchronize(0); });
  other.join();
  EXPECT_FALSE(result.load());
  EXPECT_TRUE(IsMainThread());
}

TEST(CCriticalSection, IsRecursiveAndExcludesOtherThreads)
{
  CCriticalSection cs;
  cs.Enter();
  EXPECT_TRUE(cs.TryEnter());  // recursive
  std::atomic<bool> otherGot{true};
  std::thread other([&] {
    otherGot = cs.TryEnter();
    if (otherGot) cs.Leave();
  });
  other.join();
  EXPECT_FALSE(otherGot.load());
  cs.Leave();
  cs.Leave();
  std::thread again([&] {
    otherGot = cs.TryEnter();
    if (otherGot) cs.Leave();
  });
  again.join();
  EXPECT_TRUE(otherGot.load());
}

}  // namespace
