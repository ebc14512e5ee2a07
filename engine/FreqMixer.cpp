#include "engine/FreqMixer.h"

FreqMixerChain g_FreqMixers[2];
int32_t g_HilbertLength = 0;
double g_HilbertCoeffs[kMixerMaxHilbert];

void FreqMixer_Clear(FreqMixerChain*) {}
bool FreqMixer_Init(FreqMixerChain*, double, int, bool, bool) { return true; }
bool FreqMixer_SetFrequency(FreqMixerChain*, double) { return false; }
bool FreqMixer_SetFrequencyAtRate(FreqMixerChain*, double, double) { return false; }
void FreqMixer_Process(FreqMixerChain*, const double* in, double* out, int n) {
  for (int i = 0; i < n; ++i) out[i] = in[i];
}
int FreqMixer_HilbertLength(int) { return 1; }
