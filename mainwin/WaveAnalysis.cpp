#include "mainwin/WaveAnalysis.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "engine/BigSampleBuffer.h"
#include "engine/C_WaveIO.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/WaveLogDecimator.h"
#include "interp/CliSpectrum.h"
#include "interp/ExportSeam.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/WaveRecording.h"
#include "platform/BoundedFile.h"

namespace {

constexpr int kReadChunk = 4096;      // values per ring write
constexpr int kMinLineFft = 512;      // the shortest FFT a line of a file is made with

// Holds the audio thread's wave-input lock while the thread exists. Without a thread nothing
// else touches the analysis file.
class WaveInputGuard {
public:
  WaveInputGuard() : m_thread(g_pSoundThread) {
    if (m_thread) m_thread->WaveInputLock.Enter();
  }
  ~WaveInputGuard() {
    if (m_thread) m_thread->WaveInputLock.Leave();
  }
  WaveInputGuard(const WaveInputGuard&) = delete;
  WaveInputGuard& operator=(const WaveInputGuard&) = delete;

private:
  TSoundThread* m_thread;
};

C_WaveIO* AnalysisFile() { return g_pAnalysisWaveFile.load(std::memory_order_acquire); }

bool ValidParams(const AudioFileParams& p) {
  return std::isfinite(p.SampleRate) && p.SampleRate >= 1.0 &&
         p.SampleRate <= C_WaveIO::MAX_SAMPLE_RATE && (p.NrChannels == 1 || p.NrChannels == 2) &&
         (p.BitsPerSample == 8 || p.BitsPerSample == 16) && std::isfinite(p.FreqOffset);
}

// True when the file's frames hold exactly its channels' samples of 1 to 16 bits, the layout
// ConvertFrames indexes. The open operations refuse every other header; this keeps a format
// changed behind their back from sending the conversion beyond its buffer.
bool FrameLayoutValid(const C_WaveIO& w) {
  const int channels = w.Format.nChannels, bits = w.Format.wBitsPerSample;
  return (channels == 1 || channels == 2) && bits >= 1 && bits <= 16 &&
         w.Format.nBlockAlign == C_WaveIO::PcmFrameBytes(channels, bits);
}

// Converts frames of raw PCM bytes into doubles on the 16-bit scale: channel 0 only, or both
// channels as I/Q pairs when `pairs`. The frames must have FrameLayoutValid's layout.
int ConvertFrames(const unsigned char* raw, int frames, const C_WaveIO& w, bool pairs,
                  double* out) {
  const int align = w.Format.nBlockAlign;
  const int bits = w.Format.wBitsPerSample;
  const int channels = std::max<int>(1, w.Format.nChannels);
  const int perFrame = pairs ? 2 : 1;
  int k = 0;
  for (int i = 0; i < frames; ++i) {
    const unsigned char* f = raw + int64_t(i) * align;
    for (int c = 0; c < perFrame; ++c) {
      const int ch = std::min(c, channels - 1);
      if (bits <= 8)
        out[k++] = (double(f[ch]) - 127.0) * 258.00787401574803;
      else
        out[k++] = static_cast<int16_t>(uint16_t(f[2 * ch]) | uint16_t(f[2 * ch + 1]) << 8);
    }
  }
  return k;
}

// True for a readable regular file that does not start with "RIFF": headerless PCM.
bool StartsWithoutRiffId(const char* fileName) {
  const int fd = OpenRegularFileForReading(fileName);  // never waits on a FIFO
  if (fd < 0) return false;
  char id[4] = {};
  const ssize_t got = ::read(fd, id, 4);
  ::close(fd);
  return got >= 0 && !(got == 4 && std::memcmp(id, "RIFF", 4) == 0);
}

}  // namespace

