// Events, the thread class and the synchronise queue to the GUI thread.
//
// Synchronize() from a worker queues a request, calls the installed wakeup and blocks until
// the GUI thread has run it in CheckSynchronize(). TThread::WaitFor() on the GUI thread
// serves the queue while it waits, so a worker that is blocked in Synchronize() when the GUI
// asks it to end can still finish.
#include "platform/Threads.h"

#include <chrono>
#include <deque>

namespace {

struct SyncRequest {
  const std::function<void()>* call;
  std::exception_ptr error;
  bool done = false;
};

std::mutex g_syncMutex;
std::condition_variable g_syncQueued;  // a request was queued, or a thread finished
std::condition_variable g_syncDone;    // a request has run
std::deque<SyncRequest*> g_syncQueue;
std::function<void()> g_syncWakeup;
std::atomic<std::thread::id> g_mainThread{std::thread::id()};

using Clock = std::chrono::steady_clock;

Clock::time_point Deadline(int timeoutMs)
{
  return Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
}

// Runs every queued request on the calling thread; true when at least one ran.
bool RunQueued()
{
  std::deque<SyncRequest*> batch;
  {
    std::lock_guard<std::mutex> lock(g_syncMutex);
    batch.swap(g_syncQueue);
  }
  for (SyncRequest* r : batch) {
    try {
      (*r->call)();
    } catch (...) {
      r->error = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(g_syncMutex);
    r->done = true;
  }
  if (!batch.empty()) g_syncDone.notify_all();
  return !batch.empty();
}

}  // namespace

// ---- CAutoEvent

void CAutoEvent::Set()
{
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = true;
  }
  m_cond.notify_one();
}

void CAutoEvent::Reset()
{
  std::lock_guard<std::mutex> lock(m_mutex);
  m_set = false;
}

bool CAutoEvent::Wait(int timeoutMs)
{
  std::unique_lock<std::mutex> lock(m_mutex);
  if (timeoutMs < 0)
    m_cond.wait(lock, [this] { return m_set; });
  else
    m_cond.wait_until(lock, Deadline(timeoutMs), [this] { return m_set; });
  if (!m_set) return false;
  m_set = false;
  return true;
}

// ---- main thread and synchronise queue

void SetMainThread() { g_mainThread.store(std::this_thread::get_id()); }

bool IsMainThread() { return g_mainThread.load() == std::this_thread::get_id(); }

void SetSynchronizeWakeup(std::function<void()> wakeup)
{
  std::lock_guard<std::mutex> lock(g_syncMutex);
  g_syncWakeup = std::move(wakeup);
}

bool CheckSynchronize(int timeoutMs)
{
  if (!IsMainThread()) return false;
  if (timeoutMs > 0) {
    std::unique_lock<std::mutex> lock(g_syncMutex);
    g_syncQueued.wait_until(lock, Deadline(timeoutMs), [] { return !g_syncQueue.empty(); });
  }
  return RunQueued();
}

void TThread::Synchronize(const std::function<void()>& call)
{
  if (g_mainThread.load() == std::thread::id() || IsMainThread()) {
    call();
    return;
  }
  SyncRequest request{&call, nullptr, false};
  std::function<void()> wakeup;
  {
    std::lock_guard<std::mutex> lock(g_syncMutex);
    g_syncQueue.push_back(&request);
    wakeup = g_syncWakeup;
  }
  g_syncQueued.notify_all();
  if (wakeup) wakeup();
  {
    std::unique_lock<std::mutex> lock(g_syncMutex);
    g_syncDone.wait(lock, [&] { return request.done; });
  }
  if (request.error) std::rethrow_exception(request.error);
}

// ---- TThread

TThread::TThread(bool createSuspended) : m_suspended(createSuspended) {}

TThread::~TThread()
{
  Terminate();
  WaitFor();
  std::lock_guard<std::mutex> lock(m_gateMutex);
  if (m_thread.joinable()) m_thread.detach();  // only when the thread deletes itself
}

void TThread::Resume()
{
  m_suspended.store(false, std::memory_order_release);
  Start();
}

void TThread::Start()
{
  std::lock_guard<std::mutex> lock(m_gateMutex);
  if (m_started.load(std::memory_order_relaxed)) return;
  m_started.store(true, std::memory_order_release);
  m_thread = std::thread(&TThread::Run, this);
}

void TThread::Run()
{
  try {
    Execute();
  } catch (...) {
    m_fatal = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(m_gateMutex);
    m_finished.store(true, std::memory_order_release);
  }
  m_gate.notify_all();
  // Wake a GUI thread that waits for this thread while serving the synchronise queue.
  { std::lock_guard<std::mutex> lock(g_syncMutex); }
  g_syncQueued.notify_all();
}

void TThread::WaitFor() { WaitFor(-1); }

bool TThread::WaitFor(int timeoutMs)
{
  if (!m_started.load(std::memory_order_acquire)) return true;  // Execute() never runs
  {
    std::lock_guard<std::mutex> lock(m_gateMutex);
    if (m_thread.get_id() == std::this_thread::get_id()) return Finished();  // from Execute()
  }
  const Clock::time_point deadline = Deadline(timeoutMs);
  if (IsMainThread()) {
    // Serve Synchronize() calls until the thread has finished.
    for (;;) {
      RunQueued();
      std::unique_lock<std::mutex> lock(g_syncMutex);
      auto ready = [this] { return Finished() || !g_syncQueue.empty(); };
      if (timeoutMs < 0)
        g_syncQueued.wait(lock, ready);
      else
        g_syncQueued.wait_until(lock, deadline, ready);
      if (Finished()) break;
      if (g_syncQueue.empty()) return false;  // timed out
    }
  } else {
    std::unique_lock<std::mutex> lock(m_gateMutex);
    if (timeoutMs < 0)
      m_gate.wait(lock, [this] { return Finished(); });
    else if (!m_gate.wait_until(lock, deadline, [this] { return Finished(); }))
      return false;
  }
  std::lock_guard<std::mutex> lock(m_gateMutex);
  if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
  return true;
}
