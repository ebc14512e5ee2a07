#pragma once
// The digimode engine's and the time-signal decoder's entries that the audio thread calls once
// per block, and the engine's start (the rest of the engine: digimode/DigimodeEngine.h).
// Each hook try-enters g_DigimodeLock and skips its block while the GUI thread rebuilds.
#include <atomic>

// Receive and transmit switches of the digimode engine (set by its receive/transmit switch,
// cleared by Digimode_Init and its exit). The audio thread reads them once per block.
extern std::atomic<bool> g_DigimodeRxEnabled;
extern std::atomic<bool> g_DigimodeTxEnabled;

// Starts or restarts the engine (see digimode/DigimodeEngine.h). Called once at start-up
// before the audio thread is created, and again by the terminal window. Installs the engine
// hooks first (Digimode_InstallEngineHooks).
void Digimode_Init();

// Hands the entries below to the audio thread (engine/SoundThdHooks.h, gated by the two
// switches above) and the receive frequency fc_rx to quick preset 6. GUI thread.
void Digimode_InstallEngineHooks();

// One processed input block (channel 0, n samples on the 16-bit scale, the first taken at Unix
// time tFirst). Does nothing while the engine is not ready or receiving is off, or when n is
// outside 1..4,096. Audio thread; never blocks.
void Digimode_ProcessRxAudio(const double* samples, int n, double tFirst);

// Writes n transmit samples (16-bit scale) into out and returns true; false when n is outside
// 1..4,096, the engine is not ready or not transmitting, a rebuild holds the engine, or no
// coder wrote the block.
// Audio thread; never blocks.
bool Digimode_GenerateTxAudio(double* out, int n, double t);

// The sound output has stopped (output closed, audio thread ended): a transmission cannot go
// on, so a keyed station drops its keying line and goes to receive with no request pending.
// GUI thread.
void Digimode_OutputStopped();

// The audio thread's blocks come at `rate` Hz from the next one on (a new sample rate or input
// divisor took effect): the receiver and transmitter, the FSK filters and a loaded plug-in are
// set up for that rate, a running transmission goes on with the text still queued. Nothing
// changes when the coders were built for that rate already, or while the engine is not ready.
// GUI thread (the audio thread waits meanwhile).
void Digimode_FollowSampleRate(double rate);

// One processed input block for the time-signal decoder; returns at once when n < 1.
// Audio thread; never blocks.
void Dcf77Dec_ProcessSamples(const double* samples, int n, double tFirst);