int OpenRawWaveFileForReading(C_WaveIO* w, const char* fileName, const AudioFileParams& p) {
  if (!w || !fileName) return 0;
  w->CloseFile();
  if (!ValidParams(p)) {
    std::snprintf(w->ErrorText, sizeof w->ErrorText, "bad audio file parameters");
    return 0;
  }
  const int fd = OpenRegularFileForReading(fileName);  // never waits on a FIFO
  if (fd < 0) {
    std::snprintf(w->ErrorText, sizeof w->ErrorText, errno == ENXIO ? "not a regular file" : "_open failed");
    return 0;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    std::snprintf(w->ErrorText, sizeof w->ErrorText, "_open failed");
    return 0;
  }
  const int bytesPerSample = (p.BitsPerSample + 7) / 8;
  w->Riff = C_WaveIO::RiffHeader{};
  w->Chunk = C_WaveIO::ChunkHeader{};
  w->Format = C_WaveIO::PcmFormat{};
  w->Format.wFormatTag = 1;
  w->Format.nChannels = static_cast<uint16_t>(p.NrChannels);
  w->Format.nSamplesPerSec = static_cast<uint32_t>(p.SampleRate + 0.5);
  w->Format.nBlockAlign = static_cast<uint16_t>(p.NrChannels * bytesPerSample);
  w->Format.nAvgBytesPerSec = w->Format.nBlockAlign * w->Format.nSamplesPerSec;
  w->Format.wBitsPerSample = static_cast<uint16_t>(p.BitsPerSample);
  w->FileHandle = fd;
  w->FileTime = static_cast<uint32_t>(st.st_mtime);
  w->SampleRate = p.SampleRate;
  w->DataStart = w->CurrentOffset = 0;
  w->DataSize = st.st_size - st.st_size % w->Format.nBlockAlign;
  w->FileFormat = C_WaveIO::FORMAT_RAW;
  w->OpenedForWrite = 0;
  w->OpenedForRead = 1;
  return 1;
}

CWaveAnalysis::CWaveAnalysis(IWaveFileHost* host, CSpectrumLineProducer* lines)
    : m_Host(host ? host : &m_NoHost), m_Lines(lines) {}

CWaveAnalysis::~CWaveAnalysis() = default;

bool CWaveAnalysis::IsFileOpen() const {
  const C_WaveIO* w = AnalysisFile();
  return w && w->IsOpenForRead();
}

bool CWaveAnalysis::IsAnalyzingWaveFile() const {
  if (!IsFileOpen() || !OffLine) return false;
  const TSoundThread* t = g_pSoundThread;
  return !t || !t->WaveInputActive.load(std::memory_order_acquire);
}

bool CWaveAnalysis::CheckThreadInput() {
  TSoundThread* t = g_pSoundThread;
  if (!t || !IsFileOpen() || !t->WaveInputActive.load(std::memory_order_acquire) ||
      !t->WaveInputEnded.load(std::memory_order_acquire))
    return false;
  StopWaveFileAnalysis();
  return true;
}

int64_t CWaveAnalysis::BytesRead() const {
  WaveInputGuard lock;
  const C_WaveIO* w = AnalysisFile();
  if (!w || !w->IsOpenForRead()) return 0;
  const int64_t index = w->GetCurrentSampleIndex();
  return index > 0 ? index * w->Format.nBlockAlign : 0;
}

void CWaveAnalysis::ChooseFileForAnalysis(bool play) {
  OffLine = false;
  if (IsFileOpen()) {
    StopWaveFileAnalysis();
    return;
  }
  std::string name = AnalysisFileName;
  const char* title = play ? "Analyze and Play  *.WAV-File" : "Analyze Input from *.WAV-File";
  if (!m_Host->AskOpenFileName(title, name)) return;
  AnalysisFileName = name;
  if (OpenWaveFileForAnalysis(name)) {
    TSoundThread* t = g_pSoundThread;
    if (play && t) {
      WaveInputGuard lock;
      g_SoundOutputWanted = true;
      t->WaveInputEnded.store(false, std::memory_order_release);
      t->WaveInputActive.store(true, std::memory_order_release);
    }
    // With analyse-and-play the thread's flag keeps IsAnalyzingWaveFile false, so the thread
    // does the reading; without a thread the file is analysed off-line.
    OffLine = true;
  }
  m_Host->ShowStatus();
}

