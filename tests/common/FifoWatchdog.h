#pragma once
// For tests of readers that must never wait on a FIFO: when the reader under test still waits
// in open() after a generous deadline, the watchdog opens the FIFO for writing and closes it
// again (every 200 ms, until it is destroyed), so each waiting reader gets its end of file and
// the test fails on Fired() instead of hanging.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace vt_test {

class FifoWatchdog {
public:
  explicit FifoWatchdog(std::string path, std::chrono::seconds deadline = std::chrono::seconds(30))
      : m_path(std::move(path))
  {
    m_thread = std::thread([this, deadline] {
      std::unique_lock<std::mutex> lock(m_mutex);
      auto done = [this] { return m_done; };
      if (m_cv.wait_for(lock, deadline, done)) return;
      m_fired = true;
      do {
        const int fd = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
      } while (!m_cv.wait_for(lock, std::chrono::milliseconds(200), done));
    });
  }
  ~FifoWatchdog()
  {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_done = true;
    }
    m_cv.notify_all();
    m_thread.join();
  }
  FifoWatchdog(const FifoWatchdog&) = delete;
  FifoWatchdog& operator=(const FifoWatchdog&) = delete;
  // True once the deadline passed with a reader (possibly) waiting.
  bool Fired() const { return m_fired.load(); }

private:
  std::string m_path;
  std::mutex m_mutex;
  std::condition_variable m_cv;
  bool m_done = false;
  std::atomic<bool> m_fired{false};
  std::thread m_thread;
};

}  // namespace vt_test
