// ALSA back end: one service thread per open PCM moves periods between the PCM (opened
// non-blocking) and the queued buffers; xruns are recovered with snd_pcm_recover.
#include "platform/WaveAlsa.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <chrono>
#include <thread>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <set>

#include "platform/WaveQueuedDevice.h"

namespace {

// ALSA prints its own diagnostics to stderr (for example for every missing card while the
// default device is resolved); the service reports errors by code instead.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void InstallQuietErrorHandler() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(&QuietAlsaErrors); });
}

constexpr int WAIT_SLICE_MS = 50;

// Errors of a running PCM that mean the device itself is gone, not a passing fault.
bool IsDeviceLoss(int alsaError) {
  switch (-alsaError) {
    case ENODEV: case ENXIO: case EIO: case EBADFD: case ENOTCONN: case ECONNRESET:
    case ECONNREFUSED: case ESHUTDOWN: case EHOSTDOWN: case EPIPE: case ENOENT:
      return true;
    default:
      return false;
  }
}

class CAlsaDevice : public CQueuedWaveDevice {
public:
  CAlsaDevice(WaveDeviceHandle* owner, const WAVEFORMATEX& fmt, snd_pcm_t* pcm, bool canPause,
              unsigned bufferUs)
      : CQueuedWaveDevice(owner, fmt, /*runningAtStart=*/!owner->input), m_pcm(pcm),
        m_canPause(canPause), m_bufferUs(bufferUs) {
    StartThread();
  }

protected:
  int Transfer(std::unique_lock<std::mutex>& lock, WAVEHDR* hdr, uint32_t& offset) override {
    if (TakeStarved()) m_callerGap = true;
    const uint32_t blockAlign = m_format.nBlockAlign;
    char* at = hdr->lpData + offset;
    const snd_pcm_uframes_t left = (hdr->dwBufferLength - offset) / blockAlign;
    lock.unlock();
    snd_pcm_sframes_t n = m_owner->input ? snd_pcm_readi(m_pcm, at, left)
                                         : snd_pcm_writei(m_pcm, at, left);
    if (n == -EAGAIN) {
      int w = snd_pcm_wait(m_pcm, WAIT_SLICE_MS);
      n = w < 0 ? w : 0;
    }
    int result = 0;
    if (n > 0) {
      m_callerGap = false;
      offset += static_cast<uint32_t>(n) * blockAlign;
      if (offset >= hdr->dwBufferLength) {
        if (m_owner->input) hdr->dwBytesRecorded = hdr->dwBufferLength;
        result = 1;
      }
    } else if (n == -EPIPE || n == -ESTRPIPE) {
      int rc = snd_pcm_recover(m_pcm, static_cast<int>(n), 1);
      if (rc < 0) {
        result = Failed(rc);
      } else {
        if (m_owner->input) snd_pcm_start(m_pcm);
        // Audio was lost. Input: always reported, the caller cannot see it otherwise (its
        // buffers being full is no loss by itself). Output: when the queue had run empty the
        // caller already knows (its own buffer accounting); otherwise the device was late.
        if (m_owner->input || !m_callerGap)
          m_owner->Notify(m_owner->input ? WIM_OVERRUN : WOM_UNDERRUN, 0);
        m_callerGap = false;
      }
    } else if (n < 0) {
      result = Failed(static_cast<int>(n));
    }
    lock.lock();
    return result;
  }

  // A failure while running. The device went away (unplugged, the sound server ended, its
  // connection broke): WAVERR_DEVICELOST with the system's text, which goes with the error
  // message (the service reads it from the handle in the callback). Other failures keep their
  // codes.
  int Failed(int alsaError) {
    snd_pcm_state_t state = snd_pcm_state(m_pcm);
    if (state == SND_PCM_STATE_DISCONNECTED || IsDeviceLoss(alsaError)) {
      std::snprintf(m_owner->failureText, sizeof m_owner->failureText, "%s",
                    snd_strerror(alsaError));
      return -WAVERR_DEVICELOST;
    }
    return -AlsaErrorToWaveError(alsaError);
  }