bool CWaveAnalysis::OpenWaveFileForAnalysis(const std::string& fileName) {
  ReadPosition = 0;
  C_WaveIO* w = nullptr;
  bool opened = false;
  bool headerless = false;
  {
    WaveInputGuard lock;
    w = AnalysisFile();
    if (!w) {
      w = new (std::nothrow) C_WaveIO;
      g_pAnalysisWaveFile.store(w, std::memory_order_release);
    }
    if (w) {
      w->ErrorText[0] = '\0';
      opened = w->InOpen(fileName.c_str()) == 1;
      if (!opened) headerless = StartsWithoutRiffId(fileName.c_str());
    }
  }
  auto fail = [&](const char* why) {
    std::string msg = "Problem:\r\nCould not open \"" + fileName + "\"\r for analysis. ";
    msg += why;
    m_Host->ShowMessage(msg.c_str());
    return false;
  };
  if (!w) return fail("Could not allocate a WaveIO object.");
  if (!opened && !headerless)
    return fail((std::string("Possibly wrong file format ? (") + w->ErrorText + ")").c_str());

  AudioFileParams p = Params;  // a headerless file starts from the last values used
  if (opened) {
    p.SampleRate = w->GetSampleRate();
    p.NrChannels = w->GetNrChannels();
    p.BitsPerSample = w->GetBitsPerSample();
    p.FreqOffset = w->GetFrequencyOffset();
  }
  Decimation = 1;

  if (!opened || w->GetFileFormat() != C_WaveIO::FORMAT_RIFF || !w->AllParamsIncluded()) {
    AudioFileParams edited = p;
    if (!m_Host->AskAudioFileProperties(edited)) {
      WaveInputGuard lock;
      w->CloseFile();
      return false;
    }
    if (!ValidParams(edited)) {
      {
        WaveInputGuard lock;
        w->CloseFile();
      }
      return fail("Sample rate (1 .. 192000 Hz), channels (1, 2) or bits per sample (8, 16) "
                  "out of range.");
    }
    if (!opened || edited.NrChannels != p.NrChannels || edited.BitsPerSample != p.BitsPerSample) {
      // Headerless, or the user reads the samples differently from what the header says.
      WaveInputGuard lock;
      if (opened) {
        const int bytes = (edited.BitsPerSample + 7) / 8;
        w->Format.nChannels = static_cast<uint16_t>(edited.NrChannels);
        w->Format.wBitsPerSample = static_cast<uint16_t>(edited.BitsPerSample);
        w->Format.nBlockAlign = static_cast<uint16_t>(edited.NrChannels * bytes);
        w->DataSize -= w->DataSize % w->Format.nBlockAlign;
      } else if (!OpenRawWaveFileForReading(w, fileName.c_str(), edited)) {
        return fail((std::string("(") + w->ErrorText + ")").c_str());
      }
    }
    w->SampleRate = edited.SampleRate;
    p = edited;
  }
  Params = p;
  StartTime = w->FileTime;

  if (Params.NrChannels == 2 && !SndConfig.ComplexFFT) {
    const int answer = m_Host->AskYesNo(
        "Audio file analysis..",
        "Set the FFT type to 'complex' because the file looks as if contains I/Q-samples ?");
    if (answer == WAVE_ANSWER_YES) {
      SndConfig.ComplexFFT = 1;
    } else if (answer != WAVE_ANSWER_NO) {
      // Cancelled: no analysis, and no file left open behind the user's back.
      WaveInputGuard lock;
      w->CloseFile();
      return false;
    }
  }

  const int64_t product = int64_t(SndConfig.RateDivisor) * SndConfig.SampleRateDivisor;
  const double nominal = SndConfig.SampleRate;
  const double target = product > 1 ? nominal / product : nominal;
  double ratio = target > 1.0 ? std::trunc(Params.SampleRate / target) : 1.0;
  Decimation = static_cast<int>(std::clamp(ratio, 1.0, double(kMaxDecimation)));
  BigSampleBuffer* ring = &g_BigBuffers[0];
  // The audio thread lets go of ring 0 before the ring is set up for the file: pairs it hands
  // to a running I/Q recording all come at the rate the ring had.
  ring->FeedSource.store(2, std::memory_order_release);
  if (Recorder && Recorder->IsRecording()) Recorder->WaitForDecimatorIdle();
  // The ring states the ratio its stages make of it (RealisedDecimationRatio) and the rate of
  // its samples; the lines, the displays and an I/Q recording take that rate from the ring.
  InitBigBufferDecimation(ring, Params.SampleRate, Decimation, m_Host->DisplayCenterFreq());
  g_BigBufferResetCount = g_BigBufferResetCount + 1;

  if (m_Lines) {
    m_Lines->FftRestart = true;
    m_Lines->WaitFullResolution = true;
  }
  m_Host->ResetHistoryView();
  return true;
}

