#include "engine/SoundThreadLink.h"

#include "engine/SndConfig.h"

namespace {
CSoundThreadLink g_NoEngine;
CSoundThreadLink* g_Link = &g_NoEngine;
}  // namespace

CSoundThreadLink& SoundThreadLink() { return *g_Link; }

void SetSoundThreadLink(CSoundThreadLink* link) { g_Link = link ? link : &g_NoEngine; }

double CSoundThreadLink::CalcEffectiveSampleRates()
{
  const int divisor = SndConfig.SampleRateDivisor;
  const double rate = SndConfig.SampleRate;
  return divisor > 1 ? rate / divisor : rate;
}
