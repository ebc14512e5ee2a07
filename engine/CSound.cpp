#include "engine/CSound.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine/SoundThdMsgQueue.h"

static_assert(static_cast<int>(SOUND_ERR_DEVICE_LOST) == static_cast<int>(WAVERR_DEVICELOST),
              "the service's lost-device code is the program's own code");

namespace {

// Counts a thread inside InRead / OutWrite for the time of the call, so that a close from
// another thread can wait until it has left.
class CCallerGuard {
public:
  explicit CCallerGuard(std::atomic<int>& count) : m_count(count) { m_count.fetch_add(1); }
  ~CCallerGuard() { m_count.fetch_sub(1); }

private:
  std::atomic<int>& m_count;
};

int16_t Read16(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return static_cast<int16_t>(u[0] | (u[1] << 8));
}

void Write16(char* p, int16_t v) {
  p[0] = static_cast<char>(v & 0xFF);
  p[1] = static_cast<char>((v >> 8) & 0xFF);
}

// 8-bit output: the high byte of (sample + 32,767), clamped so that -32,768 gives 0
// instead of wrapping round to 255.
char To8Bit(int16_t v) {
  int u = std::max(0, v + 32767);
  return static_cast<char>(u >> 8);
}

// 8-bit input: byte + 128 (modulo 256) as the high byte, low byte 0.
int16_t From8Bit(char c) {
  return static_cast<int16_t>(static_cast<uint16_t>((static_cast<unsigned char>(c) ^ 0x80) << 8));
}

}  // namespace

CSound::CSound() {
  std::memset(InBuffers, 0, sizeof(InBuffers));
  std::memset(OutBuffers, 0, sizeof(OutBuffers));
}

CSound::~CSound() {
  InClose();
  OutClose();
}

void CSound::WaveCallbackProc(WaveDeviceHandle* h, int msg, void* instance, uintptr_t param) {
  CSound* self = static_cast<CSound*>(instance);
  switch (msg) {
    case WIM_DATA:
      self->OnInputData();
      break;
    case WOM_DONE:
      self->OnOutputDone();
      break;
    case WIM_OVERRUN: {
      std::lock_guard<CCriticalSection> lock(self->Lock);
      self->InOverflow = 1;
      self->InOverflows.fetch_add(1);
      break;
    }
    case WOM_UNDERRUN: {
      std::lock_guard<CCriticalSection> lock(self->Lock);
      self->OutUnderflow = 1;
      self->OutUnderflows.fetch_add(1);
      break;
    }
    case WIM_ERROR: {
      std::lock_guard<CCriticalSection> lock(self->Lock);
      waveGetFailureText(h, self->InDeviceErrorText, sizeof self->InDeviceErrorText);
      self->InDeviceError = static_cast<int32_t>(param);
      self->InWaiting = 0;
      self->InEvent.Set();
      break;
    }
    case WOM_ERROR: {
      std::lock_guard<CCriticalSection> lock(self->Lock);
      waveGetFailureText(h, self->OutDeviceErrorText, sizeof self->OutDeviceErrorText);
      self->OutDeviceError = static_cast<int32_t>(param);
      self->OutWaiting = 0;
      self->OutEvent.Set();
      break;
    }
    default:
      break;
  }
}

void CSound::OnInputData() {
  std::lock_guard<CCriticalSection> lock(Lock);
  if (m_inClosing.load()) return;  // buffers handed back by the reset of a close
  InFilledIndex = (InFilledIndex + 1) % NUM_BUFFERS;
  // Every buffer full is no loss yet: the device keeps what comes meanwhile in its own ring
  // until the reader hands a buffer back. Only the device knows when samples are really lost,
  // and says so with WIM_OVERRUN.
  ++InFilledCount;
  if (InWaiting) {
    InWaiting = 0;
    InEvent.Set();
  }
}

