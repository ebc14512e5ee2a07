#pragma once
// Threads, locks and events in the shape the program's modules expect.
#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// A recursive lock (like a Windows critical section). Usable with std::lock_guard.
class CCriticalSection {
public:
  void Enter() { m_mutex.lock(); }
  bool TryEnter() { return m_mutex.try_lock(); }
  void Leave() { m_mutex.unlock(); }
  void lock() { Enter(); }
  bool try_lock() { return TryEnter(); }
  void unlock() { Leave(); }

private:
  std::recursive_mutex m_mutex;
};

// Auto-reset event: Set() wakes one waiter (or the next one to wait); a successful wait
// resets it.
class CAutoEvent {
public:
  explicit CAutoEvent(bool initiallySet = false) : m_set(initiallySet) {}
  void Set();
  void Reset();
  // Waits up to timeoutMs milliseconds (negative: forever). True when the event was set.
  bool Wait(int timeoutMs);

private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  bool m_set;
};

// A thread like the class library's: Execute() overridden, Terminate() sets the flag that
// Execute() polls, WaitFor() joins.
//
// Execute() starts at the first Resume(). C++ cannot run a derived Execute() from the base
// constructor (the derived object is not built yet), so a thread created with
// createSuspended = false is started by its constructor's last statement or its creator
// calling Resume(); Suspended() reads false for it from the start. A thread that was never
// resumed never runs Execute(), not even when it is destroyed.
//
// Destruction: ~TThread() terminates and waits, but by then the derived part is already
// gone; a derived class whose Execute() uses its own members calls Terminate() and
// WaitFor() in its own destructor (or the owner does before deleting it).
// An exception that escapes Execute() ends the thread; FatalException() holds it.
class TThread {
public:
  explicit TThread(bool createSuspended);
  virtual ~TThread();  // terminates and waits for the thread
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Lets a suspended thread run (the first Resume starts Execute()).
  void Resume();
  bool Suspended() const { return m_suspended.load(std::memory_order_acquire); }
  // Asks Execute() to end; it polls Terminated().
  void Terminate() { m_terminated.store(true, std::memory_order_release); }
  bool Terminated() const { return m_terminated.load(std::memory_order_acquire); }
  // Waits until Execute() has returned. On the GUI thread it serves pending Synchronize()
  // calls while it waits, so a thread blocked in Synchronize() can finish.
  void WaitFor();
  // Like WaitFor() with a limit; false when the thread is still running after timeoutMs.
  bool WaitFor(int timeoutMs);
  bool Finished() const { return m_finished.load(std::memory_order_acquire); }
  std::exception_ptr FatalException() const { return m_fatal; }

  // Runs `call` on the GUI thread and blocks until it has run (see CheckSynchronize).
  // Called from the GUI thread itself, or before SetMainThread(), it runs the call at once.
  // An exception thrown by the call is passed back to the calling thread.
  static void Synchronize(const std::function<void()>& call);

protected:
  virtual void Execute() = 0;

private:
  void Start();
  void Run();
  std::thread m_thread;
  std::mutex m_gateMutex;          // guards starting, finishing and joining
  std::condition_variable m_gate;  // signalled when Execute() has returned
  std::exception_ptr m_fatal;
  std::atomic<bool> m_suspended;
  std::atomic<bool> m_terminated{false};
  std::atomic<bool> m_finished{false};
  std::atomic<bool> m_started{false};
};

// The GUI thread: the thread that called SetMainThread() (call it at start-up; until then no
// thread is the GUI thread and Synchronize() runs its call on the calling thread).
void SetMainThread();
bool IsMainThread();

// Runs pending Synchronize() calls on the calling (GUI) thread. Waits up to timeoutMs for one
// to arrive when none is pending. Returns true when at least one call ran; does nothing off the
// GUI thread. A GUI-thread loop that polls for a worker to end uses CheckSynchronize(ms) in
// place of a sleep (or WaitFor(ms)), so a worker blocked in Synchronize() can go on.
bool CheckSynchronize(int timeoutMs = 0);

// Installed by the GUI: called (from any thread) whenever a Synchronize() call is queued, so
// the GUI's event loop can run CheckSynchronize() soon. Tests without a GUI drive
// CheckSynchronize() themselves.
void SetSynchronizeWakeup(std::function<void()> wakeup);
