// The system back end: the ALSA devices, then the loop-back device; the default device falls
// back to the loop-back device when there is no sound card.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/WaveAlsa.h"
#include "platform/WaveBackend.h"
#include "platform/WaveLoopback.h"

namespace {

class CSystemWaveBackend : public CWaveBackend {
public:
  int NumDevices(bool input) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    Refresh(input);
    return static_cast<int>(List(input).size()) + 1;
  }

  int GetCaps(bool input, int devId, WAVEINCAPSA* caps) override {
    std::string name = DeviceName(input, devId);
    if (name.empty()) return MMSYSERR_BADDEVICEID;
    std::memset(caps, 0, sizeof(*caps));
    std::snprintf(caps->szPname, sizeof(caps->szPname), "%s", name.c_str());
    // ALSA devices are listed through "plug" (format and rate conversion) and the loop-back
    // device takes every format: all the classic formats are offered.
    caps->dwFormats = 0xFFF | WAVE_FORMAT_96M08 | WAVE_FORMAT_96S08 | WAVE_FORMAT_96M16 |
                      WAVE_FORMAT_96S16;
    caps->wChannels = 2;
    return MMSYSERR_NOERROR;
  }

  std::string DeviceName(bool input, int devId) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    EnsureListed(input);
    const auto& list = List(input);
    if (devId < 0) devId = 0;  // the default device
    if (devId < static_cast<int>(list.size())) {
      const AlsaDeviceEntry& e = list[devId];
      return e.name + ": " + e.description;
    }
    if (devId == static_cast<int>(list.size())) return WAVE_LOOPBACK_NAME;
    return {};
  }

  bool IsLoopback(bool input, int devId) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    EnsureListed(input);
    return devId == static_cast<int>(List(input).size());
  }

  int Open(WaveDeviceHandle* owner, int devId, const WAVEFORMATEX* fmt) override {
    const bool input = owner->input;
    std::string pcmName;
    int loopbackId;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      EnsureListed(input);
      const auto& list = List(input);
      loopbackId = static_cast<int>(list.size());
      if (devId > loopbackId) return MMSYSERR_BADDEVICEID;
      if (devId >= 0 && devId < loopbackId) pcmName = list[devId].name;
    }
    if (devId == loopbackId) {
      owner->devId = loopbackId;
      return OpenLoopbackWaveDevice(owner, fmt, &owner->device);
    }
    if (devId < 0) pcmName = "default";
    int alsaError = 0;
    int rc = OpenAlsaWaveDevice(owner, pcmName, fmt, &owner->device, &alsaError);
    if (rc == MMSYSERR_NOERROR) {
      owner->devId = devId < 0 ? 0 : devId;
      return rc;
    }
    // No sound card (or no sound server behind "default"): the default device falls back to
    // the loop-back device so that the program still runs. A busy card or a refused format is
    // reported as it is.
    if (devId < 0 && !owner->noFallback && LacksDevice(alsaError)) {
      owner->devId = loopbackId;
      return OpenLoopbackWaveDevice(owner, fmt, &owner->device);
    }
    return rc;
  }

private:
  static bool LacksDevice(int alsaError) {
    switch (-alsaError) {
      case ENOENT: case ENODEV: case ENXIO: case ECONNREFUSED: case EHOSTDOWN: case EIO:
        return true;
      default:
        return false;
    }
  }

  std::vector<AlsaDeviceEntry>& List(bool input) { return input ? m_inputs : m_outputs; }
  void Refresh(bool input) {
    List(input) = ListAlsaDevices(input);
    (input ? m_inputListed : m_outputListed) = true;
  }
  void EnsureListed(bool input) {
    if (!(input ? m_inputListed : m_outputListed)) Refresh(input);
  }

  std::mutex m_mutex;
  std::vector<AlsaDeviceEntry> m_inputs, m_outputs;
  bool m_inputListed = false, m_outputListed = false;
};

}  // namespace

std::unique_ptr<CWaveBackend> CreateSystemWaveBackend() {
  return std::make_unique<CSystemWaveBackend>();
}
