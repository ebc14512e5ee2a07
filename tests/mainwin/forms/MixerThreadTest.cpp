// The frequency mixer in the running program: the real audio thread on the loop-back device,
// the processing rate halved, the generator's 1,000 Hz tone into the input and the mixer at
// 700 Hz: the spectrum shows the tone at 300 Hz, also after the divisor changed at run time.
#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <thread>

#include "engine/RedrawRequest.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "interp/CliSpectrum.h"
#include "mainwin/SoundEngineLink.h"
#include "platform/QtSyncBridge.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

// Frequency of the strongest bin of the newest line.
double PeakFrequency()
{
  const SpectrumBuffer& s = g_LatestSpectrum;
  int peak = 1;
  for (int k = 1; k < s.nr_of_bins; ++k)
    if (s.bins[k] > s.bins[peak]) peak = k;
  return s.offset_hz + peak * s.bin_width_hz;
}

}  // namespace

TEST_F(MainWindowTest, MixerShiftsTheToneAtTheProcessingRate)
{
  vt_test::WriteWholeFile(dir.file("SETTINGS.INI"),
                          "[SOUNDCARD]\nSampleRate=11025\nSampleRateDivisor=2\n"
                          "[SOUND_THREAD]\nStartSoundInput=1\nStartSoundOutput=0\n"
                          "StartSignalGenerator=1\nStartSoundThread=1\nDigitalFilterBypass=3\n"
                          "[FFT_INPUT]\nRateDivisor=1\nNrOfSamples=2048\n"
                          "[CIRCUIT]\nConnectGeneratorToInput=1\nConnectSpectrumToInput=0\n"
                          "FreqMixerEnabled=1\nMixerFrequency=700\nMixerSideband=1\nGain0=1\n"
                          "[SIGNAL_GENERATOR]\nEnabled0=1\nSinFreq0=1000\nSinAmpl0=0.5\n"
                          "Enabled1=0\nEnabled2=0\n");
  InstallQtSyncBridge();
  InstallSoundEngineLink();
  Make();
  form->show();
  ASSERT_EQ(SndConfig.SampleRateDivisor.load(), 2);
  ASSERT_TRUE(SndConfig.FreqMixerEnabled.load());

  // Runs the program's own loop until n more lines were made at the given processing rate.
  auto linesAt = [&](double rate, uint64_t n) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    uint64_t first = 0;
    bool atRate = false;
    while (std::chrono::steady_clock::now() < end) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      if (!atRate && g_ProcessingSampleRate == rate) {
        atRate = true;
        first = form->Lines->LinesMade;
      }
      if (atRate && form->Lines->LinesMade >= first + n) return true;
    }
    return false;
  };
  ASSERT_TRUE(linesAt(11025.0 / 2, 12)) << "no lines at the halved rate";
  EXPECT_NEAR(PeakFrequency(), 300.0, 2 * g_LatestSpectrum.bin_width_hz);

  SndConfig.SampleRateDivisor = 4;
  g_RedrawRequestMask = g_RedrawRequestMask | 2;  // as the configuration dialog does
  ASSERT_TRUE(linesAt(11025.0 / 4, 12)) << "no lines at the quartered rate";
  EXPECT_NEAR(PeakFrequency(), 300.0, 2 * g_LatestSpectrum.bin_width_hz);

  form->close();
  form.reset();
  RemoveQtSyncBridge();
}
