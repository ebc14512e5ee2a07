#pragma once
// The audio processing thread and its module globals.
//
// TSoundThread moves audio block by block: 4,096 frames per channel from the sound card (or
// the wave file under analysis), up to three halving stages, the test generator into the
// input, the digimode receiver and the time-signal decoder, the big sample ring, wave
// logging, the frequency mixer, the per-channel digital filter (or bypass with gain), the
// generator and the digimode transmitter into the output, and 4,096 frames per channel back
// to the card. Devices are (re)opened by UpdateSoundDevices on the GUI thread through
// TThread::Synchronize while the audio thread waits for it.
//
// Threads: the audio thread runs Execute; everything else here runs on the GUI thread.
// Values shared between the two without a lock are atomics (AtomicField: release stores,
// acquire loads). The scope copies are handed over by their request flags: the thread fills
// the copy and then clears the request (release); the GUI draws only while it reads the
// request false (acquire) and sets it again when done.
// The GUI changes WaveInputActive / WaveInputEnded and opens, closes or positions the
// analysed file only while it holds WaveInputLock.
// g_SoundFormat, LastInputDevID and LastOutputDevID are written by UpdateSoundDevices only
// (GUI thread, inside the synchronise call or while no thread runs).
#include <atomic>
#include <cstdint>

#include "engine/AtomicField.h"
#include "engine/SampleRates.h"
#include "platform/Threads.h"
#include "platform/WaveAudio.h"

class CSound;
class C_WaveIO;
class CDec2FIR;

inline constexpr int kSndThdBlockSize = 4096;      // card frames per channel and pass
inline constexpr int kSndThdScopeSize = 1024;      // scope copy arrays (at most 512 filled)
inline constexpr int kSndThdScopeFill = 512;
inline constexpr int kSndThdNrStageTimes = 12;
inline constexpr int kSndThdNrBlockFlags = 50;
inline constexpr int kSndThdFaultLimit = 10;       // the loop ends at this fault score
inline constexpr int kSndThdLongPassMs = 800;      // a longer pass is a fault
inline constexpr int kSndThdShortPassMs = 46;      // upper bound of the short-pass threshold
inline constexpr int kSndThdRetryMs = 3000;        // tries of a lost device while on the fallback

// Stage-time slots of g_SndThdStageTicks (debug-window labels in the comments).
enum SndThdStage {
  SNDTHD_STAGE_INPUT_DECIMATION = 1,  // "Input Decimation" (never measured)
  SNDTHD_STAGE_INPUT_ADDER = 2,       // "Input Adder"
  SNDTHD_STAGE_SIGNAL_GENERATOR = 3,  // "Signal Generator"
  SNDTHD_STAGE_FREQ_MIXER = 4,        // "Frequency Mixer"
  SNDTHD_STAGE_CUSTOM_FILTER = 5,     // "Custom Filter"
  SNDTHD_STAGE_DIGIMODE_DECODER = 6,  // "Digimode Decoder" (receiver and time decoder)
  SNDTHD_STAGE_DIGIMODE_ENCODER = 7,  // "Digimode Encoder"
  SNDTHD_STAGE_FFT_MIX_DECIMATE = 8,  // "FFT Mix+Decimate" (big-ring write)
  SNDTHD_STAGE_WAVE_SAVE = 9,         // "Wave Save Buffer" (output logging)
  SNDTHD_STAGE_OUTPUT_ADDER = 10,     // "Output Adder"
  SNDTHD_STAGE_OUTPUT_INTERP = 11,    // "Output Interpolation" (never measured)
};

