#include "engine/WaveLogDecimator.h"

WaveLogDecimator g_WaveLogDecimator[2];
std::atomic<int32_t> g_WaveLogState{0};

void ResetWaveLogDecimator(WaveLogDecimator*) {}
int InitWaveLogDecimator(WaveLogDecimator*) { return 0; }
double InitWaveLogPassThrough(WaveLogDecimator*) { return 0; }
void WaveLogDecimate(WaveLogDecimator*, const double*, int) {}
