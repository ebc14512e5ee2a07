#include "control/CircuitModel.h"

#include <cmath>
#include <cstring>

#include "engine/FreqMixer.h"
#include "engine/MiscUtils.h"
#include "engine/SndConfig.h"
#include "engine/TestSignalGen.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "platform/NumText.h"

void ComputeCircuitStates(const CircuitLiveState& s, int connected, int st[CB_COUNT])
{
  const bool running = s.threadExists && !s.threadFinished && !s.threadSuspended;

  int in = CIRCUIT_PASSIVE;
  if (s.threadExists && !s.threadFinished && s.soundExists && s.inputWanted) {
    if (s.inputOpen != s.inputWanted) in = CIRCUIT_MISMATCH;
    else if (s.soundError) in = CIRCUIT_ERROR;
    else if (connected == 20) in = CIRCUIT_SLIDER;
    else in = static_cast<int>(s.flags[20]);
  }
  st[CB_SOUND_IN] = in;

  int out = CIRCUIT_PASSIVE;
  if (s.threadExists && !s.threadSuspended && s.soundExists && s.outputWanted) {
    if (s.outputOpen != s.outputWanted) out = CIRCUIT_MISMATCH;
    else if (!s.outputOk) out = CIRCUIT_ERROR;
    else out = static_cast<int>(s.flags[22]);
  }
  st[CB_SOUND_OUT] = out;

  st[CB_IN_MONITOR] = s.inMonitorVisible ? CIRCUIT_ACTIVE : CIRCUIT_PASSIVE;
  st[CB_OUT_MONITOR] = s.outMonitorVisible ? CIRCUIT_ACTIVE : CIRCUIT_PASSIVE;

  for (int ch = 0; ch < 2; ++ch) {
    int m = CIRCUIT_PASSIVE;
    if (running && s.mixerRunning[ch]) {
      if (s.mixerRunning[ch] != s.mixerEnabled[ch]) m = CIRCUIT_MISMATCH;
      else m = static_cast<int>(s.flags[3 + ch]);
      if (ch == 0 && m == CIRCUIT_ACTIVE && connected == 1) m = CIRCUIT_SLIDER;
    }
    st[CB_MIXER_LEFT + ch] = m;

    int f = running ? static_cast<int>(s.flags[15 + ch]) : CIRCUIT_PASSIVE;
    if (f == CIRCUIT_ACTIVE && s.filterEdited[ch]) f = CIRCUIT_SLIDER;
    st[CB_FILTER_LEFT + ch] = f;

    st[CB_IN_ADDER_LEFT + ch] = s.inClips[ch] != 0 ? CIRCUIT_ERROR : CIRCUIT_PASSIVE;
    st[CB_OUT_ADDER_LEFT + ch] = s.outClips[ch] != 0 ? CIRCUIT_ERROR : CIRCUIT_PASSIVE;
  }

  if (!running || !s.generatorOn) st[CB_GENERATOR] = CIRCUIT_PASSIVE;
  else st[CB_GENERATOR] = connected >= 35 && connected <= 42 ? CIRCUIT_SLIDER : CIRCUIT_ACTIVE;

  for (int n = 5; n <= 12; ++n) {
    int a = CIRCUIT_PASSIVE;
    if (connected == n) a = CIRCUIT_SLIDER;
    else if (s.gain[n - 5] != 0.0) a = static_cast<int>(s.flags[n]);
    st[CB_AMPLIFIER5 + n - 5] = a;
  }

  st[CB_SPECTRUM] = s.spectrumOn ? CIRCUIT_ACTIVE : CIRCUIT_PASSIVE;
  const int digi = s.digimodeActive > 0 && (s.digiTx || s.digiRx) ? CIRCUIT_ACTIVE : CIRCUIT_PASSIVE;
  st[CB_DIGI_MODULATOR] = digi;
  st[CB_DIGI_DEMOD] = digi;
}

const CircuitSliderParam kCircuitSliderTable[kCircuitSliderRows] = {
    {1, "Local Oscillator frequency", "Hz", CSG_LO_FREQ},
    {5, "Left Filter output amplifier", "dB", CSG_GAIN_DB},
    {6, "Right Filter output amplifier", "dB", CSG_GAIN_DB},
    {7, "Modulator output amplifier", "x", CSG_GAIN_DB},
    {9, "Left Generator output amp", "x", CSG_GAIN_DB},
    {10, "Right Generator output amp", "x", CSG_GAIN_DB},
    {11, "Left to Right output amp", "x", CSG_GAIN_DB},
    {12, "Right to Left output amp", "x", CSG_GAIN_DB},
    {36, "Generator frequency 1", "Hz", CSG_GEN_FREQ},
    {37, "Generator frequency 2", "Hz", CSG_GEN_FREQ},
    {38, "Generator frequency 3", "Hz", CSG_GEN_FREQ},
    {39, "Generator amplitude 1", "V", CSG_GEN_AMPL_DB},
    {40, "Generator amplitude 2", "V", CSG_GEN_AMPL_DB},
    {41, "Generator amplitude 3", "V", CSG_GEN_AMPL_DB},
    {42, "Generator Noise Level", "dB", CSG_NOISE_DB},
};

