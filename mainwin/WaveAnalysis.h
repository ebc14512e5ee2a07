#pragma once
// Analysis of a wave file instead of the sound card: off-line (the GUI thread reads the file as
// fast as the main timer's steps allow and makes spectrum lines from it) or analyse-and-play
// (the audio thread reads the file as its input, so it is heard and analysed in real time).
//
// The file object is g_pAnalysisWaveFile (made on first use, then reused). It is opened,
// read, wound and closed only under the audio thread's WaveInputLock when the thread exists.
// Ring 0 of the big sample rings is fed from the file during an off-line analysis.
//
// Line times are Unix seconds: the file's time stamp + read position / file rate.
// GUI thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "mainwin/WaveFileHost.h"

class C_WaveIO;
class CSpectrumLineProducer;
class CWaveRecorder;

class CWaveAnalysis {
public:
  static constexpr int kStepLines = 5;       // lines per main-timer tick
  static constexpr int kMaxDecimation = 1000;

  // lines: the spectrum-line producer whose FFT object, history and flags are used.
  CWaveAnalysis(IWaveFileHost* host, CSpectrumLineProducer* lines);
  ~CWaveAnalysis();
  CWaveAnalysis(const CWaveAnalysis&) = delete;
  CWaveAnalysis& operator=(const CWaveAnalysis&) = delete;

  // The menu commands AnalyzeInputFileClick (play false) and AnalyzeAndPlayWAVClick (play
  // true): stops a running analysis, or asks for a file and starts analysing it.
  void ChooseFileForAnalysis(bool play);
  // Opens the file, asks what the header does not tell (properties dialog; the I/Q question
  // for a stereo file under a real FFT) and sets ring 0 up for it. False when it was not
  // opened or the user cancelled (the file is then closed).
  bool OpenWaveFileForAnalysis(const std::string& fileName);
  // One off-line step of up to maxLines lines. True while the analysis goes on: it made lines,
  // or read samples that no line needed yet. False at the end of the file, when no analysis
  // runs, or after an error; the caller then stops the analysis. An analysis that cannot go on
  // before the end of its file says why (message and debug log).
  bool AnalyzeWaveFileStep(int maxLines);
  // Ends an analysis (off-line or played): ring 0 back to the audio thread, the file closed.
  void StopWaveFileAnalysis();
  // Analyse-and-play: when the audio thread reports the end of the file, ends the analysis.
  // True when it did. The line producer calls it once per pass.
  bool CheckThreadInput();
  // True while the file is open, the off-line flag is set and the audio thread does not read
  // the file itself.
  bool IsAnalyzingWaveFile() const;
  // True while the analysis file is open for reading (off-line or played).
  bool IsFileOpen() const;
  // The file's current sample index × its frame size in bytes (read under the lock); 0 without
  // a file.
  int64_t BytesRead() const;

  // ---- State ----
  std::string AnalysisFileName = "test1.wav";
  bool OffLine = false;
  AudioFileParams Params;     // rate, channels, bits and frequency offset of the file
  int Decimation = 1;         // the ratio ring 0 is set up for with the file (>= 1); the ring
                              // makes RealisedDecimationRatio of it
  int64_t ReadPosition = 0;   // file frames read so far by the off-line step
  double StartTime = 0.0;     // Unix seconds of the file's first sample (its time stamp)
  // The recording that the off-line step keeps up with (null: none). The step feeds ring 0
  // faster than real time, and with decimated I/Q pairs logged the ring's writer fills the
  // recording buffers just as fast: their full ones are written before every ring write, and a
  // write is kept small enough to fill at most one buffer, so the recording holds every pair.
  CWaveRecorder* Recorder = nullptr;

private:
  bool ReadLine(int64_t target, bool* ended);
  // Tells why the analysis cannot go on; returns false.
  bool StopStep(const std::string& reason);

  IWaveFileHost m_NoHost;
  IWaveFileHost* m_Host;
  CSpectrumLineProducer* m_Lines;
  std::vector<unsigned char> m_Raw;  // frame bytes of one read
  std::string m_StopReason;          // why reading ended before the file's end (empty: it did not)
};

// Opens a headerless PCM file for reading with the given parameters (8 or 16 bits, 1 or 2
// channels, 1 .. 192,000 Hz): the whole file is sample data. 1 opened, 0 refused or failed
// (the error text of the object tells why).
int OpenRawWaveFileForReading(C_WaveIO* w, const char* fileName, const AudioFileParams& p);
