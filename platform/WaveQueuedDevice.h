#pragma once
// Common part of the ALSA and loop-back devices: the queue of buffers and one service thread
// per open device that moves data for the head buffer, hands finished buffers back in order,
// and carries out start, stop and reset. Every hardware call of a device runs on that thread.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/WaveBackend.h"

class CQueuedWaveDevice : public CWaveDevice {
public:
  CQueuedWaveDevice(WaveDeviceHandle* owner, const WAVEFORMATEX& fmt, bool runningAtStart);
  ~CQueuedWaveDevice() override;

  int Start() override;
  int Stop() override;
  int AddBuffer(WAVEHDR* hdr) override;
  int Reset() override;
  int Close() override;

protected:
  // Starts the service thread; the derived constructor calls it last.
  void StartThread();

  // Moves data between the device and the head buffer, starting at byte `offset`, which it
  // advances. Runs on the service thread with `lock` held; it may release the lock while it
  // blocks, for at most about 50 ms or until Interrupted(). Returns 1 when the buffer is full
  // (input: dwBytesRecorded set) or played, 0 to be called again, or a negative error code
  // (-MMSYSERR_*) when the device failed.
  virtual int Transfer(std::unique_lock<std::mutex>& lock, WAVEHDR* hdr, uint32_t& offset) = 0;
  // Hardware side of start/stop (input: recording, output: playing). Service thread, unlocked.
  virtual int HwSetRunning(bool running) = 0;
  // Hardware side of reset: drop what is in flight. nothingQueued: every buffer had already
  // come back (output: what the hardware still holds of them was reported as played, so it
  // may play out). Service thread, unlocked.
  virtual void HwReset(bool nothingQueued) = 0;
  // Releases the hardware; the service thread has ended.
  virtual int HwClose() = 0;

  // True when the thread should leave Transfer soon (reset, close, stop pending). Lock held.
  bool Interrupted() const { return m_resetRequest || m_closeRequest || m_running != m_hwRunning; }
  // True once (then cleared) when the queue ran empty while running since the last call:
  // the gap was the caller's, not the device's. Lock held.
  bool TakeStarved() {
    bool s = m_starved;
    m_starved = false;
    return s;
  }

  WaveDeviceHandle* const m_owner;
  const WAVEFORMATEX m_format;
  std::mutex m_mutex;
  std::condition_variable m_cond;  // wakes the service thread (and Transfer's waits)

private:
  void Run();
  static constexpr int QUEUE_CAPACITY = 32;
  WAVEHDR* m_queue[QUEUE_CAPACITY] = {};
  int m_head = 0;
  int m_count = 0;
  uint32_t m_headOffset = 0;
  bool m_running;
  bool m_hwRunning = false;
  bool m_resetRequest = false;
  bool m_closeRequest = false;
  bool m_starved = false;
  int m_failure = 0;  // error code after the device failed
  std::condition_variable m_doneCond;  // reset finished
  std::thread m_thread;
};