// Activity flag indexes of g_SndThdBlockFlags / g_SndThdBlockStats (0: the stage did not run).
enum SndThdFlag {
  SNDTHD_FLAG_MIXER0 = 3,          // 1: mixer ran on channel 0 (4: channel 1)
  SNDTHD_FLAG_FILTER0 = 5,         // 1: filter ran on channel 0 (6: channel 1)
  SNDTHD_FLAG_DIGI_TX_ADDED = 7,   // 1: digimode transmit signal added to the output
  SNDTHD_FLAG_GEN_OUT0 = 9,        // 1: generator added to output channel 0 (10: channel 1)
  SNDTHD_FLAG_FILTER_RAN0 = 15,    // 1 ran / 0 not, channel 0 (16: channel 1)
  SNDTHD_FLAG_CARD_READ = 20,      // 1 read ok / 3 failed or card error
  SNDTHD_FLAG_CARD_RIGHT = 21,     // 1: right channel taken from the card
  SNDTHD_FLAG_CARD_WRITE = 22,     // 1 write ok / 3 underflow or failed
  SNDTHD_FLAG_GEN_IN0 = 28,        // 1 / 3 (clipped): generator into input 0 (29: input 1)
  SNDTHD_FLAG_GEN_OUT_MIX0 = 30,   // 1 / 3 (clipped): generator/digimode into output 0 (31)
  SNDTHD_FLAG_GENERATOR = 35,      // 1: generator produced a block
  SNDTHD_FLAG_WAVE_INPUT = 45,     // 1 full block / 0 end without looping / 3 file gone
  SNDTHD_FLAG_WAVE_LOG_IN = 46,    // 1: input block logged
  SNDTHD_FLAG_DIGI_TX = 47,        // 1 transmitter delivered / 3 returned none
  SNDTHD_FLAG_DIGI_RX = 48,        // 1: digimode receiver called
};

class TSoundThread : public TThread {
public:
  // Builds the thread (suspended when asked: the first Resume() starts it), both device ids
  // -1, counters 0, both scope requests true, g_SoundInputWanted / g_SoundOutputWanted from
  // SndConfig.StartSoundInput / StartSoundOutput.
  explicit TSoundThread(bool createSuspended);
  // Ends the thread (terminate, wake, join while serving Synchronize). Closes no device.
  ~TSoundThread() override;

  // (Re)opens and closes the devices as the wanted state, the settings and the device ids
  // ask. GUI thread only (the audio thread calls it through TThread::Synchronize).
  void UpdateSoundDevices();

  // Wakes the wait between blocks (the main timer calls it; termination too). A pass that
  // waited on no device goes on waiting until its block is due, unless the thread terminates.
  void Wake() { BlockEvent.Set(); }

  // One block through the chain, without devices or waits: the generator, the halving stages
  // over WorkIn (haveInput; otherwise the block is silence stamped now), and every stage up to
  // the output scope copy; WorkOut then holds the output. Returns the processed block length.
  // The audio thread calls it once per pass; benchmarks drive it directly on a thread object
  // that was never started.
  int ProcessBlock(bool haveInput, double blockTime);

  int32_t LastInputDevID = -1;   // device id input was last opened with
  int32_t LastOutputDevID = -1;  // device id output was last opened with
  CAutoEvent BlockEvent;         // waited on between blocks (auto-reset)
  CCriticalSection WaveInputLock;

