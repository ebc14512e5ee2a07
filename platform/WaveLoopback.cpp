#include "platform/WaveLoopback.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "platform/WaveQueuedDevice.h"

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC

// What was played, as 16-bit stereo frames, waiting for the input. Allocated once; the
// service threads only copy under its lock.
class CLoopbackHub {
public:
  static constexpr size_t CAPACITY = size_t(1) << 19;  // frames (over 2 s at 192 kHz)

  CLoopbackHub() : m_frames(CAPACITY * 2) {}

  // Claims a direction; false when it is already open.
  bool Claim(bool input) {
    std::lock_guard<std::mutex> lock(m_mutex);
    bool& open = input ? m_inputOpen : m_outputOpen;
    if (open) return false;
    open = true;
    if (input) m_read = m_count = 0;
    return true;
  }
  void Release(bool input) {
    std::lock_guard<std::mutex> lock(m_mutex);
    (input ? m_inputOpen : m_outputOpen) = false;
    if (input) m_count = 0;
  }

  // Output side: appends the frames of one played buffer (kept only while an input is open;
  // the oldest frames go when the FIFO is full).
  void Push(const WAVEFORMATEX& fmt, const char* data, uint32_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_inputOpen) return;
    const uint32_t frames = bytes / fmt.nBlockAlign;
    for (uint32_t i = 0; i < frames; ++i) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(data) + size_t(i) * fmt.nBlockAlign;
      int16_t l, r;
      if (fmt.wBitsPerSample == 16) {
        l = static_cast<int16_t>(p[0] | (p[1] << 8));
        r = fmt.nChannels == 2 ? static_cast<int16_t>(p[2] | (p[3] << 8)) : l;
      } else {
        l = static_cast<int16_t>((p[0] - 128) * 256);
        r = fmt.nChannels == 2 ? static_cast<int16_t>((p[1] - 128) * 256) : l;
      }
      if (m_count == CAPACITY) {  // drop the oldest
        m_read = (m_read + 1) % CAPACITY;
        --m_count;
      }
      size_t w = (m_read + m_count) % CAPACITY;
      m_frames[2 * w] = l;
      m_frames[2 * w + 1] = r;
      ++m_count;
    }
  }

  // Input side: fills a buffer with what was played, silence for the rest.
  void Pop(const WAVEFORMATEX& fmt, char* data, uint32_t bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint32_t frames = bytes / fmt.nBlockAlign;
    for (uint32_t i = 0; i < frames; ++i) {
      int16_t l = 0, r = 0;
      if (m_count > 0) {
        l = m_frames[2 * m_read];
        r = m_frames[2 * m_read + 1];
        m_read = (m_read + 1) % CAPACITY;
        --m_count;
      }
      unsigned char* p = reinterpret_cast<unsigned char*>(data) + size_t(i) * fmt.nBlockAlign;
      if (fmt.wBitsPerSample == 16) {
        p[0] = static_cast<unsigned char>(l & 0xFF);
        p[1] = static_cast<unsigned char>((l >> 8) & 0xFF);
        if (fmt.nChannels == 2) {
          p[2] = static_cast<unsigned char>(r & 0xFF);
          p[3] = static_cast<unsigned char>((r >> 8) & 0xFF);
        }
      } else {
        p[0] = static_cast<unsigned char>((l >> 8) + 128);
        if (fmt.nChannels == 2) p[1] = static_cast<unsigned char>((r >> 8) + 128);
      }
    }
  }

private:
  std::mutex m_mutex;
  std::vector<int16_t> m_frames;
  size_t m_read = 0;
  size_t m_count = 0;
  bool m_inputOpen = false;
  bool m_outputOpen = false;
};

CLoopbackHub& Hub() {
  static CLoopbackHub hub;
  return hub;
}

class CLoopbackDevice : public CQueuedWaveDevice {
public:
  CLoopbackDevice(WaveDeviceHandle* owner, const WAVEFORMATEX& fmt)
      : CQueuedWaveDevice(owner, fmt, /*runningAtStart=*/!owner->input) {
    StartThread();
  }

protected:
  int Transfer(std::unique_lock<std::mutex>& lock, WAVEHDR* hdr, uint32_t& offset) override {
    if (TakeStarved()) m_haveTimeline = false;
    if (!m_scheduled) {
      const uint32_t frames = hdr->dwBufferLength / m_format.nBlockAlign;
      const auto now = Clock::now();
      // Buffers follow each other without a gap; after a gap (queue empty, stop, reset) the
      // timeline starts again from now.
      Clock::time_point start = m_haveTimeline ? m_prevEnd : now;
      m_end = start + std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double>(double(frames) / m_format.nSamplesPerSec));
      m_scheduled = true;
      // The output's frames reach the input as the buffer starts to play, so that an input
      // buffer that ends while the output buffer plays finds them (a buffer of slack between
      // two devices paced by the same clock).
      if (!m_owner->input) Hub().Push(m_format, hdr->lpData, hdr->dwBufferLength);
    }
    if (m_cond.wait_until(lock, m_end, [this] { return Interrupted(); })) return 0;
    if (Clock::now() < m_end) return 0;
    if (m_owner->input) {
      Hub().Pop(m_format, hdr->lpData, hdr->dwBufferLength);
      hdr->dwBytesRecorded = hdr->dwBufferLength;
    }
    offset = hdr->dwBufferLength;
    m_scheduled = false;
    m_prevEnd = m_end;
    m_haveTimeline = true;
    return 1;
  }

  int HwSetRunning(bool) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scheduled = false;
    m_haveTimeline = false;
    return MMSYSERR_NOERROR;
  }
  void HwReset(bool) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_scheduled = false;
    m_haveTimeline = false;
  }
  int HwClose() override {
    Hub().Release(m_owner->input);
    return MMSYSERR_NOERROR;
  }

private:
  bool m_scheduled = false;    // m_end holds the due time of the head buffer
  bool m_haveTimeline = false; // m_prevEnd is where the next buffer starts
  Clock::time_point m_end{};
  Clock::time_point m_prevEnd{};
};

}  // namespace

int OpenLoopbackWaveDevice(WaveDeviceHandle* owner, const WAVEFORMATEX* fmt,
                           std::unique_ptr<CWaveDevice>* device) {
  if (!Hub().Claim(owner->input)) return MMSYSERR_ALLOCATED;
  *device = std::make_unique<CLoopbackDevice>(owner, *fmt);
  return MMSYSERR_NOERROR;
}
