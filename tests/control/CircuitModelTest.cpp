// Block states, slider parameters, the Hilbert-length rule and the circuit word, without Qt.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "control/CircuitModel.h"
#include "engine/FreqMixer.h"
#include "engine/MiscUtils.h"
#include "engine/SampleRates.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/TestSignalGen.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"

namespace {

// A running thread with open, wanted devices, both mixers running as set, every stage active.
CircuitLiveState Running()
{
  CircuitLiveState s;
  s.threadExists = s.soundExists = true;
  s.inputWanted = s.outputWanted = s.inputOpen = s.outputOpen = true;
  for (uint32_t& f : s.flags) f = 1;
  s.mixerRunning[0] = s.mixerRunning[1] = true;
  s.mixerEnabled[0] = s.mixerEnabled[1] = true;
  s.generatorOn = true;
  for (double& g : s.gain) g = 1.0;
  s.spectrumOn = true;
  return s;
}

TEST(CircuitStates, EachBlockFromATableOfLiveStates)
{
  struct Case {
    const char* what;
    std::function<void(CircuitLiveState&)> change;
    int connected;
    CircuitBlock block;
    int state;
  } cases[] = {
      {"input runs", [](auto&) {}, -1, CB_SOUND_IN, 1},
      {"input read failed", [](auto& s) { s.flags[20] = 3; }, -1, CB_SOUND_IN, 3},
      {"no thread", [](auto& s) { s.threadExists = false; }, -1, CB_SOUND_IN, 0},
      {"thread ended", [](auto& s) { s.threadFinished = true; }, -1, CB_SOUND_IN, 0},
      {"no sound object", [](auto& s) { s.soundExists = false; }, -1, CB_SOUND_IN, 0},
      {"input not wanted", [](auto& s) { s.inputWanted = false; }, -1, CB_SOUND_IN, 0},
      {"input not open yet", [](auto& s) { s.inputOpen = false; }, -1, CB_SOUND_IN, 4},
      {"card error", [](auto& s) { s.soundError = true; }, -1, CB_SOUND_IN, 3},
      {"output runs", [](auto&) {}, -1, CB_SOUND_OUT, 1},
      {"output suspended", [](auto& s) { s.threadSuspended = true; }, -1, CB_SOUND_OUT, 0},
      {"output not wanted", [](auto& s) { s.outputWanted = false; }, -1, CB_SOUND_OUT, 0},
      {"output not open", [](auto& s) { s.outputOpen = false; }, -1, CB_SOUND_OUT, 4},
      {"output write failed", [](auto& s) { s.outputOk = false; }, -1, CB_SOUND_OUT, 3},
      {"output underflow flag", [](auto& s) { s.flags[22] = 3; }, -1, CB_SOUND_OUT, 3},
      {"input monitor shown", [](auto& s) { s.inMonitorVisible = true; }, -1, CB_IN_MONITOR, 1},
      {"output monitor hidden", [](auto&) {}, -1, CB_OUT_MONITOR, 0},
      {"left mixer runs", [](auto&) {}, -1, CB_MIXER_LEFT, 1},
      {"left mixer on the slider", [](auto&) {}, 1, CB_MIXER_LEFT, 2},
      {"right mixer not on the slider", [](auto&) {}, 1, CB_MIXER_RIGHT, 1},
      {"right mixer idle", [](auto& s) { s.flags[4] = 0; }, -1, CB_MIXER_RIGHT, 0},
      {"mixer stopped", [](auto& s) { s.mixerRunning[0] = false; }, -1, CB_MIXER_LEFT, 0},
      {"mixer runs, setting off", [](auto& s) { s.mixerEnabled[1] = false; }, -1, CB_MIXER_RIGHT, 4},
      {"mixer, thread suspended", [](auto& s) { s.threadSuspended = true; }, -1, CB_MIXER_LEFT, 0},
      {"filter ran", [](auto&) {}, -1, CB_FILTER_RIGHT, 1},
      {"filter edited", [](auto& s) { s.filterEdited[0] = true; }, -1, CB_FILTER_LEFT, 2},
      {"filter did not run", [](auto& s) { s.flags[15] = 0; }, -1, CB_FILTER_LEFT, 0},
      {"filter, thread suspended", [](auto& s) { s.threadSuspended = true; }, -1, CB_FILTER_LEFT, 0},
      {"generator on", [](auto&) {}, -1, CB_GENERATOR, 1},
      {"generator on the slider", [](auto&) {}, 39, CB_GENERATOR, 2},
      {"generator, gain slider", [](auto&) {}, 5, CB_GENERATOR, 1},
      {"generator off", [](auto& s) { s.generatorOn = false; }, 36, CB_GENERATOR, 0},
      {"generator, no thread", [](auto& s) { s.threadExists = false; }, -1, CB_GENERATOR, 0},
      {"input adder clipped", [](auto& s) { s.inClips[1] = 7; }, -1, CB_IN_ADDER_RIGHT, 3},
      {"input adder fine", [](auto& s) { s.inClips[1] = 7; }, -1, CB_IN_ADDER_LEFT, 0},
      {"output adder clipped", [](auto& s) { s.outClips[0] = 1; }, -1, CB_OUT_ADDER_LEFT, 3},
      {"amplifier 5 active", [](auto&) {}, -1, CB_AMPLIFIER5, 1},
      {"amplifier 12 on the slider", [](auto&) {}, 12, static_cast<CircuitBlock>(CB_AMPLIFIER5 + 7), 2},
      {"amplifier 9, gain 0", [](auto& s) { s.gain[4] = 0.0; }, -1, static_cast<CircuitBlock>(CB_AMPLIFIER5 + 4), 0},
      {"amplifier 11 flag off", [](auto& s) { s.flags[11] = 0; }, -1, static_cast<CircuitBlock>(CB_AMPLIFIER5 + 6), 0},
      {"spectrum on", [](auto&) {}, -1, CB_SPECTRUM, 1},
      {"spectrum off", [](auto& s) { s.spectrumOn = false; }, -1, CB_SPECTRUM, 0},
      {"digimode off", [](auto& s) { s.digiTx = true; }, -1, CB_DIGI_MODULATOR, 0},
      {"digimode receiving", [](auto& s) { s.digimodeActive = 1; s.digiRx = true; }, -1, CB_DIGI_DEMOD, 1},
      {"digimode active, idle", [](auto& s) { s.digimodeActive = 1; }, -1, CB_DIGI_MODULATOR, 0},
  };
  for (const Case& c : cases) {
    CircuitLiveState s = Running();
    c.change(s);
    int states[CB_COUNT];
    ComputeCircuitStates(s, c.connected, states);
    EXPECT_EQ(states[c.block], c.state) << c.what;
  }
}

struct CircuitModelTest : ::testing::Test {
  void SetUp() override
  {
    SetDefaultSettings();
    CLI_Init();
    g_ProcessingSampleRate = 11025.0;
    FreqMixer_Clear(&g_FreqMixers[0]);
    FreqMixer_Init(&g_FreqMixers[0], 700.0, 0, false, false);
    for (auto& s : SndConfig.Sine) s.ParamsChanged = false;
    g_NoiseParamsChanged = false;
  }
  void TearDown() override { CLI_RegisterObjectWord("circuit", nullptr); }
};

TEST_F(CircuitModelTest, EachSliderParameterHasItsRangeValueAndWrite)
{
  SndConfig.Gain[2] = 0.5;
  SndConfig.Sine[1].SinAmpl = 0.0;
  struct Case {
    int number;
    int min, max;
    double value;  // read before writing
    double write;  // written in slider units
    std::function<double()> field;
    double stored;
    bool generator;
  } cases[] = {
      {1, 0, 5512, g_FreqMixers[0].OscFrequency, 1000.0, [] { return SndConfig.MixerFrequency.load(); }, 1000.0, false},
      {5, -100, 100, 0.0, -6.0, [] { return SndConfig.Gain[0].load(); }, 0.501187, false},
      {6, -100, 100, 0.0, 20.0, [] { return SndConfig.Gain[1].load(); }, 10.0, false},
      {7, -100, 100, -6.0206, 0.0, [] { return SndConfig.Gain[2].load(); }, 1.0, false},
      {9, -100, 100, 0.0, -20.0, [] { return SndConfig.Gain[4].load(); }, 0.1, false},
      {10, -100, 100, 0.0, -40.0, [] { return SndConfig.Gain[5].load(); }, 0.01, false},
      {11, -100, 100, 0.0, 6.0, [] { return SndConfig.Gain[6].load(); }, 1.995262, false},
      {12, -100, 100, 0.0, -100.0, [] { return SndConfig.Gain[7].load(); }, 1e-5, false},
      {36, 0, 5512, 900.0, 1500.0, [] { return SndConfig.Sine[0].SinFreq.load(); }, 1500.0, true},
      {37, 0, 5512, 1000.0, 2500.0, [] { return SndConfig.Sine[1].SinFreq.load(); }, 2500.0, true},
      {38, 0, 5512, 1100.0, 10.0, [] { return SndConfig.Sine[2].SinFreq.load(); }, 10.0, true},
      {39, -100, 10, -20.0, -6.0, [] { return SndConfig.Sine[0].SinAmpl.load(); }, 0.501187, true},
      {40, -100, 10, -100.0, 0.0, [] { return SndConfig.Sine[1].SinAmpl.load(); }, 1.0, true},
      {41, -100, 10, -20.0, 10.0, [] { return SndConfig.Sine[2].SinAmpl.load(); }, 3.162278, true},
      {42, -150, -30, -50.0, -90.0, [] { return SndConfig.NoiseLevel.load(); }, -90.0, true},
  };
  ASSERT_EQ(std::size(cases), static_cast<size_t>(kCircuitSliderRows));
  for (const Case& c : cases) {
    EXPECT_GE(CircuitSlider_Row(c.number), 0) << c.number;
    int lo = 1, hi = 1;
    ASSERT_TRUE(CircuitSlider_Range(c.number, 11025.0, &lo, &hi)) << c.number;
    EXPECT_EQ(lo, c.min) << c.number;
    EXPECT_EQ(hi, c.max) << c.number;
    EXPECT_NEAR(CircuitSlider_Read(c.number), c.value, 1e-3) << c.number;
    for (auto& s : SndConfig.Sine) s.ParamsChanged = false;
    g_NoiseParamsChanged = false;
    EXPECT_EQ(CircuitSlider_Write(c.number, c.write), c.generator) << c.number;
    EXPECT_NEAR(c.field(), c.stored, 1e-5 * std::max(1.0, std::fabs(c.stored))) << c.number;
    if (c.number >= 36 && c.number <= 41) {
      EXPECT_TRUE(SndConfig.Sine[(c.number - 36) % 3].ParamsChanged) << c.number;
    }
    if (c.number == 42) {
      EXPECT_TRUE(g_NoiseParamsChanged);
    }
  }
  EXPECT_NEAR(g_FreqMixers[0].OscFrequency, 1000.0, 3.0);  // the mixer follows number 1
  // Frequency ranges follow the processing rate.
  int lo = 0, hi = 0;
  ASSERT_TRUE(CircuitSlider_Range(37, 48000.0, &lo, &hi));
  EXPECT_EQ(hi, 24000);
}

TEST_F(CircuitModelTest, UnknownNumbersHaveNoRowRangeOrWrite)
{
  const T_SndConfig before = SndConfig;
  for (int n : {-1, 0, 2, 8, 20, 35, 43, 1000}) {
    EXPECT_EQ(CircuitSlider_Row(n), -1) << n;
    int lo = 7, hi = 7;
    EXPECT_FALSE(CircuitSlider_Range(n, 11025.0, &lo, &hi)) << n;
    EXPECT_EQ(lo, 7);
    EXPECT_FALSE(CircuitSlider_Write(n, 123.0)) << n;
  }
  for (int i = 0; i < 8; ++i) EXPECT_EQ(SndConfig.Gain[i], before.Gain[i]);
  EXPECT_EQ(SndConfig.MixerFrequency, before.MixerFrequency);
}

TEST(CircuitHilbert, LengthRule)
{
  struct Case {
    const char* text;
    int old, length;
  } cases[] = {{"40", 37, 41}, {"39", 37, 37}, {"7", 37, 37}, {"200", 37, 37}, {"9", 37, 9},
               {"101", 37, 101}, {"100", 37, 101}, {"102", 37, 101}, {"104", 37, 37}, {"abc", 57, 57}, {"-5", 37, 37},
               {"", 45, 45}, {"13", 37, 13}, {"14", 37, 13}};
  for (const Case& c : cases) EXPECT_EQ(CircuitHilbertLength(c.text, c.old), c.length) << c.text;
}

TEST_F(CircuitModelTest, OscFreqWordReadsSetsAndRefuses)
{
  Circuit_RegisterWords();
  EXPECT_NEAR(CLI_CalcExpression2(2, "circuit.osc.freq", 0, 0), g_FreqMixers[0].OscFrequency, 1e-9);
  EXPECT_NEAR(CLI_CalcExpression2(2, "ci.osc.freq", 0, 0), g_FreqMixers[0].OscFrequency, 1e-9);
  ASSERT_EQ(CLI_ExecuteMacro(2, "circuit.osc.freq=1234.5"), 0);
  EXPECT_EQ(SndConfig.MixerFrequency, 1234.5);
  EXPECT_NEAR(g_FreqMixers[0].OscFrequency, 1234.5, 3.0);
  EXPECT_NEAR(CLI_CalcExpression2(2, "circuit.osc.freq", 0, 0), g_FreqMixers[0].OscFrequency, 1e-9);
  ASSERT_EQ(CLI_ExecuteMacro(2, "circuit.oscfreq 500"), 0);
  EXPECT_EQ(SndConfig.MixerFrequency, 500.0);

  struct Case {
    const char* text;  // after "circuit."
    int code;
    const char* rest;
  } cases[] = {
      {"Osc.freq=1", CLI_ERR_SYNTAX, "Osc.freq=1"},  {"x.freq=1", CLI_ERR_UNKNOWN_COMMAND, "x.freq=1"},
      {"os.freq=1", CLI_ERR_SYNTAX, "os.freq=1"},    {"osc.Freq=1", CLI_ERR_SYNTAX, "Freq=1"},
      {"osc.gain=1", CLI_ERR_UNKNOWN_COMMAND, "gain=1"}, {"osc.fre=1", CLI_ERR_SYNTAX, "fre=1"},
      {"osc.freq=1e999", CLI_ERR_ILLEGAL_VALUE, ""}, {"osc.freq=1/0", CLI_ERR_DIV_BY_ZERO, nullptr},
      {"", CLI_ERR_SYNTAX, ""},
  };
  const double oscBefore = g_FreqMixers[0].OscFrequency;
  for (const Case& c : cases) {
    g_CliParsePtr = c.text;
    EXPECT_EQ(CLI_EvalCircuitObject(2, nullptr), c.code) << c.text;
    if (c.rest) {
      EXPECT_EQ(std::string(g_CliParsePtr), c.rest) << c.text;
    }
  }
  EXPECT_EQ(SndConfig.MixerFrequency, 500.0);
  EXPECT_EQ(g_FreqMixers[0].OscFrequency, oscBefore);
  CLI_RegisterObjectWord("circuit", nullptr);
  EXPECT_EQ(CLI_ExecuteMacro(2, "circuit.osc.freq=1"), CLI_ERR_UNKNOWN_COMMAND);
}

TEST(DelayedEdit, TicksForTimerIntervals)
{
  EXPECT_EQ(DelayedEditTicks(500), 6);
  EXPECT_EQ(DelayedEditTicks(100), 30);
  EXPECT_EQ(DelayedEditTicks(50), 60);
  EXPECT_EQ(DelayedEditTicks(0), 3000);
}

}  // namespace