bool CWaveAnalysis::ReadLine(int64_t target, bool* ended) {
  // Reads file frames into ring 0 until ReadPosition reaches target. True when it did.
  C_WaveIO* w = AnalysisFile();
  BigSampleBuffer* ring = &g_BigBuffers[0];
  const bool complex = SndConfig.ComplexFFT != 0;
  const bool pairs = complex && Params.NrChannels == 2;
  const bool mix = complex && !pairs;
  int maxFrames = pairs ? kReadChunk / 2 : kReadChunk;
  const bool iqLogged = Recorder && complex && Recorder->IsRecording() &&
                        g_WaveLogState.load(std::memory_order_acquire) == WAVE_LOG_IQ;
  if (iqLogged) {
    // A frame gives at most one pair after the ring's decimation (plus one from the stages'
    // counters): no more frames per write than leave one buffer's worth of pairs.
    int ratio;
    {
      std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
      ratio = std::max(1, ring->DecimationRatio);
    }
    const int64_t pairsPerBuffer = std::max(1, Recorder->BufferCapacity() / 2 - 1);
    maxFrames = static_cast<int>(std::clamp<int64_t>(pairsPerBuffer * ratio, 1, maxFrames));
  }
  std::vector<unsigned char>& raw = m_Raw;
  double values[kReadChunk];
  while (ReadPosition < target) {
    const int want = static_cast<int>(std::min<int64_t>(target - ReadPosition, maxFrames));
    int frames;
    int64_t fileFrames = 0;
    {
      WaveInputGuard lock;
      if (!w || !w->IsOpenForRead() || !IsAnalyzingWaveFile()) {
        *ended = true;  // closed or switched off meanwhile: nothing to say
        return false;
      }
      if (!FrameLayoutValid(*w)) {
        m_StopReason = "its sample format is not one the analysis reads";
        *ended = true;
        return false;
      }
      fileFrames = w->GetDataSize() / w->Format.nBlockAlign;
      raw.resize(size_t(want) * w->Format.nBlockAlign);
      frames = w->ReadRawBlocks(raw.data(), static_cast<int>(raw.size()));
      if (frames > 0) frames = ConvertFrames(raw.data(), std::min(frames, want), *w, pairs, values) /
                               (pairs ? 2 : 1);
    }
    if (frames <= 0) {
      // The end of the file, or a read that failed before it.
      if (ReadPosition < fileFrames)
        m_StopReason = "it could not be read beyond sample " + std::to_string(ReadPosition);
      *ended = true;
      return false;
    }
    ReadPosition += frames;
    const double t = StartTime + double(ReadPosition) / Params.SampleRate;
    // The ring's writer hands the pairs to the I/Q recording: room for them first.
    if (iqLogged) Recorder->WriteFullBuffers();
    BigBufferWrite(ring, mix, complex, t, values, pairs ? 2 * frames : frames);
    if (frames < want) {
      *ended = true;
      return ReadPosition >= target;
    }
  }
  return true;
}

bool CWaveAnalysis::StopStep(const std::string& reason) {
  const std::string msg = "The analysis of \"" + AnalysisFileName +
                          "\" stopped before the end of the file: " + reason + ".";
  m_Host->Log(10, msg.c_str());
  m_Host->ShowMessage(msg.c_str());
  return false;
}

