#pragma once
// The sound-card object: three input and three output buffers in rotation on a device of the
// wave-audio service, blocking reads and writes with time-outs, and conversion between the
// device's interleaved 8/16-bit PCM and separate left and right 16-bit arrays.
//
// Threads: InRead / OutWrite come from the audio thread; open, close and Start from the GUI
// thread while the audio thread waits (or at termination). The service's callbacks run on its
// own threads and touch only the indices, flags, counters and events, under Lock.
// Close may also be called while the audio thread is blocked in InRead / OutWrite: it wakes
// the waiter first and waits until it has left the object before the device goes.
#include <atomic>
#include <cstdint>

#include "engine/SoundErrorCodes.h"
#include "platform/Threads.h"
#include "platform/WaveAudio.h"

class CSound {
public:
  // Error codes of the sound-card object (texts: ErrorCodeToString). Device errors are the
  // service's MMSYSERR_* / WAVERR_* values.
  static constexpr int ERR_MEMORY = SND_ERR_MEMORY;              // buffer above 16,384 bytes
  static constexpr int ERR_IN_NOT_OPEN = SOUNDIN_ERR_NOT_OPEN;    // read while input is closed
  static constexpr int ERR_IN_OVERFLOW = SOUNDIN_ERR_OVERFLOW;    // input buffers overflowed
  static constexpr int ERR_IN_TIMEOUT = SOUNDIN_ERR_TIMEOUT;      // timed out waiting for input
  static constexpr int ERR_OUT_NOT_OPEN = SOUNDOUT_ERR_NOT_OPEN;  // write while output is closed
  static constexpr int ERR_OUT_UNDERFLOW = SOUNDOUT_ERR_UNDERFLOW;  // output buffers underflowed
  static constexpr int ERR_OUT_TIMEOUT = SOUNDOUT_ERR_TIMEOUT;    // timed out waiting for output
  static constexpr int ERR_ODD_ADDRESS = SOUND_ERR_ODD_ADDRESS;   // 16-bit word at an odd offset
  static constexpr int ERR_DEVICE_LOST = SOUND_ERR_DEVICE_LOST;   // the device went away

  static constexpr int NUM_BUFFERS = 3;
  static constexpr int MAX_BUFFER_BYTES = 16384;

  CSound();
  virtual ~CSound();  // closes what is still open
  CSound(const CSound&) = delete;
  CSound& operator=(const CSound&) = delete;

  // Opens input device devId (WAVE_MAPPER / -1: the default device) with fmt and three
  // buffers of bufferSamples frames each; sampleLimit > 0 closes the input after that many
  // frames have been read. start: start recording at once. Returns 0 or an error code.
  // bufferSamples 0 closes the input and returns 0. A buffer above 16,384 bytes gives 2100.
  int InOpen(int devId, const WAVEFORMATEX* fmt, int bufferSamples, int sampleLimit, bool start);
  int IsInputOpen() const { return InOpenFlag.load(std::memory_order_acquire); }
  // Reads n frames into left / right (mono: the same samples in both). Returns n, -1 on
  // failure (InErrorCode tells why), 0 when the sample limit closed the input. Blocks for
  // at most WaitTimeoutMs per buffer.
  int InRead(int16_t* left, int16_t* right, int n);
  void InClose();

  int OutOpen(int devId, const WAVEFORMATEX* fmt, int bufferSamples, int sampleLimit, bool start);
  int IsOutputOpen() const { return OutOpenFlag.load(std::memory_order_acquire); }
  // Writes n frames from left / right (mono: left only). Returns n, -1 on failure, 0 when n is
  // 0 or the sample limit closed the output without an error (n = 0 closes the output).
  int OutWrite(const int16_t* left, const int16_t* right, int n);
  // Waits until every queued output buffer has come back; returns OutErrorCode.
  int WaitForOutputDone();
  void OutClose();

  // Starts recording on an open input and restarts an open, paused output.
  void Start();

  // The system's reason of the last device failure of the input / output (for example "No
  // such device" after the device went away, code 2119), copied into text; empty when the
  // device gave none. Cleared by the next open.
  void InFailureText(char* text, int len);
  void OutFailureText(char* text, int len);
  // The device number actually open (after the default device's fallback), -1 when closed.
  int InDeviceId();
  int OutDeviceId();
  // Filled input buffers waiting to be read (a whole block waiting after a read: the input is
  // ahead of the reader).
  int InBuffersWaiting();
  // True when writing a full buffer now would wait for the device to play one (every other
  // buffer is queued).
  bool OutWriteWouldWait();
  // Hands every filled input buffer back to the device unread and forgets an overflow seen
  // meanwhile: for the time the input is open but not wanted (a wave file is analysed in its
  // place), so that nothing stale or lost is reported when reading resumes. Audio thread,
  // never waits. Number of buffers handed back.
  int InDiscardFilled();