  int HwSetRunning(bool running) override {
    snd_pcm_state_t state = snd_pcm_state(m_pcm);
    if (state == SND_PCM_STATE_DISCONNECTED) {
      std::snprintf(m_owner->failureText, sizeof m_owner->failureText, "%s",
                    snd_strerror(-ENODEV));
      return WAVERR_DEVICELOST;
    }
    int rc = 0;
    if (m_owner->input) {
      if (running) {
        if (state != SND_PCM_STATE_PREPARED && state != SND_PCM_STATE_RUNNING)
          rc = snd_pcm_prepare(m_pcm);
        if (rc >= 0 && snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED) rc = snd_pcm_start(m_pcm);
      } else {
        snd_pcm_drop(m_pcm);
        rc = snd_pcm_prepare(m_pcm);
      }
    } else {
      if (running) {
        if (state == SND_PCM_STATE_PAUSED) rc = snd_pcm_pause(m_pcm, 0);
      } else if (state == SND_PCM_STATE_RUNNING) {
        if (m_canPause) {
          rc = snd_pcm_pause(m_pcm, 1);
        } else {
          snd_pcm_drop(m_pcm);
          rc = snd_pcm_prepare(m_pcm);
        }
      }
    }
    return rc < 0 ? AlsaErrorToWaveError(rc) : MMSYSERR_NOERROR;
  }

  void HwReset(bool nothingQueued) override {
    // A buffer counts as played once it is in ALSA's ring; when every buffer has come back,
    // let the ring play out (bounded by its length) instead of cutting off the last of it.
    if (!m_owner->input && nothingQueued) PlayOut();
    snd_pcm_drop(m_pcm);
    snd_pcm_prepare(m_pcm);
    m_callerGap = false;
  }

  int HwClose() override {
    int rc = 0;
    if (m_pcm) rc = snd_pcm_close(m_pcm);
    m_pcm = nullptr;
    return rc < 0 ? AlsaErrorToWaveError(rc) : MMSYSERR_NOERROR;
  }

private:
  void PlayOut() {
    snd_pcm_sframes_t delay = 0;
    snd_pcm_state_t state = snd_pcm_state(m_pcm);
    if (state == SND_PCM_STATE_PREPARED && snd_pcm_delay(m_pcm, &delay) == 0 && delay > 0)
      snd_pcm_start(m_pcm);  // below the start threshold: never started
    const auto limit = std::chrono::steady_clock::now() +
                       std::chrono::microseconds(m_bufferUs) + std::chrono::milliseconds(200);
    while (std::chrono::steady_clock::now() < limit) {
      if (snd_pcm_state(m_pcm) != SND_PCM_STATE_RUNNING) break;
      if (snd_pcm_delay(m_pcm, &delay) < 0 || delay <= 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }

  snd_pcm_t* m_pcm;
  bool m_canPause;
  unsigned m_bufferUs;       // length of ALSA's ring
  bool m_callerGap = false;  // service thread only
};

std::string HintText(void* hint, const char* id) {
  char* s = snd_device_name_get_hint(hint, id);
  if (!s) return {};
  std::string text(s);
  free(s);
  return text;
}

}  // namespace

int AlsaErrorToWaveError(int alsaError) {
  switch (-alsaError) {
    case 0: return MMSYSERR_NOERROR;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ECONNREFUSED:
    case EHOSTDOWN:
      return MMSYSERR_NODRIVER;  // no such card, unplugged, sound server not running
    case EBUSY:
    case EAGAIN:
      return MMSYSERR_ALLOCATED;
    case ENOMEM:
      return MMSYSERR_NOMEM;
    case EINVAL:
      return WAVERR_BADFORMAT;
    case EPERM:
    case EACCES:
      return MMSYSERR_NOTENABLED;
    case ENOSYS:
    case EOPNOTSUPP:
      return MMSYSERR_NOTSUPPORTED;
    case EBADFD:
      return MMSYSERR_INVALHANDLE;
    default:
      return MMSYSERR_ERROR;
  }
}

std::vector<AlsaDeviceEntry> ListAlsaDevices(bool input) {
  InstallQuietErrorHandler();
  std::vector<AlsaDeviceEntry> list;
  list.push_back({"default", "Default ALSA device"});
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || !hints) return list;
  std::set<std::string> seen{"default"};
  for (void** h = hints; *h; ++h) {
    std::string name = HintText(*h, "NAME");
    std::string ioid = HintText(*h, "IOID");
    if (!ioid.empty() && ioid != (input ? "Input" : "Output")) continue;
    // First line of the description: the card and device ("HDA Intel PCH, ALC892 Analog");
    // the second tells the access mode of the hint itself, which "plug" changes.
    std::string desc = HintText(*h, "DESC");
    desc = desc.substr(0, desc.find('\n'));
    if (name == "default") {
      if (!desc.empty()) list[0].description = desc;
      continue;
    }
    if (name.rfind("hw:", 0) != 0) continue;
    std::string plug = "plug" + name;
    if (!seen.insert(plug).second) continue;
    list.push_back({plug, desc.empty() ? name : desc});
  }
  snd_device_name_free_hint(hints);
  return list;
}

