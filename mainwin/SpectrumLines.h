#pragma once
// Spectrum-line production: turns ring 0 of the big sample rings into spectrum lines. It
// decides how many lines are due, copies FFT input from the ring, runs Cfft, optionally
// averages several FFTs, fills one SpectrumBuffer record, publishes it as g_LatestSpectrum,
// stores it in the spectrum history, feeds the alert and the export, and asks the displays to
// draw. GUI thread only; the audio thread only writes the ring.
//
// Two reading modes:
//  - fast (in order): line interval below 200 ms and the FFT input covers at most 4,096 input
//    samples; the reader walks the ring by RingReadIndex, a position in the ring's 64-bit
//    total count, one line interval of samples per line, so no sample is skipped or read twice.
//  - time-positioned: one line per call at most, read by BigBufferRead near the newest samples
//    when the line's time (LineTime) has come.
//
// Units: ring positions and "available" counts are in doubles of the ring (two per I/Q pair in
// complex mode); samples per line and FFT lengths are in samples (pairs in complex mode).
//
// Nothing is allocated per line except when the FFT object has to be re-made (a change of
// length, complex flag or window).
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/BigSampleBuffer.h"
#include "engine/Cfft.h"
#include "interp/SpectrumBuffer.h"
#include "mainwin/SpectrumHistory.h"

constexpr int kFftMaxLength = 65536;        // longest FFT (real input)
constexpr int kFftMaxComplexLength = 32768; // longest complex FFT (65,536 doubles of input)
constexpr int kMainTimerInterval_ms = 100;  // Timer1

// Evaluated user dB offset (-200..200 dB, else 0), added by the displays to dB lines.
extern double g_DbOffsetValue;
// Timing figures for the debug window, microseconds: FFT time per line, drawing time per line,
// alert evaluation time.
extern std::atomic<int64_t> g_SpectrumCalcTime_us;
extern std::atomic<int64_t> g_SpectrumDisplayTime_us;
extern std::atomic<int64_t> g_AlertProcessTime_us;

// Status-button owners (what ProgressButton shows).
enum {
  STATUS_NONE = 0,
  STATUS_EVENT_COUNTDOWN = 1,
  STATUS_WAVE_READ = 2,
  STATUS_RECORDING = 3,
  STATUS_ALARM = 4,
  STATUS_RESOLUTION = 5,
  STATUS_AUDIO_ERROR = 6,
};

// What line production needs of the main window. Every method has a do-nothing default so that
// tests and benchmarks override only what they look at.
class ISpectrumLineHost {
public:
  virtual ~ISpectrumLineHost() = default;
  // Diagnostic line for the debug window (DebugPrintf with the level and time).
  virtual void Log(int level, double time, const char* text) { (void)level, (void)time, (void)text; }
  // ProgressButton caption.
  virtual void SetProgressText(const char* text) { (void)text; }
  // The button is free again (StatusOwner 0): it shows what it shows when nothing else holds
  // it, how the audio thread runs (UpdateWaveFileStatus).
  virtual void ShowIdleStatus() {}
  // The debug window's Lab_WaterAvrgCount.
  virtual void ShowAvrgCount(int count) { (void)count; }
  // Once per line pass: the audio thread's wave-input state (refresh the wave status; stop the
  // analysis at the file's end).
  virtual void CheckWaveInput() {}
  // The time scroll bar SBR_Time is at 0 (live view).
  virtual bool IsLiveView() { return true; }
  // Draws the spectrum graph from `line` (and the averaged record `averaged`, or nullptr).
  virtual void DrawSpectrumGraph(const SpectrumBuffer* line, const SpectrumBuffer* averaged) {
    (void)line, (void)averaged;
  }
  // Draws `lines` new waterfall lines (the newest is `newest`), shows its time in
  // Lab_TimeView and refreshes the mouse read-out.
  virtual void DrawWaterfall(int lines, const SpectrumBuffer* newest) { (void)lines, (void)newest; }
  // Display centre frequency (GetDisplayCenterFreq) for a re-initialisation of the ring.
  virtual double DisplayCenterFreq() { return 0.0; }
  // g_BigBufferResetCount: read, and add 1 after the ring was re-initialised here.
  virtual int RingResetCount() { return 0; }
  virtual void RingWasReset() {}
};

