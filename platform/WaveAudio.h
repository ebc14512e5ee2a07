#pragma once
// Wave-audio service: numbered input and output devices that take PCM buffers in a queue
// and hand each one back through a callback, in the shape of the classic wave-in/wave-out
// interface that the sound-card object is written against.
//
// Devices, numbered separately for input and output:
//   0 .. n-2  the ALSA PCM devices: "default" first (PipeWire and PulseAudio are reached
//             through their ALSA plug-ins there), then one entry per card device
//             ("plughw:CARD=<id>,DEV=<n>", listed by snd_device_name_hint);
//   n-1       "Loop-back (no sound card)": paced by the monotonic clock at the nominal rate;
//             its input delivers what was played to its output (silence when nothing was).
//   WAVE_MAPPER (-1 or any negative number): the default device, ALSA's "default"; when that
//             cannot be opened because there is no sound card, the loop-back device is opened
//             instead (waveInGetID / waveOutGetID then tell the loop-back's number).
//
// Buffer contract: a buffer is prepared, then queued (waveInAddBuffer / waveOutWrite); each
// queued buffer comes back exactly once, in queue order, through the callback with
// WIM_DATA (input: filled, dwBytesRecorded set) or WOM_DONE (output: played). Reset returns
// every queued buffer before it returns. Callbacks run on the device's own service thread
// (never on the caller's), must not block, and may only take short locks and set events.
// A device that fails while running (unplugged, I/O error) stops moving data and sends one
// WIM_ERROR / WOM_ERROR with the error code in `param`; its buffers come back on reset. A device
// that went away (unplugged, sound server ended) reports WAVERR_DEVICELOST; waveGetFailureText
// then tells the system's own reason.
// A lost stretch of audio that the caller could not see (an ALSA xrun while buffers were
// queued) is reported by WIM_OVERRUN / WOM_UNDERRUN.
//
// All functions return 0 (MMSYSERR_NOERROR) or one of the error codes below.
#include <cstdint>

// Error codes of the service (the values of the classic interface; the program's texts for
// them come from ErrorCodeToString).
enum : int {
  MMSYSERR_NOERROR = 0,
  MMSYSERR_ERROR = 1,         // unspecified error (I/O error of the device)
  MMSYSERR_BADDEVICEID = 2,   // device number out of range / no such device
  MMSYSERR_NOTENABLED = 3,    // driver failed to start
  MMSYSERR_ALLOCATED = 4,     // device busy (used by another program or another open)
  MMSYSERR_INVALHANDLE = 5,   // handle is null or closed
  MMSYSERR_NODRIVER = 6,      // no sound card / device gone (unplugged)
  MMSYSERR_NOMEM = 7,
  MMSYSERR_NOTSUPPORTED = 8,
  MMSYSERR_BADERRNUM = 9,
  MMSYSERR_INVALFLAG = 10,
  MMSYSERR_INVALPARAM = 11,   // null pointer, buffer too large, queue full
  MMSYSERR_HANDLEBUSY = 12,
  MMSYSERR_NODRIVERCB = 20,
  WAVERR_BADFORMAT = 32,      // format not PCM 8/16 bit, 1/2 channels, 1..192,000 Hz, or refused
  WAVERR_STILLPLAYING = 33,   // unprepare/close while buffers are queued
  WAVERR_UNPREPARED = 34,     // buffer queued without prepare
  WAVERR_SYNC = 35,
  // The service's own: the device went away while running (the program's code range).
  WAVERR_DEVICELOST = 2119,
};

// Device number that selects the default device.
constexpr int WAVE_MAPPER = -1;

// Highest sample rate the service accepts.
constexpr uint32_t WAVE_MAX_SAMPLE_RATE = 192000;

// Caption of the built-in loop-back device.
constexpr const char* WAVE_LOOPBACK_NAME = "Loop-back (no sound card)";

constexpr uint16_t WAVE_FORMAT_PCM = 1;

// PCM format record as passed to open.
struct WAVEFORMATEX {
  uint16_t wFormatTag;       // WAVE_FORMAT_PCM
  uint16_t nChannels;        // 1 or 2
  uint32_t nSamplesPerSec;   // 1 .. WAVE_MAX_SAMPLE_RATE
  uint32_t nAvgBytesPerSec;  // nBlockAlign * nSamplesPerSec
  uint16_t nBlockAlign;      // nChannels * wBitsPerSample / 8
  uint16_t wBitsPerSample;   // 8 (unsigned) or 16 (signed little-endian)
  uint16_t cbSize;           // extra bytes, 0
};

// Buffer flags.
enum : uint32_t {
  WHDR_DONE = 1,      // set when the buffer came back
  WHDR_PREPARED = 2,  // set by prepare, cleared by unprepare
  WHDR_INQUEUE = 16,  // queued on a device
};

// Buffer descriptor: the caller owns it and its data; the service only borrows it between
// queueing and the callback that returns it.
struct WAVEHDR {
  char* lpData;              // sample bytes, interleaved frames
  uint32_t dwBufferLength;   // bytes in lpData (a multiple of nBlockAlign)
  uint32_t dwBytesRecorded;  // input: bytes filled when it came back
  uintptr_t dwUser;          // free for the caller
  uint32_t dwFlags;          // WHDR_*
};

