#pragma once
// Back ends behind the wave-audio service (WaveAudio.h). The service owns the handles,
// checks arguments and buffer flags, and numbers the devices; a back end opens devices and
// moves the queued buffers. The system back end joins the ALSA devices and the loop-back
// device; tests install a back end of their own (a fake that completes buffers on command).
#include <memory>
#include <mutex>
#include <string>

#include "platform/WaveAudio.h"

class CWaveDevice;

// One open device as the service sees it. Created by the service; the back end's device
// reports through Complete / Notify (from its own thread).
struct WaveDeviceHandle {
  bool input = false;
  int devId = -1;  // the device actually opened
  WaveCallback callback = nullptr;
  void* instance = nullptr;
  WAVEFORMATEX format{};
  std::unique_ptr<CWaveDevice> device;
  std::mutex callMutex;  // serialises the caller-side operations on this handle
  // Open only the device asked for: the default device does not fall back to the loop-back.
  bool noFallback = false;
  // The system's text of a failure while running; written by the back end before it sends
  // WIM_ERROR / WOM_ERROR (its own thread), read in that callback.
  char failureText[96] = {};

  // Hands a queued buffer back: clears WHDR_INQUEUE, sets WHDR_DONE, calls the callback with
  // WIM_DATA or WOM_DONE. Each queued buffer goes through here exactly once.
  void Complete(WAVEHDR* hdr);
  // Any other message (WIM_ERROR, WOM_ERROR, WIM_OVERRUN, WOM_UNDERRUN); text (may be null):
  // the system's reason of a failure, kept in failureText for the callback.
  void Notify(int msg, uintptr_t param, const char* text = nullptr);
};

// An open device. Every call comes from the caller's thread, never from a callback; the
// service serialises them per handle. The back end must hand back each buffer given to
// AddBuffer exactly once, in order, through owner->Complete, and must have handed back all
// of them when Reset returns.
class CWaveDevice {
public:
  virtual ~CWaveDevice() = default;  // called after Close
  // Input: start recording. Output: restart after Pause.
  virtual int Start() = 0;
  // Input: stop recording (queued buffers stay queued). Output: pause.
  virtual int Stop() = 0;
  // Queue a prepared buffer (dwFlags has WHDR_INQUEUE already).
  virtual int AddBuffer(WAVEHDR* hdr) = 0;
  // Stop and hand back every queued buffer; output is left paused only if it was paused.
  virtual int Reset() = 0;
  // Release the device; no buffer is queued at this point. No callback after it returns.
  virtual int Close() = 0;
};

class CWaveBackend {
public:
  virtual ~CWaveBackend() = default;
  // Reads the device list afresh; number of devices in that direction.
  virtual int NumDevices(bool input) = 0;
  // Name and capabilities of device devId (0 .. NumDevices-1, or WAVE_MAPPER).
  virtual int GetCaps(bool input, int devId, WAVEINCAPSA* caps) = 0;
  virtual std::string DeviceName(bool input, int devId) = 0;
  virtual bool IsLoopback(bool input, int devId) = 0;
  // Opens device devId (WAVE_MAPPER: the default, with its fallback unless
  // owner->noFallback). On success sets owner->device and owner->devId. The format has been checked (WaveAudio_CheckFormat).
  virtual int Open(WaveDeviceHandle* owner, int devId, const WAVEFORMATEX* fmt) = 0;
};

// The system back end: ALSA devices, then the loop-back device.
std::unique_ptr<CWaveBackend> CreateSystemWaveBackend();

// Replaces the back end of the service (tests); nullptr restores the system back end.
// Only while no device is open. The service does not own the object.
void WaveAudio_SetBackend(CWaveBackend* backend);
