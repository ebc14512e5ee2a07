// Off-line analysis of a wave file, as File > "Analyze input from *.WAV-file" runs it:
// arbitrary bytes opened through CWaveAnalysis with a host whose answers (the properties
// dialog's values, Yes or No to the I/Q question) come from the input's last byte, then the
// timer's steps until the analysis ends. Nothing may crash or read beyond a buffer, and an
// analysis never makes more lines than the file's samples allow.
#include <cstdint>
#include <string>

#include "engine/BigSampleBuffer.h"
#include "engine/C_WaveIO.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/WaveAnalysis.h"
#include "mainwin/WaveFileHost.h"
#include "tests/fuzz/FuzzUtil.h"
#include "tests/mainwin/WaveTestUtil.h"

namespace {

// Answers of the dialogs, from one byte: bit 0 edit the properties, bit 1 two channels, bit 2
// 8 bits, bit 3 Yes (else No) to the I/Q question, bits 4-5 the rate, bit 6 Cancel the
// properties dialog.
struct ByteHost : IWaveFileHost {
  uint8_t answers = 0;
  bool AskAudioFileProperties(AudioFileParams& p) override {
    if (answers & 1) {
      static const double kRates[] = {8000.0, 11025.0, 44100.0, 192000.0};
      p.NrChannels = (answers & 2) ? 2 : 1;
      p.BitsPerSample = (answers & 4) ? 8 : 16;
      p.SampleRate = kRates[(answers >> 4) & 3];
    }
    return (answers & 64) == 0;
  }
  int AskYesNo(const char*, const char*) override {
    return (answers & 8) ? WAVE_ANSWER_YES : WAVE_ANSWER_NO;
  }
  void ShowMessage(const char*) override {}
};

struct State {
  ByteHost host;
  CSpectrumLineProducer lines{nullptr, &g_BigBuffers[0]};
  State() { lines.History.Allocate(64); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static State* s = new State;  // lives for the whole run
  const std::string path = vt_fuzz::WriteInput("input.wav", data, size);

  wave_test::BaseSettings();
  SndConfig.NrOfSamples = 512;
  SndConfig.WaterScrollTime = 20;
  SndConfig.FftInputAntiAlias = (size & 1) ? 1 : 0;
  g_ProcessingSampleRate = 11025.0;
  ClearBigBuffer(&g_BigBuffers[0], 11025.0, 0.0);

  s->host.answers = size ? data[size - 1] : 0;
  // A fresh analysis object for each input: its read buffer is sized by this file alone, so a
  // read beyond it is caught by AddressSanitizer.
  CWaveAnalysis analysis{&s->host, &s->lines};
  analysis.AnalysisFileName = path;
  if (analysis.OpenWaveFileForAnalysis(path)) {
    analysis.OffLine = true;
    const uint64_t before = s->lines.LinesMade;
    int steps = 0;
    while (analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines) && ++steps < 1000) {
    }
    // A line takes at least 64 frames of at least one byte each.
    VT_FUZZ_CHECK(s->lines.LinesMade - before <= size / 64 + 1);
    VT_FUZZ_CHECK(analysis.ReadPosition >= 0 && analysis.ReadPosition <= int64_t(size));
  }
  analysis.StopWaveFileAnalysis();
  VT_FUZZ_CHECK(!analysis.IsFileOpen());
  return 0;
}