void CSound::OnOutputDone() {
  std::lock_guard<CCriticalSection> lock(Lock);
  OutDoneIndex = (OutDoneIndex + 1) % NUM_BUFFERS;
  if (OutQueuedCount > 0) --OutQueuedCount;
  if (OutQueuedCount == 0 && !m_outClosing.load()) {
    // Every buffer has been played and none is queued: the device runs dry.
    OutUnderflow = 1;
    OutUnderflows.fetch_add(1);
  }
  if (OutWaiting) {
    OutWaiting = 0;
    OutEvent.Set();
  }
}

// ---------------------------------------------------------------------------------------
// Input

int CSound::InOpen(int devId, const WAVEFORMATEX* fmt, int bufferSamples, int sampleLimit,
                   bool start) {
  InClose();
  if (!fmt) return MMSYSERR_INVALPARAM;
  // A new device starts without the old one's error.
  InErrorCode = 0;
  {
    std::lock_guard<CCriticalSection> lock(Lock);
    InWaiting = InOverflow = 0;
    InFilledIndex = InReadIndex = InFilledCount = 0;
    InDeviceError = 0;
    InDeviceErrorText[0] = '\0';
  }
  InOffset = 0;
  InSampleCount = 0;
  InSampleLimit = std::max(0, sampleLimit);
  InFormat = *fmt;
  InFrameBytes = fmt->wBitsPerSample / 8 * fmt->nChannels;
  InBufferBytes = bufferSamples * InFrameBytes;
  InEvent.Reset();
  m_inClosing.store(false);
  m_inWake.store(false);

  int rc = waveInOpen(&hWaveIn, devId, fmt, &CSound::WaveCallbackProc, this);
  if (rc != MMSYSERR_NOERROR) {
    hWaveIn = nullptr;
    InClose();
    return rc;
  }
  int openedId = devId;
  if (devId < 0 && waveInGetID(hWaveIn, &openedId) == MMSYSERR_NOERROR &&
      waveIsLoopbackDevice(true, openedId)) {
    PutSoundThdMessage("No sound card for input: using \"Loop-back (no sound card)\"");
  }
  if (bufferSamples <= 0) {
    InClose();
    return bufferSamples == 0 ? 0 : MMSYSERR_INVALPARAM;
  }
  for (int i = 0; i < NUM_BUFFERS; ++i) {
    if (InBufferBytes > MAX_BUFFER_BYTES) {
      InClose();
      return ERR_MEMORY;
    }
    std::memset(InBuffers[i], 0, sizeof(InBuffers[i]));
    InHeaders[i] = WAVEHDR{};
    InHeaders[i].lpData = InBuffers[i];
    InHeaders[i].dwBufferLength = static_cast<uint32_t>(InBufferBytes);
    rc = waveInPrepareHeader(hWaveIn, &InHeaders[i]);
    if (rc == MMSYSERR_NOERROR) rc = waveInAddBuffer(hWaveIn, &InHeaders[i]);
    if (rc != MMSYSERR_NOERROR) {
      InClose();
      return rc;
    }
  }
  if (start) {
    rc = waveInStart(hWaveIn);
    if (rc != MMSYSERR_NOERROR) {
      InClose();
      return rc;
    }
  }
  InOpenFlag.store(1, std::memory_order_release);
  return 0;
}