int CircuitSlider_Row(int number)
{
  for (int i = 0; i < kCircuitSliderRows; ++i)
    if (kCircuitSliderTable[i].number == number) return i;
  return -1;
}

bool CircuitSlider_Range(int number, double rate, int* min, int* max)
{
  const int row = CircuitSlider_Row(number);
  if (row < 0) return false;
  switch (kCircuitSliderTable[row].group) {
    case CSG_LO_FREQ:
    case CSG_GEN_FREQ: {
      const double half = rate * 0.5;
      *min = 0;
      *max = half > 0.0 && half < 1e9 ? static_cast<int>(half) : 0;
      break;
    }
    case CSG_GAIN_DB: *min = -100; *max = 100; break;
    case CSG_GEN_AMPL_DB: *min = -100; *max = 10; break;
    case CSG_NOISE_DB: *min = -150; *max = -30; break;
  }
  return true;
}

double CircuitSlider_Read(int number)
{
  if (number == 1) return g_FreqMixers[0].OscFrequency;
  if (number >= 5 && number <= 12 && number != 8) return AmplitudeToDb(SndConfig.Gain[number - 5]);
  if (number >= 36 && number <= 38) return SndConfig.Sine[number - 36].SinFreq;
  if (number >= 39 && number <= 41) return AmplitudeToDb(SndConfig.Sine[number - 39].SinAmpl);
  if (number == 42) return SndConfig.NoiseLevel;
  return 0.0;
}

bool CircuitSlider_Write(int number, double value)
{
  if (CircuitSlider_Row(number) < 0) return false;
  if (number == 1) {
    SndConfig.MixerFrequency = value;
    FreqMixer_SetFrequency(&g_FreqMixers[0], value);
    return false;
  }
  if (number >= 5 && number <= 12) {
    SndConfig.Gain[number - 5] = DbToLinear(value);
    return false;
  }
  if (number >= 36 && number <= 38) {
    SndConfig.Sine[number - 36].SinFreq = value;
    SndConfig.Sine[number - 36].ParamsChanged = true;
  } else if (number >= 39 && number <= 41) {
    SndConfig.Sine[number - 39].SinAmpl = DbToLinear(value);
    SndConfig.Sine[number - 39].ParamsChanged = true;
  } else {
    SndConfig.NoiseLevel = value;
    g_NoiseParamsChanged = true;
  }
  return true;
}

const char* CircuitSlider_LabelUnit(int number)
{
  const int row = CircuitSlider_Row(number);
  if (row < 0) return "";
  const CircuitSliderGroup g = kCircuitSliderTable[row].group;
  return g == CSG_LO_FREQ || g == CSG_GEN_FREQ ? " Hz" : " dB";
}

int CircuitHilbertLength(const std::string& text, int oldLength)
{
  int n = StrToIntDef(text, oldLength);
  n = (n | 1) & ~2;
  if (n < 7 || n > 101) n = 37;
  return n;
}

// ---- interpreter word ----

namespace {

// Checks the property word at the parse position: -1 not a lower-case letter or not the word
// in full, -4 another first letter; the word and the blanks after it are skipped on success.
int TakeProperty(const char* word)
{
  const char c = *g_CliParsePtr;
  if (c < 'a' || c > 'z') return CLI_ERR_SYNTAX;
  if (c != word[0]) return CLI_ERR_UNKNOWN_COMMAND;
  const size_t len = std::strlen(word);
  if (std::strncmp(g_CliParsePtr, word, len) != 0) return CLI_ERR_SYNTAX;
  g_CliParsePtr += len;
  return CLI_OK;
}

}  // namespace

int CLI_EvalCircuitObject(int source, double* result)
{
  const int rc = TakeProperty("osc");
  if (rc < 0) return rc;
  if (*g_CliParsePtr == '.') ++g_CliParsePtr;
  return CLI_EvalCircuitOscFreq(source, result);
}

int CLI_EvalCircuitOscFreq(int source, double* result)
{
  const int rc = TakeProperty("freq");
  if (rc < 0) return rc;
  CLI_SkipSpaces();
  if (result) {
    *result = g_FreqMixers[0].OscFrequency;
    return CLI_OK;
  }
  if (*g_CliParsePtr == '=') ++g_CliParsePtr;
  double v = 0.0;
  const int err = CLI_EvalExpression(source, &v);
  if (err < 0) return err;
  // An overflowing value must reach neither the mixer nor the settings files.
  if (!std::isfinite(v)) return CLI_ERR_ILLEGAL_VALUE;
  SndConfig.MixerFrequency = v;
  FreqMixer_SetFrequency(&g_FreqMixers[0], v);
  return err;
}

void Circuit_RegisterWords() { CLI_RegisterObjectWord("circuit", CLI_EvalCircuitObject); }
