// The generator window and word with the real audio thread on the loop-back device: the
// oscillators go into the input, the spectrum is taken at the input, and the tones move where
// the word and the slider put them.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <thread>

#include "control/forms/GeneratorForm.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "interp/CliCommands.h"
#include "interp/CliSpectrum.h"
#include "mainwin/SoundEngineLink.h"
#include "platform/QtSyncBridge.h"
#include "platform/WaveAudio.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

// Level in dB of the bin nearest to f in the newest spectrum line (-999 without a line).
double LevelAt(double f)
{
  const SpectrumBuffer& s = g_LatestSpectrum;
  if (s.bin_width_hz <= 0 || s.nr_of_bins <= 0) return -999.0;
  const int i = static_cast<int>(std::lround((f - s.offset_hz) / s.bin_width_hz));
  if (i < 0 || i >= s.nr_of_bins) return -999.0;
  return s.bins[i] * s.scale_factor;
}

// Tone present: within 6 dB of the reference tone; absent: 40 dB or more below it.
bool Present(double f, double ref) { return LevelAt(f) > LevelAt(ref) - 6.0; }
bool Absent(double f, double ref) { return LevelAt(f) < LevelAt(ref) - 40.0; }

struct GeneratorThreadTest : MainWindowTest {
  void SetUp() override
  {
    MainWindowTest::SetUp();
    const int in = waveInGetNumDevs() - 1, out = waveOutGetNumDevs() - 1;
    vt_test::WriteWholeFile(dir.file("SETTINGS.INI"),
                            "[SOUNDCARD]\nAudioInputDevID=" + std::to_string(in) +
                                "\nAudioOutputDevID=" + std::to_string(out) +
                                "\nSampleRate=11025\nSampleRateDivisor=1\n"
                                "[SOUND_THREAD]\nStartSoundThread=1\nStartSoundInput=1\n"
                                "StartSoundOutput=0\nStartSignalGenerator=1\nStartDigitalFilter=0\n"
                                "[FFT_INPUT]\nNrOfSamples=2048\nAverage=1\nComplexFFT=0\n"
                                "[FFT_OUTPUT]\nLogSpectrum=1\n"
                                "[CIRCUIT]\nConnectGeneratorToInput=1\nConnectSpectrumToInput=1\n");
    InstallQtSyncBridge();
    InstallSoundEngineLink();
    Make();
    ASSERT_TRUE(waveIsLoopbackDevice(true, in));
    GeneratorForm = new TGeneratorForm;
    GeneratorForm->show();
    form->show();
    ASSERT_NE(g_pSoundThread, nullptr);
    SoundThreadLink().ResumeThread();
  }
  void TearDown() override
  {
    form->close();
    delete GeneratorForm;
    GeneratorForm = nullptr;
    MainWindowTest::TearDown();
    RemoveQtSyncBridge();
  }
  // Runs the event loop until the condition holds for a spectrum line computed after the call.
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
};

TEST_F(GeneratorThreadTest, WordAndSliderMoveTheTonesAndThePanelSwitchesThemOff)
{
  // Oscillators at 900, 1,000 and 1,100 Hz, each at -20 dB.
  ASSERT_TRUE(UntilLine([] { return Present(1000, 900) && Absent(1234, 900); }))
      << LevelAt(900) << " " << LevelAt(1000) << " " << LevelAt(1234);

  ASSERT_EQ(CLI_ExecuteMacro(2, "generator[1].freq=1234"), 0);
  EXPECT_TRUE(UntilLine([] { return Present(1234, 900) && Absent(1000, 900); }))
      << LevelAt(900) << " " << LevelAt(1000) << " " << LevelAt(1234);
  EXPECT_EQ(CLI_CalcExpression2(2, "generator[1].freq", 0, 0), 1234.0);

  // ScrBar_freq over 0 .. 5,000 Hz (maximum 50,000): position 15,000 is 1,500 Hz.
  auto* slider = GeneratorForm->findChild<QScrollBar*>("ScrBar_freq");
  ASSERT_EQ(slider->maximum(), 50000);
  slider->setValue(15000);
  EXPECT_TRUE(UntilLine([] { return Present(1500, 1234) && Absent(900, 1234); }))
      << LevelAt(900) << " " << LevelAt(1234) << " " << LevelAt(1500);

  auto* pnl = GeneratorForm->findChild<QLabel*>("Pnl_OnOff");
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), pnl->mapToGlobal(QPointF(2, 2)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(pnl, &press);
  ASSERT_EQ(SndConfig.StartSignalGenerator, 0);
  // Without the generator the input is silent: far below the -20 dB the tones had.
  EXPECT_TRUE(UntilLine([] {
    return LevelAt(1500) < -80.0 && LevelAt(1234) < -80.0 && LevelAt(1100) < -80.0;
  })) << LevelAt(1100) << " " << LevelAt(1234) << " " << LevelAt(1500);
}

}  // namespace
