#include "engine/SampleRates.h"

AtomicField<double> g_InputSampleRate{0.0};
AtomicField<double> g_OutputSampleRate{0.0};
AtomicField<double> g_ProcessingSampleRate{0.0};
