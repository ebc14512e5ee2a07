#pragma once
// Recording of the audio input (mode 1), the audio output (2) or ring 0's decimated I/Q pairs
// (3) into a wave file. The audio thread fills the two ping-pong buffers of
// g_WaveLogDecimator[0] (decimator 0 logs all three modes); the GUI writes each full buffer
// to g_pRecordWaveFile (made on first use, then reused) from the idle handler and the timer.
//
// A recording cut off at any moment leaves a readable file: after every block written the
// RIFF and data sizes in the header are brought up to date, so a crash loses at most the
// samples not yet written. A failed write (a full disk) ends the recording with a message;
// the file keeps a valid header for what was written. A recording stops on its own when the
// next block would take the file beyond SndConfig.MaxFileSize kilobytes: the part of the
// block that fits is written, the file is closed with its header, and the debug messages and
// the progress button say why.
// GUI thread only.
#include <cstdint>
#include <string>

#include "mainwin/WaveFileHost.h"

class C_WaveIO;

extern C_WaveIO* g_pRecordWaveFile;

enum { WAVE_LOG_OFF = 0, WAVE_LOG_INPUT = 1, WAVE_LOG_OUTPUT = 2, WAVE_LOG_IQ = 3 };

class CWaveRecorder {
public:
  explicit CWaveRecorder(IWaveFileHost* host);
  CWaveRecorder(const CWaveRecorder&) = delete;
  CWaveRecorder& operator=(const CWaveRecorder&) = delete;

  // The menu commands LogToWavFileClick (1), LogOutputToWAVClick (2) and
  // Menu_LogDecimatedIQClick (3): stops a running recording, or asks for a file and starts.
  void ChooseWaveRecordFile(int mode);
  // Starts recording in mode 1..3 to fileName (a running recording is stopped first). False
  // when the file could not be created (the message says why) or the mode is unknown. With
  // reason given the why goes there instead of a message to the user.
  bool StartWaveRecording(int mode, const std::string& fileName, std::string* reason = nullptr);
  // Writes the full buffers still waiting, closes the file with its header fixed up. Returns 1.
  int StopWaveRecording();
  // Writes at most one full buffer (the older one first). Idle handler and timer.
  void FlushWaveRecordBuffers();
  // Writes every full buffer, the older one first. For a producer on the GUI thread that
  // fills the buffers faster than the timer empties them (the off-line analysis): called
  // before it hands over more samples.
  void WriteFullBuffers();
  // Values (16-bit samples) one buffer takes before it is full (set when the recording starts).
  int BufferCapacity() const;
  // The rate the recording in `mode` will have (prepares decimator 0 for it).
  double PrepareDecimator(int mode);

  // A recording holds samples at one rate, the one its header states. Called wherever the
  // processing rate or ring 0's pair rate is set anew (the configuration applied, a device
  // reopened, an off-line analysis began or ended): a running recording whose samples now
  // come at another rate (the processing rate over the decimator's ratio for the input and
  // the output, ring 0's pair rate for I/Q) ends here with the samples it holds, and a
  // message says why. True when it ended; at the same rate it goes on.
  bool EndRecordingAtNewRate();
  // Returns once the audio thread has finished the block it may be handing to ring 0 and the
  // decimator (at once without a running thread).
  void WaitForDecimatorIdle();

  bool IsRecording() const;
  // Bytes of the file so far (its write offset); 0 without a file.
  int64_t FileOffset() const;
  // The largest file a recording may leave, in bytes (SndConfig.MaxFileSize kilobytes of 1,024
  // bytes); 0 when the setting is 0 or below (no limit but the file format's own).
  static int64_t FileSizeLimit();

  // ---- State ----
  std::string RecordFileName = "logfile1.wav";
  bool LoggingActive = false;
  bool StatusDirty = false;  // a buffer was written: the status wants a refresh
  int BufferNumber = 0;      // running number of the buffers written
  int LastWritten = -1;      // 0 buffer A, 1 buffer B, -1 none yet
  // Why the last recording ended by itself ("Logging stopped: 1400 kB limit"); shown on the
  // idle progress button until the button is clicked or the next recording starts.
  std::string EndNote;

private:
  bool WriteBuffer(int which);
  // The rate the samples of the running recording come at now.
  double CurrentRecordRate() const;
  // The rate of the blocks they are made from now (the chain's, or ring 0's input for I/Q).
  double CurrentBlockRate() const;
  // Ends the recording after a write failure or at the size limit: the file is closed with
  // its header, the menu caption and the status follow.
  void EndRecording();

  double m_RecordRate = 0.0;  // samples (pairs) per second the open recording's header states
  IWaveFileHost m_NoHost;
  IWaveFileHost* m_Host;
};

// Writes the RIFF and data sizes of a RIFF file being written into its header, without moving
// the write position. True when done (or nothing to do: a raw file).
bool SyncWaveFileHeader(C_WaveIO* w);

// ProgressButton: what it shows for an analysis (owner 2, "Reading N kB") or a recording
// (owner 3, "Logging N kB"), else owner 0 with the recorder's EndNote (empty when there is
// none). Returns the owner.
int WaveFileStatusText(const class CWaveAnalysis* analysis, const CWaveRecorder* recorder,
                       std::string* text);