  int16_t InScopeSamples[kSndThdScopeSize] = {};
  std::atomic<bool> InScopeRequest{true};
  std::atomic<bool> WaveInputActive{false};
  std::atomic<bool> WaveInputEnded{false};
  int16_t CardInLeft[kSndThdBlockSize] = {};
  int16_t CardInRight[kSndThdBlockSize] = {};
  int16_t CardOutLeft[kSndThdBlockSize] = {};
  int16_t CardOutRight[kSndThdBlockSize] = {};
  double WorkIn[2][kSndThdBlockSize] = {};
  std::atomic<int32_t> InputErrors{0};
  double GenBlock[kSndThdBlockSize] = {};
  double WorkOut[2][kSndThdBlockSize] = {};
  int16_t OutScopeSamples[kSndThdScopeSize] = {};
  std::atomic<bool> OutScopeRequest{true};
  std::atomic<int32_t> OutputBlocks{0};
  std::atomic<int32_t> OutputErrors{0};
  std::atomic<int32_t> OutputSkipped{0};  // output blocks left out while the input was ahead
  std::atomic<int32_t> InMixClips[2] = {0, 0};
  std::atomic<int32_t> OutMixClips[2] = {0, 0};

protected:
  void Execute() override;

private:
  void RunPass(int64_t passStart);
  void ReadInput(bool& haveInput, bool& waited, double& blockTime);
  void WriteOutput(int n, bool& waited);
  void UpdateDevicesFromThread();
  // GUI thread, inside UpdateSoundDevices: opens the loop-back device in place of a device
  // that went away; returns the open's error code, and its number in *opened on success.
  int OpenFallback(CSound* sound, bool input, int* opened);
  // Audio thread: while on the loop-back fallback, tries the wanted devices every
  // kSndThdRetryMs and asks for a reopen when they can be opened again.
  void RetryWantedDevices();
  bool m_silentChunkAllowed = true;
  bool m_skipSaid = false;  // the skipping of output blocks was reported in this episode
  // A device went away while running (read or write failed with "sound device lost"): until
  // the wanted devices are open again, a missing device is replaced by the loop-back device.
  // Written by the audio thread and by UpdateSoundDevices while the audio thread waits.
  bool m_deviceLost = false;
  bool m_inFallback = false;   // the input runs on the loop-back device in place of the wanted
  bool m_outFallback = false;  // the output likewise
  int64_t m_nextRetryMs = 0;   // steady-clock ms of the next try (audio thread)
  int m_divisorSetting = 1;  // SndConfig.SampleRateDivisor as last taken over (unclamped)
  int m_stages = 0;        // halving stages for it (0..3)
  // Audio thread: sets m_blockRate for this pass's blocks and, when it differs from the last
  // pass's, has the GUI side follow (SoundThd_NotifyRateChanged) before the block is made.
  void FollowBlockRate();
  // Audio thread, a pass that waited on no device: returns when the block is due on a
  // timeline of one card block (4,096 frames at the card's rate) per pass, so a chain without
  // a device (or a played file without the output) makes its blocks at the card's rate.
  void WaitForBlockDue();
  // Hz of the blocks this pass makes: the calibrated rate of the card format over the halving
  // stages run; 0 before the first pass (ProcessBlock then takes g_ProcessingSampleRate).
  double m_blockRate = 0.0;
  bool m_paceRunning = false;  // m_paceDue holds the due time of the last paced block
  int64_t m_paceDueNs = 0;     // steady-clock ns
};

// ---- Module globals (GUI thread unless said otherwise) ----
extern TSoundThread* g_pSoundThread;             // the one thread, null when stopped
extern std::atomic<CSound*> g_pSound;            // sound card (made by the main window)
extern std::atomic<C_WaveIO*> g_pAnalysisWaveFile;  // file under analysis (set under WaveInputLock)
extern AtomicField<bool> g_SoundInputWanted;
extern AtomicField<bool> g_SoundOutputWanted;
extern AtomicField<bool> g_SoundReopenRequest;
extern AtomicField<bool> g_AudioServerReinitRequest;
extern AtomicField<bool> g_SoundOutputOk;
extern WAVEFORMATEX g_SoundFormat;               // the format the devices are opened with
extern const int16_t g_SilentBlock[kSndThdBlockSize];
extern AtomicField<int32_t> g_NrProcessedChannels;  // 1 or 2
extern CDec2FIR* g_InputDecimators[2][3];        // halving stages per channel
// g_InputSampleRate, g_OutputSampleRate, g_ProcessingSampleRate: engine/SampleRates.h
extern AtomicField<int32_t> g_ProcessedBlockLength;  // frames per channel after halving
// Hz of the block being processed (the card's rate over the halving stages run), set by the
// audio thread before it hands the block to the receivers; 0 while no thread runs. It differs
// from g_ProcessingSampleRate for the pass or two in which a change applied by the GUI has not
// reached the device or the halving stages yet.
extern AtomicField<double> g_ProcessedBlockRate;
extern AtomicField<int32_t> g_BigBufferResetCount;   // bumped when ring readers must restart
extern AtomicField<double> g_BasebandFreqMin;    // displayed range minus offset, >= 0
extern AtomicField<double> g_BasebandFreqMax;
extern double g_DigimodeTxBuffer[kSndThdBlockSize];  // audio thread only
// Averaged stage times in performance-counter ticks (weight 1/16), slots as SndThdStage.
extern AtomicField<int64_t> g_SndThdStageTicks[kSndThdNrStageTimes];
// Flags of the block being processed (audio thread only) and of the previous block (GUI).
extern uint32_t g_SndThdBlockFlags[kSndThdNrBlockFlags];
extern AtomicField<uint32_t> g_SndThdBlockStats[kSndThdNrBlockFlags];
extern AtomicField<int32_t> g_SndThdFaultScore;
extern AtomicField<uint32_t> g_SndThdLoopCount;  // passes since program start
extern AtomicField<bool> g_SoundThdFinished;     // true once Execute's loop has ended
extern AtomicField<int32_t> g_SndThdSleepRequestMs;  // > 0: the thread sleeps once that long
extern AtomicField<int32_t> g_DebugOptions;
// True while the input or the output runs on the loop-back device because the wanted device
// is missing (it went away, or the default device had no sound card behind it). Written by
// UpdateSoundDevices and at termination, read by the GUI (status button).
extern AtomicField<bool> g_SoundOnLoopbackFallback;