int OpenAlsaWaveDevice(WaveDeviceHandle* owner, const std::string& pcmName, const WAVEFORMATEX* fmt,
                       std::unique_ptr<CWaveDevice>* device, int* alsaError) {
  InstallQuietErrorHandler();
  *alsaError = 0;
  snd_pcm_t* pcm = nullptr;
  int rc = snd_pcm_open(&pcm, pcmName.c_str(),
                        owner->input ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK,
                        SND_PCM_NONBLOCK);
  if (rc < 0) {
    *alsaError = rc;
    return AlsaErrorToWaveError(rc);
  }
  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_sw_params_t* sw = nullptr;
  int result = MMSYSERR_NOERROR;
  bool canPause = false;
  unsigned bufferUs = owner->input ? 500000 : 250000;
  auto fail = [&](int err, int code) {
    if (!*alsaError) *alsaError = err;
    if (result == MMSYSERR_NOERROR) result = code;
  };
  if (snd_pcm_hw_params_malloc(&hw) < 0 || snd_pcm_sw_params_malloc(&sw) < 0) {
    fail(-ENOMEM, MMSYSERR_NOMEM);
  } else {
    unsigned rate = fmt->nSamplesPerSec;
    unsigned periodUs = 20000;
    snd_pcm_uframes_t bufferFrames = 0;
    if ((rc = snd_pcm_hw_params_any(pcm, hw)) < 0 ||
        (rc = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (rc = snd_pcm_hw_params_set_format(
             pcm, hw, fmt->wBitsPerSample == 16 ? SND_PCM_FORMAT_S16_LE : SND_PCM_FORMAT_U8)) < 0 ||
        (rc = snd_pcm_hw_params_set_channels(pcm, hw, fmt->nChannels)) < 0 ||
        (rc = snd_pcm_hw_params_set_rate_resample(pcm, hw, 1)) < 0 ||
        (rc = snd_pcm_hw_params_set_rate_near(pcm, hw, &rate, nullptr)) < 0) {
      fail(rc, WAVERR_BADFORMAT);
    } else if (rate != fmt->nSamplesPerSec) {
      fail(-EINVAL, WAVERR_BADFORMAT);  // the device cannot run at the nominal rate
    } else {
      snd_pcm_hw_params_set_period_time_near(pcm, hw, &periodUs, nullptr);
      snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &bufferUs, nullptr);
      if ((rc = snd_pcm_hw_params(pcm, hw)) < 0) {
        fail(rc, AlsaErrorToWaveError(rc));
      } else {
        canPause = snd_pcm_hw_params_can_pause(hw) != 0;
        snd_pcm_hw_params_get_buffer_size(hw, &bufferFrames);
        if ((rc = snd_pcm_sw_params_current(pcm, sw)) >= 0) {
          // Playback starts once half the ring is filled, so a short last buffer still plays.
          if (!owner->input && bufferFrames > 1)
            snd_pcm_sw_params_set_start_threshold(pcm, sw, bufferFrames / 2);
          rc = snd_pcm_sw_params(pcm, sw);
        }
        if (rc < 0) fail(rc, AlsaErrorToWaveError(rc));
      }
    }
  }
  if (hw) snd_pcm_hw_params_free(hw);
  if (sw) snd_pcm_sw_params_free(sw);
  if (result != MMSYSERR_NOERROR) {
    snd_pcm_close(pcm);
    return result;
  }
  *device = std::make_unique<CAlsaDevice>(owner, *fmt, pcm, canPause, bufferUs);
  return MMSYSERR_NOERROR;
}
