// Going back from an off-line analysis to the live input: the ring restarts for the sound card
// and the live line producer starts again at its newest samples. What the file left in the
// ring must never show up in a live line, where it would stand at the live rate (a tone of the
// file at another frequency).
#include <algorithm>
#include <string>

#include "LinesFixture.h"
#include "WaveTestUtil.h"
#include "common/TestUtil.h"
#include "engine/SampleRates.h"
#include "mainwin/WaveAnalysis.h"

using namespace vt_lines_test;

namespace {

// Level of the strongest bin in hundredths of a dB.
int PeakLevel(const SpectrumBuffer& s) {
  int best = -32768;
  for (int i = 0; i < s.nr_of_bins; ++i) best = std::max<int>(best, s.bins[i]);
  return best;
}

class AnalysisToLive : public LinesFixture {
protected:
  void TearDown() override {
    wave_test::CloseRecordAndAnalysisFiles();
    LinesFixture::TearDown();
  }
};

TEST_F(AnalysisToLive, NoLiveLineShowsWhatTheFileLeftInTheRing) {
  vt_test::TempDir dir;
  const std::string path = dir.file("tone.wav");
  ASSERT_TRUE(wave_test::WriteWave(path, 8000, 1,
                                   wave_test::Tones(8000, 12.0, {1000.0}, 10000.0)));
  // Live at 8,000 Hz with an FFT of 8,192 samples: the producer reads the ring by position.
  // Its last live line leaves it about 66,000 values into the ring, which after the ring's
  // restart lies just behind the new newest samples (the positions wrap at 69,632).
  g_ProcessingSampleRate = 8000.0;
  Start(8000.0, false, 8192, 100);
  lines->History.Allocate(200);
  Write(65000 + 8192, 0.0, 0.0);
  Produce();
  ASSERT_GT(lines->RingReadIndex, 69632 - 8192);

  // The file fills the whole ring with its tone.
  wave_test::ScriptedHost fileHost;
  CWaveAnalysis analysis(&fileHost, lines.get());
  ASSERT_TRUE(analysis.OpenWaveFileForAnalysis(path));
  analysis.OffLine = true;
  int steps = 0;
  while (analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines) && ++steps < 1000) {
  }
  ASSERT_GT(lines->LinesMade, 0u);
  ASSERT_GT(PeakLevel(g_LatestSpectrum), -3000);  // the tone, well above -30 dB
  analysis.StopWaveFileAnalysis();

  // Live silence again: every live line is silent, from the first one on.
  const uint64_t before = lines->LinesMade;
  for (int block = 0; block < 12; ++block) {
    Write(2048, 0.0, 0.0);
    Produce();
    if (lines->LinesMade == before) continue;
    EXPECT_LT(PeakLevel(g_LatestSpectrum), -15000) << "block " << block;  // below -150 dB
  }
  EXPECT_GT(lines->LinesMade, before);
}

}  // namespace