class CSpectrumLineProducer {
public:
  // ring: the ring read (ring 0 of g_BigBuffers in the program). host may be null.
  explicit CSpectrumLineProducer(ISpectrumLineHost* host = nullptr,
                                 BigSampleBuffer* ring = &g_BigBuffers[0]);
  ~CSpectrumLineProducer();
  CSpectrumLineProducer(const CSpectrumLineProducer&) = delete;
  CSpectrumLineProducer& operator=(const CSpectrumLineProducer&) = delete;

  void SetHost(ISpectrumLineHost* host) { m_Host = host ? host : &m_NoHost; }
  BigSampleBuffer* Ring() const { return m_Ring; }

  // Decides LinesDue from the ring position (line interval below 100 ms) or 1, runs
  // ProcessSpectra and, when a line was stored and the alert is enabled, FeedSpectrumAlert.
  // The caller sets TimeNow first. Raises SndConfig.WaterScrollTime to at least 5 ms.
  void UpdateWaterfallTiming();
  // Produces up to maxLines lines; true when at least one line was stored. Raises
  // SndConfig.WaterScrollTime to at least 10 ms; caps SndConfig.NrOfSamples at 32,768 for a
  // complex FFT.
  bool ProcessSpectra(int maxLines);
  // Makes or re-makes FftObject when the length, the complex flag or the window changed.
  void InitFFT(int length);
  // Fills CurrentSpectrum from FftOutput (avrg_count 1). time in Unix s, rate in Hz.
  void BuildSpectrumLine(double time, double rate);
  // Waterfall averaging: AvrgSums += FftOutput (or = when AvrgCount <= 0), AvrgCount + 1;
  // FftOutput = AvrgSums / AvrgCount (integer division), AvrgCount = 0.
  void AccumulateSpectrum();
  void FinishSpectrumAverage();
  // Copies the record into the history ring (nothing without a history).
  void StoreSpectrumInHistory(const SpectrumBuffer* line);
  // Re-evaluates SndConfig.UserDbOffset (at most once a second unless forced) into
  // g_DbOffsetValue.
  void UpdateUserDbOffset(bool force);
  // Hands the frequency span of the alert's ranges of g_LatestSpectrum to the alert engine.
  void FeedSpectrumAlert();

  // Samples (pairs in complex mode) per line interval, at least 32.
  int SamplesPerLine() const;
  // True when ProcessSpectra reads the ring in order (see the file comment).
  bool IsFastMode() const;

  // ---- State (members of the main window in the program's terms) ----
  std::vector<double> FftInput;   // 65,536: FFT input (I/Q pairs for a complex FFT)
  std::vector<int> FftOutput;     // 65,536: CalcSpectrum result
  std::vector<int> AvrgSums;      // 65,536: waterfall-averaging sums
  int AvrgCount = 0;
  SpectrumBuffer CurrentSpectrum; // the line being built
  CSpectrumHistory History;       // allocated at start-up (CSpectrumHistory::Allocate)
  std::unique_ptr<Cfft> FftObject;
  int FftLength = 0;
  int FftWindowInUse = 0;
  double EffectiveSampleRate = 0; // Hz of the FFT input (pairs per second in complex mode)
  int64_t RingReadIndex = 0;      // fast: total-count position; positioned: ring index; -1 newest
  int LinesDue = 10;
  double TimeNow = 0;             // precise clock, set by the caller before each call
  double LineTime = 0;
  double DisplayTime = 0;
  double NextGraphRefresh = 0;
  bool FftRestart = true;
  bool WaitFullResolution = true;
  int StatusOwner = STATUS_NONE;
  int SeenRingResets = 0;         // g_BigBufferResetCount when the FFT was last set up

  // Counters for the debug window and tests: lines stored and FFTs run since construction.
  uint64_t LinesMade = 0;
  uint64_t FftsRun = 0;

private:
  bool ReadRingFast(int n, int64_t* available, int stepValues, double blockTime, double ringRate,
                    double* lineTime);
  void PublishLine();
  void SnapDisplayTime(double interval_s);
  void Log(int level, const char* text);

  ISpectrumLineHost m_NoHost;
  ISpectrumLineHost* m_Host;
  BigSampleBuffer* m_Ring;
  uint64_t m_LastTotal = ~uint64_t{0};   // ProcessSpectra step 1
  double m_LastBlockTime = -1.0;
  double m_LastDbOffsetEval = -1e300;
  int m_ShownAvrgCount = -1;
};
