#pragma once
// The card and processing sample rates shared by the audio thread, its DSP blocks and the GUI.
// CalcEffectiveSampleRates (audio-thread module) sets them from the settings and the card
// calibration; the DSP blocks (generator, mixer, big rings) read g_ProcessingSampleRate.
#include "engine/AtomicField.h"

extern AtomicField<double> g_InputSampleRate;       // calibrated input rate, Hz
extern AtomicField<double> g_OutputSampleRate;      // calibrated output rate, Hz
extern AtomicField<double> g_ProcessingSampleRate;  // rate of the processed signal, Hz