  // Termination: a reader / writer blocked in InRead, OutWrite or WaitForOutputDone returns
  // at once, and later calls return at once too, with -1 and the error codes unchanged
  // (WakeRequested() tells the caller why). The devices stay open; the next InOpen / OutOpen
  // ends the request for its direction. Callable from any thread while the object lives.
  void WakeWaiters();
  bool WakeRequested() const { return m_inWake.load() || m_outWake.load(); }

  // Service callback (instance = this).
  static void WaveCallbackProc(WaveDeviceHandle* h, int msg, void* instance, uintptr_t param);

  // --- State, read by the debug window and the tests ---
  std::atomic<int32_t> InErrorCode{0};
  std::atomic<int32_t> OutErrorCode{0};
  std::atomic<int32_t> InOverflows{0};   // input buffers lost ("LostIn=")
  std::atomic<int32_t> OutUnderflows{0}; // output underflows ("LostOut=")

  CAutoEvent InEvent;   // wakes a waiting reader
  CAutoEvent OutEvent;  // wakes a waiting writer

  // Guarded by Lock.
  int32_t InWaiting = 0;
  int32_t InOverflow = 0;
  int32_t OutWaiting = 0;
  int32_t OutUnderflow = 0;
  int32_t InFilledIndex = 0;   // next input buffer the device will fill (0..2)
  int32_t InReadIndex = 0;     // input buffer being consumed by InRead
  int32_t InFilledCount = 0;   // filled input buffers not yet consumed (0..3)
  int32_t OutWriteIndex = 0;   // output buffer being filled by OutWrite
  int32_t OutDoneIndex = 0;    // next output buffer the device will return
  int32_t OutQueuedCount = 0;  // output buffers queued on the device (0..3)
  int32_t InDeviceError = 0;   // the device reported a failure (WIM_ERROR code)
  int32_t OutDeviceError = 0;
  char InDeviceErrorText[96] = {};   // the system's text of that failure
  char OutDeviceErrorText[96] = {};
  CCriticalSection Lock;

  int32_t OutPaused = 0;
  std::atomic<int32_t> InOpenFlag{0};
  std::atomic<int32_t> OutOpenFlag{0};
  int32_t InFrameBytes = 0;
  int32_t OutFrameBytes = 0;
  int32_t InBufferBytes = 0;
  int32_t OutBufferBytes = 0;
  int32_t InOffset = 0;
  int32_t OutOffset = 0;
  int32_t InSampleLimit = 0;
  int32_t InSampleCount = 0;
  int32_t OutSampleLimit = 0;
  int32_t OutSampleCount = 0;
  HWAVEIN hWaveIn = nullptr;
  HWAVEOUT hWaveOut = nullptr;
  WAVEFORMATEX OutFormat{};
  WAVEFORMATEX InFormat{};
  WAVEHDR InHeaders[NUM_BUFFERS]{};
  WAVEHDR OutHeaders[NUM_BUFFERS]{};
  alignas(8) char InBuffers[NUM_BUFFERS][MAX_BUFFER_BYTES];
  alignas(8) char OutBuffers[NUM_BUFFERS][MAX_BUFFER_BYTES];

  // Longest wait for a buffer in InRead / OutWrite / WaitForOutputDone (ms); tests shorten it.
  int WaitTimeoutMs = 2000;

private:
  void CloseInputDevice();
  void CloseOutputDevice();
  // Waits until no output buffer is queued (or the device failed, or no buffer came back for
  // WaitTimeoutMs: 2116). stopOnClose: give up when a close begins (callers other than it).
  int WaitOutputQueueEmpty(bool stopOnClose);
  void OnInputData();
  void OnOutputDone();
  // Close: wakes a reader / writer blocked in a wait and waits until it has left.
  void WakeAndDrainInput();
  void WakeAndDrainOutput();

  std::atomic<int> m_inCallers{0};   // threads inside InRead
  std::atomic<int> m_outCallers{0};  // threads inside OutWrite / WaitForOutputDone
  std::atomic<bool> m_inClosing{false};
  std::atomic<bool> m_outClosing{false};
  std::atomic<bool> m_inWake{false};   // WakeWaiters: input calls return at once
  std::atomic<bool> m_outWake{false};  // WakeWaiters: output calls return at once
};
