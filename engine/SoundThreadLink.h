#pragma once
// The windows' view of the audio engine: the audio thread's life cycle, its scope snapshots and
// the counters the debug window shows. The main window, the debug window and the scopes go
// through this one object, so they build and run with any engine behind it (the audio thread,
// or a fake one in the window tests). The base class is the "no audio engine" case: nothing
// exists and every request is ignored. GUI thread only.
#include <cstdint>

// Counters and states for the debug window, read in one go by its timer.
struct SoundEngineStats {
  bool soundExists = false;   // the sound-card object exists
  int inStatus = 0;           // the card's input error code (0 = fine)
  int outStatus = 0;          // the card's output error code
  int lostIn = 0;             // input buffers lost (overflows)
  int lostOut = 0;            // output underflows
  bool threadExists = false;  // the audio thread exists
  int inputErrors = 0;        // failed card reads of the audio thread
  int outputErrors = 0;       // failed card writes
  uint32_t loops = 0;         // passes of the audio thread's loop since program start
  int64_t stageTicks[12] = {};  // averaged stage times, performance-counter ticks per block
  int nrProcessedChannels = 1;  // channels the audio thread processes (1 or 2)
  int processedBlockLength = 4096;  // samples per channel and block after the halving stages
  double processingRate = 0;  // sample rate of the processed signal (Hz)
  int bigBufferResets = 0;    // bumped whenever the spectrum ring readers must restart
  int decimFactors[8] = {1, 1, 1, 1, 1, 1, 1, 1};  // the spectrum ring's decimation stages
  // For the signal-path window:
  bool threadSuspended = false;  // the audio thread exists and is suspended
  bool threadFinished = false;   // its loop has ended
  bool inputOpen = false;        // the card's input is open
  bool outputOpen = false;       // the card's output is open
  bool inputWanted = false;      // input is to be open
  bool outputWanted = false;     // output is to be open
  bool outputOk = true;          // the last output write worked
  uint32_t blockStats[50] = {};  // activity flags of the last block (0 not run, 1 ran, 3 failed)
  bool digimodeTx = false;       // the digimode transmitter is switched on
  bool digimodeRx = false;       // the digimode receiver is switched on
};

enum class ScopeChannel { Input = 0, Output = 1 };

class CSoundThreadLink {
public:
  virtual ~CSoundThreadLink() = default;

  // Start-up of the engine's globals (before the sound-card object and the thread exist).
  virtual void InitGlobals() {}
  // Sets the card and processing rates from the settings; returns the processing rate (Hz).
  virtual double CalcEffectiveSampleRates();
  // Derives the engine's baseband range from the displayed range and offset.
  virtual void UpdateFreqRangeLimits() {}
  // Creates the one sound-card object when there is none.
  virtual void CreateSound() {}
  // The audio thread: exists, create (suspended, highest priority), resume, wake.
  virtual bool ThreadExists() const { return false; }
  virtual void CreateThread() {}
  virtual bool ThreadSuspended() const { return false; }
  virtual bool ThreadFinished() const { return false; }
  virtual void ResumeThread() {}
  // Ends an early wait of the thread between two blocks.
  virtual void SignalBlockEvent() {}
  // The thread runs on the loop-back device because the wanted sound device is missing.
  virtual bool OnLoopbackFallback() const { return false; }
  // Ends and deletes the thread; true when it finished in time (or there was none).
  // Must not block the GUI thread for more than about a second.
  virtual bool TerminateThread() { return true; }
  // Shut-down: terminates the thread, deletes the audio links and the sound-card object.
  virtual void Cleanup() {}
  // Asks a running thread to close and reopen the sound devices and the audio server.
  virtual void RequestDeviceReopen() {}
  // Hands the edited filters of channels 0 and 1 to the audio thread.
  virtual void ActivateEditedFilters() {}
  // Whether the audio thread is to open the card's input and output (also sets the rates).
  virtual void SetSoundInOutWanted(bool in, bool out) { (void)in; (void)out; }
  // Closes the wave file under analysis (under the thread's wave-input lock) if one is open.
  virtual void CloseAnalysedWaveFile() {}

  // Scope hand-over: the samples of a refilled snapshot (count in *count, at most 512), or
  // nullptr while the thread has not refilled it since the last acknowledgement.
  virtual const int16_t* ScopeSnapshot(ScopeChannel, int* count) { *count = 0; return nullptr; }
  // Hands a snapshot back to the thread for refilling (after drawing it, or not when hidden).
  virtual void AckScopeSnapshot(ScopeChannel) {}

  // Debug window.
  virtual SoundEngineStats Stats() const { return {}; }
  // Sets the card's remembered input status to 0 so the next check reports a change.
  virtual void ClearInputStatus() {}
  // The thread sleeps that long once at the end of its next pass (a stall test).
  virtual void RequestStall(int ms) { (void)ms; }
  virtual void SetDebugOptions(int bits) { (void)bits; }

  // The audio thread's wish to play sound: the thread opens or closes the output to match.
  virtual void SetSoundOutputWanted(bool wanted) { (void)wanted; }
  virtual bool SoundOutputWanted() const { return false; }

  // Signal-path window: the clip counts of the generator adders into the input and into the
  // output per channel since the last call, each read and cleared in one atomic exchange.
  virtual void TakeMixClips(int inClips[2], int outClips[2])
  {
    inClips[0] = inClips[1] = outClips[0] = outClips[1] = 0;
  }
};

// The link in use; the base class until the program or a test installs another.
CSoundThreadLink& SoundThreadLink();
// Installs a link (not owned; nullptr restores the base class).
void SetSoundThreadLink(CSoundThreadLink* link);
