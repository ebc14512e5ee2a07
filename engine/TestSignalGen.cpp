#include "engine/TestSignalGen.h"

double g_CosineTable[kCosineTableSize];
bool g_GenUseSineTable = false;
GenSineState g_GenSineStates[3];
double g_GenAmPhase = 0, g_GenFmPhase = 0;
bool g_GenNoiseOn = false;
std::atomic<bool> g_NoiseParamsChanged{false};
double g_GenNoiseAmplitude = 0;
uint32_t g_GenNoiseSeed = 1234568;
int32_t g_GenLastRate = 0;

void InitTestSignalGenerator() {}
void GenerateTestSignal(double*, int) {}
void AddScaledClipped(const double*, double*, int, double, int*) {}
