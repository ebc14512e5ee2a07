// Wave-audio service: argument and buffer-flag checks, handles, and the hand-over to the
// back end (the system one or a test's).
#include "platform/WaveAudio.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/WaveBackend.h"

namespace {

std::mutex g_serviceMutex;  // guards the back-end choice and the set of live handles
std::unique_ptr<CWaveBackend> g_systemBackend;
CWaveBackend* g_testBackend = nullptr;
std::set<WaveDeviceHandle*> g_liveHandles;

CWaveBackend& Backend() {
  std::lock_guard<std::mutex> lock(g_serviceMutex);
  if (g_testBackend) return *g_testBackend;
  if (!g_systemBackend) g_systemBackend = CreateSystemWaveBackend();
  return *g_systemBackend;
}

bool IsLive(WaveDeviceHandle* h, bool input) {
  std::lock_guard<std::mutex> lock(g_serviceMutex);
  return h && g_liveHandles.count(h) && h->input == input;
}

int Open(bool input, WaveDeviceHandle** out, int devId, const WAVEFORMATEX* fmt, WaveCallback cb,
         void* instance) {
  if (!out) return MMSYSERR_INVALPARAM;
  *out = nullptr;
  if (!fmt || !cb) return MMSYSERR_INVALPARAM;
  if (int rc = WaveAudio_CheckFormat(fmt)) return rc;
  if (devId < 0) devId = WAVE_MAPPER;
  auto h = std::make_unique<WaveDeviceHandle>();
  h->input = input;
  h->callback = cb;
  h->instance = instance;
  h->format = *fmt;
  h->devId = devId;
  int rc = Backend().Open(h.get(), devId, fmt);
  if (rc != MMSYSERR_NOERROR) return rc;
  if (!h->device) return MMSYSERR_ERROR;
  std::lock_guard<std::mutex> lock(g_serviceMutex);
  g_liveHandles.insert(h.get());
  *out = h.release();
  return MMSYSERR_NOERROR;
}

int Prepare(bool input, WaveDeviceHandle* h, WAVEHDR* hdr) {
  if (!IsLive(h, input)) return MMSYSERR_INVALHANDLE;
  if (!hdr || !hdr->lpData || hdr->dwBufferLength == 0) return MMSYSERR_INVALPARAM;
  if (hdr->dwBufferLength % h->format.nBlockAlign != 0) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> lock(h->callMutex);
  if (hdr->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  hdr->dwFlags = (hdr->dwFlags | WHDR_PREPARED) & ~WHDR_DONE;
  return MMSYSERR_NOERROR;
}

int Unprepare(bool input, WaveDeviceHandle* h, WAVEHDR* hdr) {
  if (!IsLive(h, input)) return MMSYSERR_INVALHANDLE;
  if (!hdr) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> lock(h->callMutex);
  if (hdr->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  hdr->dwFlags &= ~WHDR_PREPARED;
  return MMSYSERR_NOERROR;
}

int Queue(bool input, WaveDeviceHandle* h, WAVEHDR* hdr) {
  if (!IsLive(h, input)) return MMSYSERR_INVALHANDLE;
  if (!hdr || !hdr->lpData) return MMSYSERR_INVALPARAM;
  std::lock_guard<std::mutex> lock(h->callMutex);
  if (!(hdr->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (hdr->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (hdr->dwBufferLength == 0 || hdr->dwBufferLength % h->format.nBlockAlign != 0)
    return MMSYSERR_INVALPARAM;
  hdr->dwFlags = (hdr->dwFlags | WHDR_INQUEUE) & ~WHDR_DONE;
  if (input) hdr->dwBytesRecorded = 0;
  int rc = h->device->AddBuffer(hdr);
  if (rc != MMSYSERR_NOERROR) hdr->dwFlags &= ~WHDR_INQUEUE;
  return rc;
}

template <typename F>
int Call(bool input, WaveDeviceHandle* h, F&& f) {
  if (!IsLive(h, input)) return MMSYSERR_INVALHANDLE;
  std::lock_guard<std::mutex> lock(h->callMutex);
  return f(*h->device);
}

int Close(bool input, WaveDeviceHandle* h) {
  if (!IsLive(h, input)) return MMSYSERR_INVALHANDLE;
  {
    std::lock_guard<std::mutex> lock(h->callMutex);
    int rc = h->device->Close();
    if (rc == WAVERR_STILLPLAYING) return rc;
    h->device.reset();
  }
  {
    std::lock_guard<std::mutex> lock(g_serviceMutex);
    g_liveHandles.erase(h);
  }
  delete h;
  return MMSYSERR_NOERROR;
}

int GetId(bool input, WaveDeviceHandle* h, int* devId) {
  if (!IsLive(h, input)) return MMSYSERR_INVALHANDLE;
  if (!devId) return MMSYSERR_INVALPARAM;
  *devId = h->devId;
  return MMSYSERR_NOERROR;
}

void IgnoreCallback(WaveDeviceHandle*, int, void*, uintptr_t) {}

int Probe(bool input, int devId, const WAVEFORMATEX* fmt) {
  if (!fmt) return MMSYSERR_INVALPARAM;
  if (int rc = WaveAudio_CheckFormat(fmt)) return rc;
  WaveDeviceHandle h;
  h.input = input;
  h.callback = &IgnoreCallback;
  h.format = *fmt;
  h.devId = devId < 0 ? WAVE_MAPPER : devId;
  h.noFallback = true;
  int rc = Backend().Open(&h, h.devId, fmt);
  if (rc == MMSYSERR_NOERROR && !h.device) rc = MMSYSERR_ERROR;
  if (h.device) {
    h.device->Close();
    h.device.reset();
  }
  return rc;
}

thread_local std::string t_nameBuffer;

const char* Name(bool input, int devId) {
  t_nameBuffer = Backend().DeviceName(input, devId);
  return t_nameBuffer.c_str();
}

}  // namespace

void WaveDeviceHandle::Complete(WAVEHDR* hdr) {
  hdr->dwFlags = (hdr->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
  callback(this, input ? WIM_DATA : WOM_DONE, instance, reinterpret_cast<uintptr_t>(hdr));
}

void WaveDeviceHandle::Notify(int msg, uintptr_t param, const char* text) {
  if (text) std::snprintf(failureText, sizeof failureText, "%s", text);
  callback(this, msg, instance, param);
}

int waveGetFailureText(WaveDeviceHandle* h, char* text, int len) {
  if (!h || !text || len < 1) return MMSYSERR_INVALPARAM;
  std::snprintf(text, static_cast<size_t>(len), "%s", h->failureText);
  return MMSYSERR_NOERROR;
}

void WaveAudio_SetBackend(CWaveBackend* backend) {
  std::lock_guard<std::mutex> lock(g_serviceMutex);
  g_testBackend = backend;
}

int WaveAudio_CheckFormat(const WAVEFORMATEX* fmt) {
  if (!fmt) return MMSYSERR_INVALPARAM;
  if (fmt->wFormatTag != WAVE_FORMAT_PCM) return WAVERR_BADFORMAT;
  if (fmt->nChannels < 1 || fmt->nChannels > 2) return WAVERR_BADFORMAT;
  if (fmt->wBitsPerSample != 8 && fmt->wBitsPerSample != 16) return WAVERR_BADFORMAT;
  if (fmt->nSamplesPerSec < 1 || fmt->nSamplesPerSec > WAVE_MAX_SAMPLE_RATE) return WAVERR_BADFORMAT;
  if (fmt->nBlockAlign != fmt->nChannels * fmt->wBitsPerSample / 8) return WAVERR_BADFORMAT;
  return MMSYSERR_NOERROR;
}

int waveInGetNumDevs() { return Backend().NumDevices(true); }
int waveOutGetNumDevs() { return Backend().NumDevices(false); }

int waveInGetDevCapsA(int devId, WAVEINCAPSA* caps) {
  if (!caps) return MMSYSERR_INVALPARAM;
  return Backend().GetCaps(true, devId < 0 ? WAVE_MAPPER : devId, caps);
}
int waveOutGetDevCapsA(int devId, WAVEOUTCAPSA* caps) {
  if (!caps) return MMSYSERR_INVALPARAM;
  return Backend().GetCaps(false, devId < 0 ? WAVE_MAPPER : devId, caps);
}
const char* waveInGetDeviceName(int devId) { return Name(true, devId); }
const char* waveOutGetDeviceName(int devId) { return Name(false, devId); }
bool waveIsLoopbackDevice(bool input, int devId) { return devId >= 0 && Backend().IsLoopback(input, devId); }

int waveInProbe(int devId, const WAVEFORMATEX* fmt) { return Probe(true, devId, fmt); }
int waveOutProbe(int devId, const WAVEFORMATEX* fmt) { return Probe(false, devId, fmt); }

int waveInOpen(HWAVEIN* phwi, int devId, const WAVEFORMATEX* fmt, WaveCallback cb, void* instance) {
  return Open(true, phwi, devId, fmt, cb, instance);
}
int waveInPrepareHeader(HWAVEIN h, WAVEHDR* hdr) { return Prepare(true, h, hdr); }
int waveInUnprepareHeader(HWAVEIN h, WAVEHDR* hdr) { return Unprepare(true, h, hdr); }
int waveInAddBuffer(HWAVEIN h, WAVEHDR* hdr) { return Queue(true, h, hdr); }
int waveInStart(HWAVEIN h) { return Call(true, h, [](CWaveDevice& d) { return d.Start(); }); }
int waveInStop(HWAVEIN h) { return Call(true, h, [](CWaveDevice& d) { return d.Stop(); }); }
int waveInReset(HWAVEIN h) { return Call(true, h, [](CWaveDevice& d) { return d.Reset(); }); }
int waveInClose(HWAVEIN h) { return Close(true, h); }
int waveInGetID(HWAVEIN h, int* devId) { return GetId(true, h, devId); }

int waveOutOpen(HWAVEOUT* phwo, int devId, const WAVEFORMATEX* fmt, WaveCallback cb, void* instance) {
  return Open(false, phwo, devId, fmt, cb, instance);
}
int waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* hdr) { return Prepare(false, h, hdr); }
int waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* hdr) { return Unprepare(false, h, hdr); }
int waveOutWrite(HWAVEOUT h, WAVEHDR* hdr) { return Queue(false, h, hdr); }
int waveOutPause(HWAVEOUT h) { return Call(false, h, [](CWaveDevice& d) { return d.Stop(); }); }
int waveOutRestart(HWAVEOUT h) { return Call(false, h, [](CWaveDevice& d) { return d.Start(); }); }
int waveOutReset(HWAVEOUT h) { return Call(false, h, [](CWaveDevice& d) { return d.Reset(); }); }
int waveOutClose(HWAVEOUT h) { return Close(false, h); }
int waveOutGetID(HWAVEOUT h, int* devId) { return GetId(false, h, devId); }
