// The signal-path window with the real audio thread on the loop-back device: a generator tone
// into the input, filters bypassed, the spectrum at the output; the left mixer shifts the tone.
#include <QAction>
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>

#include "control/forms/CircuitForm.h"
#include "control/forms/GeneratorForm.h"
#include "engine/FreqMixer.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "interp/CliCommands.h"
#include "interp/CliSpectrum.h"
#include "mainwin/SoundEngineLink.h"
#include "platform/QtSyncBridge.h"
#include "platform/WaveAudio.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

double LevelAt(double f)
{
  const SpectrumBuffer& s = g_LatestSpectrum;
  if (s.bin_width_hz <= 0 || s.nr_of_bins <= 0) return -999.0;
  const int i = static_cast<int>(std::lround((f - s.offset_hz) / s.bin_width_hz));
  if (i < 0 || i >= s.nr_of_bins) return -999.0;
  return s.bins[i] * s.scale_factor;
}

// The oscillator alone is at -20 dB; a DSB mixer halves it into each sideband (-26 dB).
bool Tone(double f) { return LevelAt(f) > -32.0; }
bool NoTone(double f) { return LevelAt(f) < -70.0; }

struct CircuitThreadTest : MainWindowTest {
  void SetUp() override
  {
    MainWindowTest::SetUp();
    const int in = waveInGetNumDevs() - 1, out = waveOutGetNumDevs() - 1;
    vt_test::WriteWholeFile(
        dir.file("SETTINGS.INI"),
        "[SOUNDCARD]\nAudioInputDevID=" + std::to_string(in) + "\nAudioOutputDevID=" +
            std::to_string(out) + "\nSampleRate=11025\nSampleRateDivisor=1\n"
            "[SOUND_THREAD]\nStartSoundThread=1\nStartSoundInput=1\nStartSoundOutput=0\n"
            "StartSignalGenerator=1\nStartDigitalFilter=0\nDigitalFilterBypass=3\n"
            "[FFT_INPUT]\nNrOfSamples=2048\nAverage=1\nComplexFFT=0\n[FFT_OUTPUT]\nLogSpectrum=1\n"
            "[CIRCUIT]\nConnectGeneratorToInput=1\nConnectSpectrumToInput=0\nFreqMixerEnabled=0\n"
            "MixerSideband=0\nMixerFrequency=300\nConnectSlider1=5\n"
            "[SIGNAL_GENERATOR]\nSinFreq0=1000\nSinAmpl0=0.1\nEnabled0=1\nEnabled1=0\nEnabled2=0\n");
    InstallQtSyncBridge();
    InstallSoundEngineLink();
    Make();
    ASSERT_TRUE(waveIsLoopbackDevice(true, in));
    CircuitForm = new TCircuitForm;
    CircuitForm->Timer1->stop();
    form->show();
    ASSERT_NE(g_pSoundThread, nullptr);
    SoundThreadLink().ResumeThread();
  }
  void TearDown() override
  {
    form->close();
    delete CircuitForm;
    CircuitForm = nullptr;
    MainWindowTest::TearDown();
    RemoveQtSyncBridge();
  }
  bool UntilLine(const std::function<bool()>& pred)
  {
    const double after = g_LatestSpectrum.time;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      QApplication::processEvents();
      if (g_LatestSpectrum.time > after + 0.2 && pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  std::string Levels() const
  {
    std::string s;
    for (double f : {700.0, 1000.0, 1300.0, 500.0, 1500.0}) s += std::to_string(f) + ":" + std::to_string(LevelAt(f)) + " ";
    return s;
  }
};

TEST_F(CircuitThreadTest, MixerShiftsTheToneAndTheSwitchMovesTheSpectrumBack)
{
  ASSERT_TRUE(UntilLine([] { return Tone(1000) && NoTone(700) && NoTone(1300); })) << Levels();
  // Both blocks active within two ticks while the thread runs.
  CircuitForm->MixerChannel = 0;
  CircuitForm->Popup_FreqMixerPopup();
  CircuitForm->findChild<QAction*>("Menu_MixerEnable")->trigger();
  ASSERT_TRUE(SndConfig.FreqMixerEnabled);
  ASSERT_TRUE(UntilLine([] { return Tone(700) && Tone(1300) && NoTone(1000); })) << Levels();
  CircuitForm->Timer1Timer();
  CircuitForm->Timer1Timer();
  EXPECT_EQ(CircuitForm->BlockState(CB_GENERATOR), CIRCUIT_ACTIVE);
  EXPECT_EQ(CircuitForm->BlockState(CB_MIXER_LEFT), CIRCUIT_ACTIVE);

  // DSB product: 1,000 Hz +- the oscillator.
  ASSERT_EQ(CLI_ExecuteMacro(2, "circuit.osc.freq=500"), 0);
  EXPECT_NEAR(CLI_CalcExpression2(2, "circuit.osc.freq", 0, 0), 500.0, 3.0);
  EXPECT_TRUE(UntilLine([] { return Tone(500) && Tone(1500) && NoTone(700) && NoTone(1300); }))
      << Levels();

  // The spectrum back at the input: the tone at its own frequency.
  CircuitForm->Img_SpectrumSwitchClick();
  ASSERT_EQ(SndConfig.ConnectSpectrumToInput, 1);
  EXPECT_TRUE(UntilLine([] { return Tone(1000) && NoTone(500) && NoTone(1500); })) << Levels();

  // Passive once the thread has stopped.
  SoundThreadLink().TerminateThread();
  CircuitForm->Timer1Timer();
  EXPECT_EQ(CircuitForm->BlockState(CB_GENERATOR), CIRCUIT_PASSIVE);
  EXPECT_EQ(CircuitForm->BlockState(CB_MIXER_LEFT), CIRCUIT_PASSIVE);
}

}  // namespace
