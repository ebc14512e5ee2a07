#pragma once
// ALSA devices of the wave-audio service.
#include <memory>
#include <string>
#include <vector>

#include "platform/WaveBackend.h"

struct AlsaDeviceEntry {
  std::string name;         // ALSA PCM name ("default", "plughw:CARD=PCH,DEV=0")
  std::string description;  // text for the device lists
};

// The ALSA PCM devices for one direction: "default" first, then one "plughw:" entry per card
// device that snd_device_name_hint lists for that direction (its "hw:" hints).
std::vector<AlsaDeviceEntry> ListAlsaDevices(bool input);

// Opens ALSA PCM `pcmName` with fmt. On failure *alsaError holds ALSA's (negative) code.
int OpenAlsaWaveDevice(WaveDeviceHandle* owner, const std::string& pcmName, const WAVEFORMATEX* fmt,
                       std::unique_ptr<CWaveDevice>* device, int* alsaError);

// An ALSA error code (negative errno) as a service error code.
int AlsaErrorToWaveError(int alsaError);