// Once at start-up, before CSound and the thread exist: clears the first-error record, sets
// the rates from SndConfig.SampleRate (11,025 below 4,000), the halving stages, the
// generator, both big rings, the wave-log decimators, the filters and the mixers.
void InitSoundThdGlobals();

// Ends and deletes g_pSoundThread: terminates it, wakes its wait between blocks and its
// device wait, tells the digimode layer that the output stops (SoundThd_NotifyOutputStopped,
// before the join), joins it while serving its Synchronize calls, and only then closes the
// devices. True when it had ended within the device wait (or there was no thread).
bool TerminateSoundThread();

// Close handler: terminates the thread (30 beeps when that failed), deletes the audio client
// and server, closes the card and deletes g_pSound.
void CleanupSoundThread();

// Sets the wanted device state and recalculates the rates; the thread follows at its next pass.
void SetSoundInOutWanted(bool in, bool out);

// The calibrated rate of the nominal card rate `nominal` (MachineConfig.CalibADC for the input,
// CalibDAC for the output, at the nominal rate's place in kCalibNominalRates); a rate that is
// not in that table as it stands. Hz.
double CalibratedCardRate(int nominal, bool input);
// Sets the three rates (calibrated input and output rates of the nominal SndConfig.SampleRate;
// the processing rate is the input rate when input is wanted, else the output rate, divided
// by the realised divisor 1, 2, 4 or 8) and returns g_ProcessingSampleRate.
double CalcEffectiveSampleRates();
// Rebuilds both channels' mixer tables for their set frequencies at g_ProcessingSampleRate:
// after every change of the processing rate (GUI thread).
void RetuneFreqMixers();

// g_BasebandFreqMin / Max from SndConfig.FreqMin / FreqMax minus SndConfig.FreqOffset, >= 0.
void UpdateFreqRangeLimits();

// Half a block at the card rate: 2,048,000 / rate ms (integer), clamped to 70..750. The wait of
// a pass without a device while the card's rate is not known (a pass with a known rate waits
// for its block to be due, a whole block after the last one).
int SndThd_BlockWaitMs(uint32_t cardRate);
// Shortest healthy pass in ms at the card rate: min(46, half a block's duration), at least 1.
// Passes are paced by the card, so above about 89 kHz a healthy pass lasts less than 46 ms.
int SndThd_ShortPassLimitMs(uint32_t cardRate);
// One step of the fault score for a pass of passMs: a pass shorter than shortLimitMs or longer
// than 800 ms adds 1, any other takes 1 off (not below 0). Returns the new score.
int SndThd_NextFaultScore(int score, int64_t passMs, int shortLimitMs);
