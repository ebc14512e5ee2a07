#pragma once
// The audio thread's per-block calls into the digital modes and the time-signal decoder.
//
// The engine does not know the layers above it: the digimode layer hands its entries over at
// start-up (Digimode_Init installs them before the audio thread is created), as the
// interpreter is handed the speaker tone. Until they are installed the thread runs no
// receiver and no transmitter.

struct TSoundThdDigimodeHooks {
  // Receive and transmit switches of the digimode engine, read once per block; the receiver
  // runs only while SndConfig.DigimodeActive > 0 and RxEnabled(), the transmitter only while
  // SndConfig.DigimodeActive > 0 and TxEnabled().
  bool (*RxEnabled)();
  bool (*TxEnabled)();
  // One processed input block (channel 0, n samples on the 16-bit scale, the first taken at
  // Unix time tFirst) for the digimode receiver.
  void (*ProcessRxAudio)(const double* samples, int n, double tFirst);
  // Fills n transmit samples and returns true, or returns false when there are none.
  bool (*GenerateTxAudio)(double* out, int n, double t);
  // One processed input block for the time-signal decoder, while SndConfig.Dcf77Active > 0
  // and the processing rate is above 10 Hz.
  void (*ProcessTimeSignal)(const double* samples, int n, double tFirst);
  // The sound output has stopped: the output device was closed or the audio thread ended.
  // Nothing the transmitter makes reaches the card any more, so a keyed transmitter must drop
  // its keying line now. GUI thread (the audio thread asks through TThread::Synchronize).
  void (*OutputStopped)();
  // The blocks come at another rate from the next one on (Hz; the card's rate over the halving
  // stages run): coders, filters and decoders built for the old rate are set up for this one.
  // GUI thread; the audio thread asks through TThread::Synchronize and waits, so no block at
  // the new rate reaches the layer before it has followed.
  void (*SampleRateChanged)(double rate);
};

// Installs the hooks (every entry must be set; the record must live as long as it is
// installed, a static one). nullptr removes them. Any thread; the audio thread picks the
// record up at its next block.
void SoundThd_SetDigimodeHooks(const TSoundThdDigimodeHooks* hooks);
// The installed record, nullptr when none.
const TSoundThdDigimodeHooks* SoundThd_GetDigimodeHooks();
// Calls the installed record's OutputStopped, if any. GUI thread.
void SoundThd_NotifyOutputStopped();
// The audio thread's blocks come at `rate` Hz from its next block on (GUI thread, inside the
// thread's synchronise call): g_ProcessingSampleRate becomes that rate, ring 0 is set up for it
// when the thread feeds it (a wave-file analysis keeps the file's set-up), and the installed
// record's SampleRateChanged follows. Nothing happens for a rate below 1 Hz.
void SoundThd_NotifyRateChanged(double rate);