bool CWaveAnalysis::AnalyzeWaveFileStep(int maxLines) {
  CSpectrumLineProducer* L = m_Lines;
  if (!IsAnalyzingWaveFile()) return false;
  // An analysis ends by itself only at the end of the file; any other end says why.
  if (!(Params.SampleRate >= 0.1) || Decimation < 1 || ReadPosition < 0)
    return StopStep("its sample rate or read position is not valid");
  if (!L || !L->History.SpectrumHistory)
    return StopStep("there is no spectrum history to keep the lines in");
  // A line of a file takes at least 512 samples (which also covers the 64 input samples that
  // the FFT length times the decimation must reach); a shorter FFT would read the whole file
  // and make nothing of it.
  if (SndConfig.NrOfSamples < kMinLineFft)
    return StopStep("its lines need an FFT of at least " + std::to_string(kMinLineFft) +
                    " samples, and the FFT length is " +
                    std::to_string(SndConfig.NrOfSamples.load()));
  m_StopReason.clear();

  // Samples per line, in 64 bits: a long line interval at a high file rate leaves the int range.
  const double exact = std::trunc(SndConfig.WaterScrollTime * 0.001 * Params.SampleRate + 0.5);
  const int64_t spl = !(exact >= 64.0) ? 64 : static_cast<int64_t>(std::min(exact, 1e15));

  {
    WaveInputGuard lock;
    C_WaveIO* w = AnalysisFile();
    if (w && w->GetCurrentSampleIndex() > ReadPosition) w->WindToSampleIndex(ReadPosition);
  }

  BigSampleBuffer* ring = &g_BigBuffers[0];
  const bool complex = SndConfig.ComplexFFT != 0;
  const int vps = complex ? 2 : 1;
  double rate;
  {
    std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
    rate = ring->OutputRate;
  }
  // An I/Q recording begun at another pair rate (live, before the analysis) ends before the
  // file's pairs reach it.
  if (Recorder) Recorder->EndRecordingAtNewRate();
  int lines = 0;
  bool ended = false;
  const int64_t start = ReadPosition;
  for (int pass = 0; pass < maxLines && !ended; ++pass) {
    const int64_t before = ReadPosition;
    if (!ReadLine(ReadPosition + spl, &ended)) {
      if (ReadPosition == before) break;
      continue;  // a partial line at the end: no spectrum from it
    }
    int len = std::clamp(SndConfig.NrOfSamples.load(), 64,
                         complex ? kFftMaxComplexLength : kFftMaxLength);
    int64_t got;
    while ((got = BigBufferRead(ring, len * vps, -1, L->FftInput.data())) < 0 && len >= 1024)
      len /= 2;
    if (got < 0 || len < kMinLineFft) continue;
    L->FftLength = len;
    L->InitFFT(len);
    if (!L->FftObject) continue;
    L->FftObject->CalcSpectrum(L->FftInput.data(), 100.0, L->FftRestart ? 0 : SndConfig.Average.load(),
                               SndConfig.LogSpectrum != 0, L->FftOutput.data());
    L->FftRestart = false;
    L->BuildSpectrumLine(StartTime + double(ReadPosition) / Params.SampleRate, rate);
    std::memcpy(&g_LatestSpectrum, &L->CurrentSpectrum, sizeof(SpectrumBuffer));
    L->StoreSpectrumInHistory(&g_LatestSpectrum);
    L->UpdateUserDbOffset(false);
    g_LatestSpectrum.scale_offset = g_DbOffsetValue;
    if (g_ExportActive) Export_OnSpectrum();
    ++L->LinesMade;
    ++lines;
  }
  if (lines > 0 && m_Host->IsLiveView()) m_Host->UpdateWaterfall(lines);
  if (!m_StopReason.empty()) {
    if (lines > 0) return true;  // the lines made are shown; the next step says why it ends
    return StopStep(m_StopReason);
  }
  // A step that read samples but made no line (the ring does not yet hold what the FFT needs)
  // goes on; only the end of the file ends it.
  return lines > 0 || (ReadPosition > start && !ended);
}

void CWaveAnalysis::StopWaveFileAnalysis() {
  {
    WaveInputGuard lock;
    if (TSoundThread* t = g_pSoundThread) t->WaveInputActive.store(false, std::memory_order_release);
  }
  BigSampleBuffer* ring = &g_BigBuffers[0];
  InitBigBufferDecimation(ring, g_ProcessingSampleRate, SndConfig.RateDivisor,
                          m_Host->DisplayCenterFreq());
  g_BigBufferResetCount = g_BigBufferResetCount + 1;
  if (m_Lines) {
    // The live lines start again at the newest samples: a position kept from before the
    // analysis could lie among what the file left in the ring, read at the live rate.
    m_Lines->RingReadIndex = -1;
    m_Lines->FftRestart = true;
  }
  // An I/Q recording of the file's pairs ends before the live pairs come at another rate.
  if (Recorder) Recorder->EndRecordingAtNewRate();
  ring->FeedSource.store(1, std::memory_order_release);
  m_Host->ResetHistoryView();
  {
    WaveInputGuard lock;
    if (C_WaveIO* w = AnalysisFile()) w->CloseFile();
  }
  OffLine = false;
  m_Host->ShowStatus();
}