// Callback messages.
enum : int {
  WIM_DATA = 0x3C0,     // input buffer filled (param: the WAVEHDR*)
  WOM_DONE = 0x3BD,     // output buffer played (param: the WAVEHDR*)
  WIM_ERROR = 0x3C8,    // input device failed (param: error code)
  WOM_ERROR = 0x3C9,    // output device failed (param: error code)
  WIM_OVERRUN = 0x3CA,  // input audio was lost although buffers were queued
  WOM_UNDERRUN = 0x3CB, // output ran dry although buffers were queued
};

struct WaveDeviceHandle;  // opaque
using HWAVEIN = WaveDeviceHandle*;
using HWAVEOUT = WaveDeviceHandle*;

// instance: the value given to open. param: a WAVEHDR* for WIM_DATA / WOM_DONE, an error
// code for WIM_ERROR / WOM_ERROR, 0 otherwise.
using WaveCallback = void (*)(WaveDeviceHandle* h, int msg, void* instance, uintptr_t param);

// Capabilities of one device, for the device lists.
constexpr int WAVE_MAXPNAMELEN = 128;
// dwFormats bits: rate (1=11,025, 2=22,050, 4=44,100, 8=96,000 Hz) x mono/stereo x 8/16 bit,
// as in the classic interface (0x400 = 44.1 kHz mono 16 bit).
enum : uint32_t {
  WAVE_FORMAT_1M08 = 0x1, WAVE_FORMAT_1S08 = 0x2, WAVE_FORMAT_1M16 = 0x4, WAVE_FORMAT_1S16 = 0x8,
  WAVE_FORMAT_2M08 = 0x10, WAVE_FORMAT_2S08 = 0x20, WAVE_FORMAT_2M16 = 0x40, WAVE_FORMAT_2S16 = 0x80,
  WAVE_FORMAT_4M08 = 0x100, WAVE_FORMAT_4S08 = 0x200, WAVE_FORMAT_4M16 = 0x400,
  WAVE_FORMAT_4S16 = 0x800,
  WAVE_FORMAT_96M08 = 0x10000, WAVE_FORMAT_96S08 = 0x20000, WAVE_FORMAT_96M16 = 0x40000,
  WAVE_FORMAT_96S16 = 0x80000,
};
struct WAVEINCAPSA {
  char szPname[WAVE_MAXPNAMELEN];  // product name, NUL-terminated
  uint32_t dwFormats;              // WAVE_FORMAT_* bits
  uint16_t wChannels;              // 1 or 2
};
using WAVEOUTCAPSA = WAVEINCAPSA;

// --- Enumeration (the lists are read afresh by the GetNumDevs calls; device numbers refer to
// the list read last, or read on first use) ---
int waveInGetNumDevs();
int waveOutGetNumDevs();
// caps of device devId (0 .. GetNumDevs()-1, or WAVE_MAPPER).
int waveInGetDevCapsA(int devId, WAVEINCAPSA* caps);
int waveOutGetDevCapsA(int devId, WAVEOUTCAPSA* caps);
// "<ALSA name>: <description>" (or WAVE_LOOPBACK_NAME) of a device, the same text as the
// caps' szPname; empty text for an unknown number. The text stays valid until the calling
// thread's next call of these two functions.
const char* waveInGetDeviceName(int devId);
const char* waveOutGetDeviceName(int devId);

// --- Input ---
int waveInOpen(HWAVEIN* phwi, int devId, const WAVEFORMATEX* fmt, WaveCallback cb, void* instance);
int waveInPrepareHeader(HWAVEIN h, WAVEHDR* hdr);
int waveInUnprepareHeader(HWAVEIN h, WAVEHDR* hdr);
int waveInAddBuffer(HWAVEIN h, WAVEHDR* hdr);
int waveInStart(HWAVEIN h);
int waveInStop(HWAVEIN h);
int waveInReset(HWAVEIN h);    // stops and returns every queued buffer (WIM_DATA) before it returns
int waveInClose(HWAVEIN h);    // WAVERR_STILLPLAYING while buffers are queued
int waveInGetID(HWAVEIN h, int* devId);  // the device actually opened (after the default's fallback)

// --- Output ---
int waveOutOpen(HWAVEOUT* phwo, int devId, const WAVEFORMATEX* fmt, WaveCallback cb, void* instance);
int waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* hdr);
int waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* hdr);
int waveOutWrite(HWAVEOUT h, WAVEHDR* hdr);  // queue for playing (plays at once unless paused)
int waveOutPause(HWAVEOUT h);
int waveOutRestart(HWAVEOUT h);
int waveOutReset(HWAVEOUT h);  // stops and returns every queued buffer (WOM_DONE) before it returns
int waveOutClose(HWAVEOUT h);
int waveOutGetID(HWAVEOUT h, int* devId);

// The system's text of the reason why device h failed while running (for example "No such
// device"), copied into text (len bytes, NUL-terminated); empty when the back end gave none.
// Callable from the device's callback.
int waveGetFailureText(WaveDeviceHandle* h, char* text, int len);

// Opens device devId with fmt and closes it again, without the default device's fallback to
// the loop-back device: 0 when the device itself could be opened, else the open's error code.
// For trying whether a device that went away is back. No callback ever runs.
int waveInProbe(int devId, const WAVEFORMATEX* fmt);
int waveOutProbe(int devId, const WAVEFORMATEX* fmt);

// True when input (or output) device devId, as returned by waveInGetID / waveOutGetID, is the
// loop-back device.
bool waveIsLoopbackDevice(bool input, int devId);

// Checks a PCM format against what the service accepts; 0 or WAVERR_BADFORMAT.
int WaveAudio_CheckFormat(const WAVEFORMATEX* fmt);
