#pragma once
// The two big sample rings that spectra are computed from: 69,632 doubles each (I/Q interleaved
// in complex mode), a 64-bit count of all samples ever written, time stamps, the decimation plan
// and the I/Q mixing oscillator.
//
// Threads: one writer (the audio thread, or the GUI thread during a wave-file analysis) calls
// BigBufferWrite; readers call BigBufferGetIndices and BigBufferRead. The whole write, the
// re-initialisation and the index copy are done under g_BigBufferLock, so a re-initialisation
// from the GUI thread never interleaves with a write. TotalCount is published with release
// ordering after the samples are stored, so a reader that acquires it never reads samples that
// are not yet written.
#include <atomic>
#include <cstdint>

#include "engine/DecimStage.h"
#include "platform/Threads.h"

constexpr int kBigBufferSize = 69632;        // doubles per ring
constexpr int kBigBufferMaxRatio = 6561;     // 3^8
constexpr int kBigBufferMaxWrite = 4096;     // inputs per write

struct BigSampleBuffer {
  double Ring[kBigBufferSize];  // accessed through std::atomic_ref (relaxed) by writer and reader
  double LastBlockTime;         // Unix time the writer passed with the newest block
  std::atomic<uint64_t> TotalCount;  // doubles written since the last reset
  double NewestTime;            // clock time of the newest write + that block's duration
  std::atomic<int32_t> FeedSource;   // 1 audio thread, 2 wave-file analysis, 0 re-initialising
  int32_t LastAdded;            // doubles added by the last write
  std::atomic<bool> IsComplex;  // I/Q mode
  double InputRate;             // Hz of the samples handed to the writer
  int32_t AskedRatio;           // the ratio the ring was set up for, 1 .. 6,561
  bool ThroughStages;           // samples run through Stages (complex mode or anti-alias), else
                                // real samples are averaged over AskedRatio
  int32_t DecimationRatio;      // the ratio the ring makes: the stages' product, or AskedRatio
  double OutputRate;            // InputRate / DecimationRatio: the rate of the ring's samples
  double MixerCenterFreq;       // Hz, oscillator of the complex mode
  double MixerPhase;            // radians, 0 .. 2 pi
  int32_t AvgCounter;           // averaging mode: inputs summed so far
  double AvgSum;                // averaging mode: running sum
  DecimStage Stages[8];
};

extern BigSampleBuffer g_BigBuffers[2];
// The big-buffer lock (the audio thread's BigBufferLock refers to this one).
extern CCriticalSection g_BigBufferLock;

// Global start-up: clears the ring and its counters, LastAdded 4,096, ratio 1, both rates =
// rate, centre = centreFreq, FeedSource 0, complex mode off.
void ClearBigBuffer(BigSampleBuffer* b, double rate, double centreFreq);

// The ratio a ring set up for `ratio` (clamped to 1..6,561) decimates by. I/Q pairs (complex)
// and, with the anti-alias option, real samples run through the stages of 2 and 3, which make
// the planned product (5 -> 3, 7 -> 3, 11 -> 3, 44 -> 12); other real samples are averaged over
// the ratio itself. Whatever shows or records the ring's rate uses this ratio.
int RealisedDecimationRatio(int ratio, bool complex, bool antiAlias);

// Sets the ring up for a new input rate, ratio (clamped to 1..6,561) and mixer centre; reads
// SndConfig.ComplexFFT and SndConfig.FftInputAntiAlias: DecimationRatio and OutputRate are what
// RealisedDecimationRatio says. Clears TotalCount and the time stamp. Holds g_BigBufferLock;
// FeedSource is 0 meanwhile and restored afterwards.
void InitBigBufferDecimation(BigSampleBuffer* b, double inputRate, int ratio, double centreFreq);

// g_ProcessingSampleRate divided by every planned stage factor above 1.
double GetDecimatedSampleRate(BigSampleBuffer* b);

// Adds up to 4,096 inputs (n < 1: nothing). complexMode: the ring holds I/Q pairs. A change of
// mode, or of SndConfig.FftInputAntiAlias in real mode, that changes the way the ring decimates
// restarts the ring at 0 with DecimationRatio and OutputRate restated for it. mixToComplex: real
// inputs are mixed with the oscillator at MixerCenterFreq into pairs; otherwise x holds I/Q
// pairs in the usual convention (n / 2 pairs, an odd last value is ignored; a tone above the
// centre at a positive frequency). The ring keeps the conjugate pairs (I = x cos, Q = x sin of
// the mixer); pairs handed to the I/Q recording (g_WaveLogState 3) are turned back into the
// usual convention. Real mode: ratio 1 copies, else averaging or the anti-alias stages
// (SndConfig.FftInputAntiAlias). blockTime is stored in LastBlockTime.
void BigBufferWrite(BigSampleBuffer* b, bool mixToComplex, bool complexMode, double blockTime,
                    const double* x, int n);

// Copies TotalCount, LastBlockTime and NewestTime (each pointer may be null) under the lock.
bool BigBufferGetIndices(BigSampleBuffer* b, uint64_t* totalCount, double* lastBlockTime,
                         double* newestTime);

// Copies n doubles (1..69,632 and not above TotalCount, else -1) ending one sample (one pair)
// before the newest, or continuing at wantedStart (>= 0) when the reader is at most 8,192 behind
// (catching up by an eighth of the excess up to 12,288 behind). In complex mode the start is
// always even. Returns the ring index of the first copied value, or -1.
int64_t BigBufferRead(BigSampleBuffer* b, int n, int64_t wantedStart, double* dest);
