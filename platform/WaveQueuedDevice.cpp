#include "platform/WaveQueuedDevice.h"

CQueuedWaveDevice::CQueuedWaveDevice(WaveDeviceHandle* owner, const WAVEFORMATEX& fmt,
                                     bool runningAtStart)
    : m_owner(owner), m_format(fmt), m_running(runningAtStart) {}

CQueuedWaveDevice::~CQueuedWaveDevice() {
  // Derived classes call Close (through the service) before they go; this is the safety net.
  if (m_thread.joinable()) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_closeRequest = true;
    }
    m_cond.notify_all();
    m_thread.join();
  }
}

void CQueuedWaveDevice::StartThread() { m_thread = std::thread([this] { Run(); }); }

int CQueuedWaveDevice::Start() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_failure) return m_failure;
  m_running = true;
  m_cond.notify_all();
  return MMSYSERR_NOERROR;
}

int CQueuedWaveDevice::Stop() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_failure) return m_failure;
  m_running = false;
  m_cond.notify_all();
  return MMSYSERR_NOERROR;
}

int CQueuedWaveDevice::AddBuffer(WAVEHDR* hdr) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_failure) return m_failure;
  if (m_count >= QUEUE_CAPACITY) return MMSYSERR_INVALPARAM;
  m_queue[(m_head + m_count) % QUEUE_CAPACITY] = hdr;
  ++m_count;
  m_cond.notify_all();
  return MMSYSERR_NOERROR;
}

int CQueuedWaveDevice::Reset() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_owner->input) m_running = false;  // input stops; output keeps its paused state
  m_resetRequest = true;
  m_cond.notify_all();
  m_doneCond.wait(lock, [this] { return !m_resetRequest; });
  return MMSYSERR_NOERROR;
}

int CQueuedWaveDevice::Close() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_count > 0) return WAVERR_STILLPLAYING;
    m_closeRequest = true;
  }
  m_cond.notify_all();
  if (m_thread.joinable()) m_thread.join();
  return HwClose();
}

void CQueuedWaveDevice::Run() {
  std::unique_lock<std::mutex> lock(m_mutex);
  while (!m_closeRequest) {
    if (m_resetRequest) {
      const bool nothingQueued = m_count == 0;
      lock.unlock();
      HwReset(nothingQueued);
      lock.lock();
      m_hwRunning = m_hwRunning && m_running;
      // Hand back every queued buffer, in order; the head one with what it holds so far.
      while (m_count > 0) {
        WAVEHDR* hdr = m_queue[m_head];
        m_head = (m_head + 1) % QUEUE_CAPACITY;
        --m_count;
        if (m_owner->input) hdr->dwBytesRecorded = m_headOffset;
        m_headOffset = 0;
        lock.unlock();
        m_owner->Complete(hdr);
        lock.lock();
      }
      m_headOffset = 0;
      m_starved = false;
      m_resetRequest = false;
      m_doneCond.notify_all();
      continue;
    }
    if (m_failure) {
      m_cond.wait(lock);
      continue;
    }
    if (m_running != m_hwRunning) {
      bool running = m_running;
      lock.unlock();
      int rc = HwSetRunning(running);
      lock.lock();
      m_hwRunning = running;
      m_starved = false;
      if (rc != MMSYSERR_NOERROR) {
        m_failure = rc;
        lock.unlock();
        m_owner->Notify(m_owner->input ? WIM_ERROR : WOM_ERROR, static_cast<uintptr_t>(rc));
        lock.lock();
      }
      continue;
    }
    if (!m_running || m_count == 0) {
      if (m_running) m_starved = true;
      m_cond.wait(lock);
      continue;
    }
    WAVEHDR* hdr = m_queue[m_head];
    int rc = Transfer(lock, hdr, m_headOffset);
    if (rc < 0) {
      m_failure = -rc;
      lock.unlock();
      m_owner->Notify(m_owner->input ? WIM_ERROR : WOM_ERROR, static_cast<uintptr_t>(-rc));
      lock.lock();
    } else if (rc > 0 && m_count > 0 && m_queue[m_head] == hdr && !m_resetRequest) {
      m_head = (m_head + 1) % QUEUE_CAPACITY;
      --m_count;
      m_headOffset = 0;
      lock.unlock();
      m_owner->Complete(hdr);
      lock.lock();
    }
  }
}