int CSound::InRead(int16_t* left, int16_t* right, int n) {
  CCallerGuard guard(m_inCallers);
  if (!InOpenFlag.load() || m_inClosing.load() || !hWaveIn) {
    InErrorCode = ERR_IN_NOT_OPEN;
    return -1;
  }
  if (m_inWake.load()) return -1;
  if (n < 0 || !left) {
    InErrorCode = MMSYSERR_INVALPARAM;
    return -1;
  }
  {
    std::lock_guard<CCriticalSection> lock(Lock);
    if (InOverflow) {
      InErrorCode = ERR_IN_OVERFLOW;  // reported once; the filled buffers are read on
      InOverflow = 0;
    }
  }
  const bool is16 = InFormat.wBitsPerSample == 16;
  const bool stereo = InFormat.nChannels == 2;
  int done = 0;
  while (done < n) {
    // Wait for a filled buffer.
    bool timedOut = false;
    for (;;) {
      Lock.Enter();
      if (InDeviceError) {
        InErrorCode = InDeviceError;
        Lock.Leave();
        CloseInputDevice();
        return -1;
      }
      if (InFilledCount > 0) {
        Lock.Leave();
        break;
      }
      if (timedOut) {
        Lock.Leave();
        InErrorCode = ERR_IN_TIMEOUT;
        CloseInputDevice();
        return -1;
      }
      InWaiting = 1;
      Lock.Leave();
      timedOut = !InEvent.Wait(WaitTimeoutMs);
      if (m_inClosing.load()) {
        InErrorCode = ERR_IN_NOT_OPEN;
        return -1;
      }
      if (m_inWake.load()) {
        std::lock_guard<CCriticalSection> lock(Lock);
        InWaiting = 0;
        return -1;
      }
    }

    // Convert what this buffer still holds, at most the frames still wanted.
    const char* buf = InBuffers[InReadIndex];
    if (is16 && (InOffset & 1)) InErrorCode = ERR_ODD_ADDRESS;  // the read goes on
    const int framesLeft = (InBufferBytes - InOffset) / InFrameBytes;
    const int frames = std::min(n - done, framesLeft);
    const char* p = buf + InOffset;
    for (int i = 0; i < frames; ++i, p += InFrameBytes) {
      int16_t l, r;
      if (is16) {
        l = Read16(p);
        r = stereo ? Read16(p + 2) : l;
      } else {
        l = From8Bit(p[0]);
        r = stereo ? From8Bit(p[1]) : l;
      }
      left[done + i] = l;
      if (right) right[done + i] = r;
    }
    InOffset += frames * InFrameBytes;
    done += frames;

    if (InBufferBytes - InOffset < InFrameBytes) {
      // Buffer consumed: hand it back to the device.
      WAVEHDR* hdr = &InHeaders[InReadIndex];
      hdr->dwBytesRecorded = 0;
      InOffset = 0;
      {
        std::lock_guard<CCriticalSection> lock(Lock);
        InReadIndex = (InReadIndex + 1) % NUM_BUFFERS;
        --InFilledCount;
      }
      int rc = waveInAddBuffer(hWaveIn, hdr);
      if (rc != MMSYSERR_NOERROR) {
        InErrorCode = rc;
        CloseInputDevice();
        return -1;
      }
    }
  }
  InSampleCount += n;
  if (InSampleLimit > 0 && InSampleCount >= InSampleLimit) {
    CloseInputDevice();
    return 0;
  }
  return n;
}

int CSound::InDiscardFilled() {
  CCallerGuard guard(m_inCallers);
  if (!InOpenFlag.load() || m_inClosing.load() || m_inWake.load() || !hWaveIn) return 0;
  int handedBack = 0;
  for (;;) {
    WAVEHDR* hdr;
    {
      std::lock_guard<CCriticalSection> lock(Lock);
      InOverflow = 0;
      if (InDeviceError || InFilledCount == 0) break;
      hdr = &InHeaders[InReadIndex];
      InReadIndex = (InReadIndex + 1) % NUM_BUFFERS;
      --InFilledCount;
    }
    hdr->dwBytesRecorded = 0;
    InOffset = 0;
    if (waveInAddBuffer(hWaveIn, hdr) != MMSYSERR_NOERROR) break;  // the next read tells
    ++handedBack;
  }
  if (InErrorCode.load() == ERR_IN_OVERFLOW) InErrorCode = 0;
  return handedBack;
}

int CSound::InBuffersWaiting() {
  std::lock_guard<CCriticalSection> lock(Lock);
  return InFilledCount;
}

bool CSound::OutWriteWouldWait() {
  std::lock_guard<CCriticalSection> lock(Lock);
  return OutQueuedCount >= NUM_BUFFERS - 1;
}

void CSound::InFailureText(char* text, int len) {
  if (!text || len < 1) return;
  std::lock_guard<CCriticalSection> lock(Lock);
  std::snprintf(text, static_cast<size_t>(len), "%s", InDeviceErrorText);
}

void CSound::OutFailureText(char* text, int len) {
  if (!text || len < 1) return;
  std::lock_guard<CCriticalSection> lock(Lock);
  std::snprintf(text, static_cast<size_t>(len), "%s", OutDeviceErrorText);
}

