#pragma once
// The built-in loop-back device "Loop-back (no sound card)". Both directions are paced by the
// monotonic clock at the nominal rate of their format: a buffer of N frames comes back N/rate
// seconds after the previous one (or after it started, when the queue had run empty). What
// the output plays while an input is open goes through a FIFO to the input, from the moment an
// output buffer starts to play (converted between
// the two formats: mono is copied to both channels, 8-bit is the high byte of 16-bit); the
// input delivers silence when nothing was played. One input and one output can be open.
#include <memory>

#include "platform/WaveBackend.h"

// Opens the loop-back device for owner (owner->input tells the direction).
int OpenLoopbackWaveDevice(WaveDeviceHandle* owner, const WAVEFORMATEX* fmt,
                           std::unique_ptr<CWaveDevice>* device);
