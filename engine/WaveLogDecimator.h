#pragma once
// Decimator for recording to a wave file: reduces the logged signal and parks it in two
// ping-pong buffers of 16-bit samples that the GUI writes to disk.
//
// Hand-over: the audio thread fills a buffer and sets its state to 2 (full) with release
// ordering; the GUI, seeing 2 (acquire), writes Fill samples of that buffer and sets the state
// back to 0.
#include <atomic>
#include <cstdint>

#include "engine/DecimStage.h"

constexpr int kWaveLogBufferSize = 16384;

enum { kWaveLogEmpty = 0, kWaveLogFilling = 1, kWaveLogFull = 2 };

struct WaveLogDecimator {
  std::atomic<bool> Active;    // the audio thread may feed it
  // Hz of the blocks it was set up for (the chain's blocks for the input and the output, the
  // blocks written into ring 0 for its I/Q pairs); the audio thread hands it no block made at
  // another rate. 0: any rate.
  std::atomic<double> BlockRate;
  double AvgSum;               // averaging mode
  int32_t AvgCounter;
  int32_t Ratio;               // 1 .. 20
  int32_t Capacity;            // samples per buffer, at most 16,384 (even for I/Q logging)
  std::atomic<int32_t> StateA, StateB;  // kWaveLogEmpty / Filling / Full
  std::atomic<int32_t> FillA, FillB;    // samples in each buffer
  DecimStage Stages[2];
  int16_t BufferA[kWaveLogBufferSize];
  int16_t BufferB[kWaveLogBufferSize];
};

extern WaveLogDecimator g_WaveLogDecimator[2];
// 0 off, 1 log the input, 2 log the output, 3 log ring 0's decimated I/Q pairs.
extern std::atomic<int32_t> g_WaveLogState;

// Start-up state: inactive, both buffers empty, two stages of factor 1, ratio 1.
void ResetWaveLogDecimator(WaveLogDecimator* d);

// Set up for logging the input or output of the chain at a reduced rate
// (SndConfig.WaveSaveDownsampled, WaveSaveSampleRate, WaveSaveAntiAlias). The logged blocks
// run at g_ProcessingSampleRate (the card's rate after the input halving stages; the nominal
// SndConfig.SampleRate while that is not known yet): returns that rate / ratio, the rate of
// the samples the buffers receive. BlockRate becomes the rate of the blocks.
double InitWaveLogDecimator(WaveLogDecimator* d);

// Set up for logging ring 0's I/Q pairs unchanged. Capacity is 10 s of values, clamped to
// 512 .. 16,384 and made even so that no pair is split between the buffers. Returns the rate of
// the pairs: ring 0's OutputRate (the rate the ring was last set up with). BlockRate becomes
// ring 0's InputRate.
double InitWaveLogPassThrough(WaveLogDecimator* d);

// Feeds n values (at most 4,096; n < 1 nothing). Outputs are limited to +-32,767 and truncated.
// When both buffers are full, further outputs are dropped.
void WaveLogDecimate(WaveLogDecimator* d, const double* x, int n);