int CSound::InDeviceId() {
  int id = -1;
  if (!hWaveIn || !InOpenFlag.load() || waveInGetID(hWaveIn, &id) != MMSYSERR_NOERROR) return -1;
  return id;
}

int CSound::OutDeviceId() {
  int id = -1;
  if (!hWaveOut || !OutOpenFlag.load() || waveOutGetID(hWaveOut, &id) != MMSYSERR_NOERROR)
    return -1;
  return id;
}

void CSound::InClose() {
  InOpenFlag.store(0);
  m_inClosing.store(true);
  WakeAndDrainInput();
  CloseInputDevice();
}

void CSound::WakeAndDrainInput() {
  while (m_inCallers.load() > 0) {
    InEvent.Set();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void CSound::CloseInputDevice() {
  InOpenFlag.store(0);
  m_inClosing.store(true);
  if (hWaveIn) {
    auto note = [this](int rc) {
      if (rc != MMSYSERR_NOERROR && InErrorCode == 0) InErrorCode = rc;
    };
    note(waveInReset(hWaveIn));
    for (WAVEHDR& hdr : InHeaders)
      if (hdr.dwFlags & WHDR_PREPARED) note(waveInUnprepareHeader(hWaveIn, &hdr));
    note(waveInClose(hWaveIn));
    hWaveIn = nullptr;
  }
  InEvent.Reset();
}

// ---------------------------------------------------------------------------------------
// Output

int CSound::OutOpen(int devId, const WAVEFORMATEX* fmt, int bufferSamples, int sampleLimit,
                    bool start) {
  OutClose();
  if (!fmt) return MMSYSERR_INVALPARAM;
  OutErrorCode = 0;
  {
    std::lock_guard<CCriticalSection> lock(Lock);
    OutWaiting = OutUnderflow = 0;
    OutWriteIndex = OutDoneIndex = OutQueuedCount = 0;
    OutDeviceError = 0;
    OutDeviceErrorText[0] = '\0';
  }
  OutPaused = 0;
  OutOffset = 0;
  OutSampleCount = 0;
  OutSampleLimit = std::max(0, sampleLimit);
  OutFormat = *fmt;
  OutFrameBytes = fmt->wBitsPerSample / 8 * fmt->nChannels;
  OutBufferBytes = bufferSamples * OutFrameBytes;
  OutEvent.Reset();
  m_outClosing.store(false);
  m_outWake.store(false);

  int rc = waveOutOpen(&hWaveOut, devId, fmt, &CSound::WaveCallbackProc, this);
  if (rc != MMSYSERR_NOERROR) {
    hWaveOut = nullptr;
    OutClose();
    return rc;
  }
  int openedId = devId;
  if (devId < 0 && waveOutGetID(hWaveOut, &openedId) == MMSYSERR_NOERROR &&
      waveIsLoopbackDevice(false, openedId)) {
    PutSoundThdMessage("No sound card for output: using \"Loop-back (no sound card)\"");
  }
  if (bufferSamples <= 0) {
    OutClose();
    return bufferSamples == 0 ? 0 : MMSYSERR_INVALPARAM;
  }
  rc = waveOutPause(hWaveOut);
  if (rc != MMSYSERR_NOERROR) {
    OutClose();
    return rc;
  }
  for (int i = 0; i < NUM_BUFFERS; ++i) {
    if (OutBufferBytes > MAX_BUFFER_BYTES) {
      OutClose();
      return ERR_MEMORY;
    }
    std::memset(OutBuffers[i], 0, sizeof(OutBuffers[i]));
    OutHeaders[i] = WAVEHDR{};
    OutHeaders[i].lpData = OutBuffers[i];
    OutHeaders[i].dwBufferLength = static_cast<uint32_t>(OutBufferBytes);
    rc = waveOutPrepareHeader(hWaveOut, &OutHeaders[i]);
    if (rc != MMSYSERR_NOERROR) {
      OutClose();
      return rc;
    }
  }
  OutOpenFlag.store(1, std::memory_order_release);
  OutPaused = 1;
  if (!start) waveOutReset(hWaveOut);
  return 0;
}

int CSound::OutWrite(const int16_t* left, const int16_t* right, int n) {
  CCallerGuard guard(m_outCallers);
  if (!OutOpenFlag.load() || m_outClosing.load() || !hWaveOut) {
    OutErrorCode = ERR_OUT_NOT_OPEN;
    return -1;
  }
  if (m_outWake.load()) return -1;
  {
    std::lock_guard<CCriticalSection> lock(Lock);
    if (OutUnderflow) {
      // Reported once; the flag is cleared so that later writes do not report it again.
      OutUnderflow = 0;
      if (OutErrorCode != ERR_OUT_UNDERFLOW) OutErrorCode = ERR_OUT_UNDERFLOW;
    }
  }
  if (n <= 0) {
    CloseOutputDevice();
    return OutErrorCode == 0 ? 0 : -1;
  }
  if (!left) {
    OutErrorCode = MMSYSERR_INVALPARAM;
    return -1;
  }
  const bool is16 = OutFormat.wBitsPerSample == 16;
  const bool stereo = OutFormat.nChannels == 2;
  if (stereo && !right) right = left;
  int done = 0;
  while (done < n) {
    int deviceError;
    {
      std::lock_guard<CCriticalSection> lock(Lock);
      deviceError = OutDeviceError;
    }
    if (deviceError) {
      OutErrorCode = deviceError;
      CloseOutputDevice();
      return -1;
    }
    // Fill the current buffer, never past its end.
    char* p = OutBuffers[OutWriteIndex] + OutOffset;
    const int frames = std::min(n - done, (OutBufferBytes - OutOffset) / OutFrameBytes);
    for (int i = 0; i < frames; ++i, p += OutFrameBytes) {
      const int16_t l = left[done + i];
      if (is16) {
        Write16(p, l);
        if (stereo) Write16(p + 2, right[done + i]);
      } else {
        p[0] = To8Bit(l);
        if (stereo) p[1] = To8Bit(right[done + i]);
      }
    }
    OutOffset += frames * OutFrameBytes;
    done += frames;
    if (OutBufferBytes - OutOffset >= OutFrameBytes) continue;

    // Buffer full: queue it.
    WAVEHDR* hdr = &OutHeaders[OutWriteIndex];
    hdr->dwBufferLength = static_cast<uint32_t>(OutOffset);
    {
      std::lock_guard<CCriticalSection> lock(Lock);
      ++OutQueuedCount;
    }
    int rc = waveOutWrite(hWaveOut, hdr);
    if (rc != MMSYSERR_NOERROR) {
      {
        std::lock_guard<CCriticalSection> lock(Lock);
        --OutQueuedCount;
      }
      OutErrorCode = rc;
      CloseOutputDevice();
      return -1;
    }
    OutOffset = 0;
    if (OutPaused && OutWriteIndex >= 1) {
      // Playback starts once two buffers are queued.
      OutPaused = 0;
      waveOutRestart(hWaveOut);
    }
    // Next buffer; wait while it is still queued on the device.
    bool timedOut = false;
    Lock.Enter();
    OutWriteIndex = (OutWriteIndex + 1) % NUM_BUFFERS;
    bool waited = false;
    while (OutQueuedCount >= NUM_BUFFERS && !OutDeviceError) {
      if (timedOut) {
        Lock.Leave();
        OutErrorCode = ERR_OUT_TIMEOUT;
        CloseOutputDevice();
        return -1;
      }
      OutWaiting = 1;
      Lock.Leave();
      timedOut = !OutEvent.Wait(WaitTimeoutMs);
      waited = true;
      if (m_outClosing.load()) {
        OutErrorCode = ERR_OUT_NOT_OPEN;
        return -1;
      }
      if (m_outWake.load()) {
        // The filled buffer is queued already; the next call starts on the next one.
        std::lock_guard<CCriticalSection> lock(Lock);
        OutWaiting = 0;
        return -1;
      }
      Lock.Enter();
    }
    Lock.Leave();
    if (waited && OutErrorCode == ERR_OUT_UNDERFLOW) OutErrorCode = 0;
  }
  OutSampleCount += n;
  if (OutSampleLimit > 0 && OutSampleCount >= OutSampleLimit) {
    CloseOutputDevice();
    return OutErrorCode != 0 ? -1 : 0;
  }
  return n;
}

int CSound::WaitForOutputDone() {
  CCallerGuard guard(m_outCallers);
  if (!hWaveOut || m_outClosing.load() || m_outWake.load()) return OutErrorCode;
  return WaitOutputQueueEmpty(true);
}

int CSound::WaitOutputQueueEmpty(bool stopOnClose) {
  bool timedOut = false;
  int lastCount = -1;
  for (;;) {
    Lock.Enter();
    if (OutDeviceError) {
      OutErrorCode = OutDeviceError;
      Lock.Leave();
      break;
    }
    if (OutQueuedCount == 0) {
      Lock.Leave();
      break;
    }
    if (timedOut && OutQueuedCount == lastCount) {
      Lock.Leave();
      OutErrorCode = ERR_OUT_TIMEOUT;
      break;
    }
    lastCount = OutQueuedCount;
    OutWaiting = 1;
    Lock.Leave();
    timedOut = !OutEvent.Wait(WaitTimeoutMs);
    if (stopOnClose && (m_outClosing.load() || m_outWake.load())) break;
  }
  return OutErrorCode;
}

void CSound::WakeWaiters() {
  m_inWake.store(true);
  m_outWake.store(true);
  // Auto-reset events: a set that comes before the wait still ends it.
  InEvent.Set();
  OutEvent.Set();
}

void CSound::OutClose() {
  OutOpenFlag.store(0);
  m_outClosing.store(true);
  WakeAndDrainOutput();
  CloseOutputDevice();
}

void CSound::WakeAndDrainOutput() {
  while (m_outCallers.load() > 0) {
    OutEvent.Set();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void CSound::CloseOutputDevice() {
  OutOpenFlag.store(0);
  m_outClosing.store(true);
  if (hWaveOut) {
    if (OutErrorCode == 0 && OutOffset > 0) {
      // Play the partial buffer with its real length.
      WAVEHDR* hdr = &OutHeaders[OutWriteIndex];
      hdr->dwBufferLength = static_cast<uint32_t>(OutOffset);
      {
        std::lock_guard<CCriticalSection> lock(Lock);
        ++OutQueuedCount;
      }
      if (waveOutWrite(hWaveOut, hdr) != MMSYSERR_NOERROR) {
        std::lock_guard<CCriticalSection> lock(Lock);
        --OutQueuedCount;
      } else {
        OutWriteIndex = (OutWriteIndex + 1) % NUM_BUFFERS;
      }
      OutOffset = 0;
    }
    // A device still paused would never return its buffers: let it play them out.
    waveOutRestart(hWaveOut);
    OutPaused = 0;
    // The wait runs on the closing thread: no writer is inside the object any more. After a
    // time-out or a device failure nothing will come back: no second wait.
    int deviceError;
    {
      std::lock_guard<CCriticalSection> lock(Lock);
      deviceError = OutDeviceError;
    }
    if (OutErrorCode != ERR_OUT_TIMEOUT && !deviceError) OutErrorCode = WaitOutputQueueEmpty(false);
    waveOutReset(hWaveOut);
    for (WAVEHDR& hdr : OutHeaders)
      if (hdr.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(hWaveOut, &hdr);
    waveOutClose(hWaveOut);
    hWaveOut = nullptr;
  }
  OutEvent.Reset();
}

void CSound::Start() {
  if (hWaveIn && InOpenFlag.load()) {
    int rc = waveInStart(hWaveIn);
    if (rc != MMSYSERR_NOERROR && InErrorCode == 0) InErrorCode = rc;
  }
  if (hWaveOut && OutOpenFlag.load()) {
    OutPaused = 0;
    int rc = waveOutRestart(hWaveOut);
    if (rc != MMSYSERR_NOERROR && OutErrorCode == 0) OutErrorCode = rc;
  }
}
