#include "mainwin/WaveRecording.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <mutex>
#include <new>
#include <thread>

#include "engine/BigSampleBuffer.h"
#include "engine/C_WaveIO.h"
#include "engine/SampleRates.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/WaveLogDecimator.h"
#include "interp/CmdWinMsg.h"
#include "mainwin/WaveAnalysis.h"

C_WaveIO* g_pRecordWaveFile = nullptr;

namespace {

WaveLogDecimator* Decimator() { return &g_WaveLogDecimator[0]; }

void Put32(unsigned char* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}

bool PWriteAll(int fd, const unsigned char* p, size_t n, off_t at) {
  while (n > 0) {
    const ssize_t w = ::pwrite(fd, p, n, at);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w, n -= size_t(w), at += w;
  }
  return true;
}

}  // namespace

bool SyncWaveFileHeader(C_WaveIO* w) {
  if (!w || !w->IsOpenForWrite() || w->FileHandle < 0) return false;
  if (w->GetFileFormat() != C_WaveIO::FORMAT_RIFF || w->DataStart < 12) return true;
  unsigned char b[4];
  Put32(b, static_cast<uint32_t>(w->DataSize));
  if (!PWriteAll(w->FileHandle, b, 4, w->DataStart - 4)) return false;
  Put32(b, static_cast<uint32_t>(w->DataStart + w->DataSize - 8));
  return PWriteAll(w->FileHandle, b, 4, 4);
}

CWaveRecorder::CWaveRecorder(IWaveFileHost* host) : m_Host(host ? host : &m_NoHost) {}

bool CWaveRecorder::IsRecording() const {
  return g_pRecordWaveFile && g_pRecordWaveFile->IsOpenForWrite() &&
         g_WaveLogState.load(std::memory_order_acquire) != WAVE_LOG_OFF;
}

int64_t CWaveRecorder::FileOffset() const {
  return g_pRecordWaveFile ? g_pRecordWaveFile->GetCurrentFileOffset() : 0;
}

int64_t CWaveRecorder::FileSizeLimit() {
  const int kB = SndConfig.MaxFileSize;
  return kB > 0 ? int64_t{kB} * 1024 : 0;
}

double CWaveRecorder::PrepareDecimator(int mode) {
  if (mode == WAVE_LOG_IQ) return InitWaveLogPassThrough(Decimator());
  return InitWaveLogDecimator(Decimator());
}

namespace {

// Ring 0 holds I/Q pairs only while the FFT is complex; with a real FFT an I/Q recording would
// stay empty.
constexpr const char* kIqNeedsComplex =
    "Decimated I/Q samples exist only with the complex FFT: set the FFT type to complex first.";

}  // namespace

void CWaveRecorder::ChooseWaveRecordFile(int mode) {
  if (IsRecording()) {
    StopWaveRecording();
    return;
  }
  if (mode == WAVE_LOG_IQ && !SndConfig.ComplexFFT) {
    m_Host->ShowMessage(kIqNeedsComplex);
    return;
  }
  const char* head = mode == WAVE_LOG_INPUT    ? "Log audio input as Wave-file ("
                     : mode == WAVE_LOG_OUTPUT ? "Log audio output as Wave-file ("
                     : mode == WAVE_LOG_IQ     ? "Log decimated I/Q samples as file ("
                                               : nullptr;
  if (!head) return;
  LoggingActive = false;
  const double rate = PrepareDecimator(mode);
  if (!g_pRecordWaveFile) g_pRecordWaveFile = new (std::nothrow) C_WaveIO;
  char title[128];
  // The rate as the file's header will state it.
  std::snprintf(title, sizeof title, "%s%u samples/sec)", head,
                static_cast<unsigned>(C_WaveIO::HeaderSampleRate(rate)));
  std::string name = RecordFileName;
  if (!m_Host->AskSaveFileName(title, name)) return;
  StartWaveRecording(mode, name);
}

bool CWaveRecorder::StartWaveRecording(int mode, const std::string& fileName,
                                       std::string* reason) {
  if (mode < WAVE_LOG_INPUT || mode > WAVE_LOG_IQ) {
    if (reason) *reason = "Unknown recording mode " + std::to_string(mode);
    return false;
  }
  if (mode == WAVE_LOG_IQ && !SndConfig.ComplexFFT) {
    if (reason) *reason = kIqNeedsComplex;
    else m_Host->ShowMessage(kIqNeedsComplex);
    return false;
  }
  if (IsRecording() || (g_pRecordWaveFile && g_pRecordWaveFile->IsOpenForWrite()))
    StopWaveRecording();
  LoggingActive = false;
  WaveLogDecimator* d = Decimator();
  d->Active.store(false, std::memory_order_release);
  const double rate = PrepareDecimator(mode);
  if (!g_pRecordWaveFile) g_pRecordWaveFile = new (std::nothrow) C_WaveIO;
  C_WaveIO* w = g_pRecordWaveFile;
  RecordFileName = fileName;
  g_WaveLogState.store(WAVE_LOG_OFF, std::memory_order_release);
  const int format = SndConfig.WaveFileFormat == C_WaveIO::FORMAT_RAW ? C_WaveIO::FORMAT_RAW
                                                                       : C_WaveIO::FORMAT_RIFF;
  if (!w || !w->OutOpen(fileName.c_str(), format, 16, mode == WAVE_LOG_IQ ? 2 : 1, rate)) {
    const std::string msg = "Problem:\r\nCould not create \"" + fileName +
                            "\"\r for recording (" + std::strerror(errno) + ").";
    if (reason)
      *reason = "Could not create \"" + fileName + "\" for recording (" + std::strerror(errno) + ")";
    else
      m_Host->ShowMessage(msg.c_str());
    return false;
  }
  m_RecordRate = rate;
  BufferNumber = 0;
  LastWritten = -1;
  EndNote.clear();
  d->Active.store(true, std::memory_order_release);
  g_WaveLogState.store(mode, std::memory_order_release);
  m_Host->SetLogMenuCaption(("Stop logging to \"" + fileName + "\"").c_str());
  LoggingActive = true;
  m_Host->ShowStatus();
  if (SndConfig.MsgDisplay & MSGDISP_FILE_ACTIONS)
    CmdWin_AddMessage(1, CMDWIN_MSG_INFO,
                      ("Started recording to wave file \"" + fileName + "\"").c_str());
  return true;
}

void CWaveRecorder::WaitForDecimatorIdle() {
  // The audio thread tests Active once per block; a block it was feeding when Active was
  // cleared is finished before its pass count moves on. Without a running thread nobody feeds.
  TSoundThread* t = g_pSoundThread;
  if (!t || t->Suspended() || t->Finished()) return;
  const uint32_t seen = g_SndThdLoopCount;
  for (int i = 0; i < 300 && g_SndThdLoopCount == seen; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int CWaveRecorder::StopWaveRecording() {
  const bool wasLogging = LoggingActive;
  LoggingActive = false;
  g_WaveLogState.store(WAVE_LOG_OFF, std::memory_order_release);
  Decimator()->Active.store(false, std::memory_order_release);
  if (C_WaveIO* w = g_pRecordWaveFile) {
    if (w->IsOpenForWrite()) {
      WaitForDecimatorIdle();
      // Full buffers the audio thread handed over are written before the file is closed,
      // then the one it was filling, so the file holds every sample taken.
      for (int i = 0; i < 2 && w->IsOpenForWrite(); ++i) {
        const int first = LastWritten == 0 ? 1 : 0;
        if (!WriteBuffer(first)) WriteBuffer(1 - first);
      }
      WaveLogDecimator* d = Decimator();
      for (int which = 0; which < 2 && w->IsOpenForWrite(); ++which) {
        std::atomic<int32_t>& state = which == 0 ? d->StateA : d->StateB;
        const int32_t fill = (which == 0 ? d->FillA : d->FillB).load(std::memory_order_relaxed);
        if (state.load(std::memory_order_acquire) == kWaveLogFilling && fill > 0) {
          state.store(kWaveLogFull, std::memory_order_release);
          WriteBuffer(which);
        }
      }
    }
    w->CloseFile();
    if (wasLogging && (SndConfig.MsgDisplay & MSGDISP_FILE_ACTIONS))
      CmdWin_AddMessage(1, CMDWIN_MSG_INFO,
                        ("Stopped recording to wave file \"" + RecordFileName + "\"").c_str());
  }
  m_Host->SetLogMenuCaption("Log input as *.WAV-file");
  m_Host->ShowStatus();
  return 1;
}

bool CWaveRecorder::WriteBuffer(int which) {
  // Writes buffer `which` (0 A, 1 B) when it is full. True when a buffer was taken.
  WaveLogDecimator* d = Decimator();
  std::atomic<int32_t>& state = which == 0 ? d->StateA : d->StateB;
  std::atomic<int32_t>& fill = which == 0 ? d->FillA : d->FillB;
  const int16_t* data = which == 0 ? d->BufferA : d->BufferB;
  if (state.load(std::memory_order_acquire) != kWaveLogFull) return false;
  C_WaveIO* w = g_pRecordWaveFile;
  int count = fill.load(std::memory_order_relaxed);
  count = count < 0 ? 0 : (count > kWaveLogBufferSize ? kWaveLogBufferSize : count);
  int bytes = count * 2;
  // The size limit: only the whole frames that still fit are written, then the recording ends.
  bool limitReached = false;
  if (const int64_t limit = FileSizeLimit(); limit > 0 && w->IsOpenForWrite()) {
    const int64_t room = std::max<int64_t>(0, limit - w->GetCurrentFileOffset());
    if (bytes > room) {
      const int64_t frame = std::max(1, w->GetNrChannels()) * 2;
      bytes = static_cast<int>(room - room % frame);
      limitReached = true;
    }
  }
  bool ok = true;
  int err = 0;
  if (bytes > 0) {
    errno = 0;
    ok = w->WriteSamples(data, bytes) >= 0;
    err = errno;
    if (ok) ok = SyncWaveFileHeader(w);
    if (!ok && !err) err = errno;
  }
  fill.store(0, std::memory_order_relaxed);
  state.store(kWaveLogEmpty, std::memory_order_release);
  StatusDirty = true;
  if (LastWritten == which) {
    char text[64];
    std::snprintf(text, sizeof text, "Lost buffer %c(#%d) for wave save", which == 0 ? 'A' : 'B',
                  BufferNumber);
    m_Host->Log(20, text);
  }
  ++BufferNumber;
  LastWritten = which;
  if (!ok) {
    // A full disk, the process's file-size limit or another write error: stop here; the file
    // keeps a valid header for the blocks written so far.
    const std::string msg = "Recording to \"" + RecordFileName + "\" stopped: could not write (" +
                            (err ? std::strerror(err) : "write error") + ").";
    m_Host->Log(10, msg.c_str());
    EndNote = "Logging stopped: write error";
    EndRecording();
    m_Host->ShowMessage(msg.c_str());
  } else if (limitReached) {
    char text[64];
    std::snprintf(text, sizeof text, "%d kB", SndConfig.MaxFileSize.load());
    const std::string msg = "Recording to \"" + RecordFileName +
                            "\" stopped: the file reached its size limit of " + text + ".";
    m_Host->Log(10, msg.c_str());
    EndNote = std::string("Logging stopped: ") + text + " limit";
    EndRecording();
  }
  return true;
}

void CWaveRecorder::EndRecording() {
  const bool wasLogging = LoggingActive;  // StopWaveRecording says "Stopped" itself
  LoggingActive = false;
  g_WaveLogState.store(WAVE_LOG_OFF, std::memory_order_release);
  Decimator()->Active.store(false, std::memory_order_release);
  if (g_pRecordWaveFile) g_pRecordWaveFile->CloseFile();
  if (wasLogging && (SndConfig.MsgDisplay & MSGDISP_FILE_ACTIONS))
    CmdWin_AddMessage(1, CMDWIN_MSG_INFO,
                      ("Stopped recording to wave file \"" + RecordFileName + "\"").c_str());
  m_Host->SetLogMenuCaption("Log input as *.WAV-file");
  m_Host->ShowStatus();
}

double CWaveRecorder::CurrentBlockRate() const {
  if (g_WaveLogState.load(std::memory_order_acquire) == WAVE_LOG_IQ) {
    std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
    return g_BigBuffers[0].InputRate;
  }
  return g_ProcessingSampleRate;
}

double CWaveRecorder::CurrentRecordRate() const {
  const int mode = g_WaveLogState.load(std::memory_order_acquire);
  if (mode == WAVE_LOG_IQ) {
    std::lock_guard<CCriticalSection> lock(g_BigBufferLock);
    return g_BigBuffers[0].OutputRate;
  }
  // The decimator keeps the ratio it was set up with for the whole recording.
  return g_ProcessingSampleRate / std::max(1, Decimator()->Ratio);
}

bool CWaveRecorder::EndRecordingAtNewRate() {
  if (!IsRecording()) return false;
  const int mode = g_WaveLogState.load(std::memory_order_acquire);
  const double rate = CurrentRecordRate();
  const unsigned was = C_WaveIO::HeaderSampleRate(m_RecordRate);
  const unsigned now = C_WaveIO::HeaderSampleRate(rate);
  // An unknown new rate, or one the header states alike, leaves the recording as it is. It
  // takes the blocks of the rate they come at now (the audio thread leaves out blocks of any
  // other rate).
  if (!(rate > 0.0) || now == 0 || now == was) {
    if (now == was) Decimator()->BlockRate.store(CurrentBlockRate());
    return false;
  }
  char text[96];
  std::snprintf(text, sizeof text, "from %u to %u samples/sec", was, now);
  const std::string msg =
      mode == WAVE_LOG_IQ
          ? "I/Q recording to \"" + RecordFileName +
                "\" stopped: the rate of the I/Q samples changed " + text +
                ", and a wave file holds only one rate."
          : "Recording to \"" + RecordFileName + "\" stopped: the sample rate changed " + text +
                ", and a wave file holds only one rate.";
  m_Host->Log(10, msg.c_str());
  StopWaveRecording();
  EndNote = mode == WAVE_LOG_IQ ? "Logging stopped: I/Q rate changed"
                                : "Logging stopped: sample rate changed";
  m_Host->ShowStatus();
  m_Host->ShowMessage(msg.c_str());
  return true;
}

void CWaveRecorder::FlushWaveRecordBuffers() {
  if (!g_pRecordWaveFile || !g_pRecordWaveFile->IsOpenForWrite() ||
      g_WaveLogState.load(std::memory_order_acquire) == WAVE_LOG_OFF)
    return;
  if (g_WaveLogState.load(std::memory_order_acquire) == WAVE_LOG_IQ && !SndConfig.ComplexFFT) {
    // The FFT became real: no more pairs come. The recording ends with what it holds.
    m_Host->Log(10, "I/Q recording stopped: the FFT is no longer complex.");
    StopWaveRecording();
    return;
  }
  // At most one buffer per call; when both are full the one not written last is older.
  const int first = LastWritten == 0 ? 1 : 0;
  if (!WriteBuffer(first)) WriteBuffer(1 - first);
}

void CWaveRecorder::WriteFullBuffers() {
  for (int i = 0; i < 2 && IsRecording(); ++i) {
    const int first = LastWritten == 0 ? 1 : 0;
    if (!WriteBuffer(first) && !WriteBuffer(1 - first)) break;
  }
}

int CWaveRecorder::BufferCapacity() const { return Decimator()->Capacity; }

int WaveFileStatusText(const CWaveAnalysis* analysis, const CWaveRecorder* recorder,
                       std::string* text) {
  char buf[64];
  if (analysis && analysis->IsFileOpen()) {
    std::snprintf(buf, sizeof buf, "Reading %lld kB",
                  static_cast<long long>(analysis->BytesRead() / 1024));
    if (text) *text = buf;
    return 2;
  }
  if (recorder && g_pRecordWaveFile && g_pRecordWaveFile->IsOpenForWrite()) {
    std::snprintf(buf, sizeof buf, "Logging %lld kB",
                  static_cast<long long>(recorder->FileOffset() / 1024));
    if (text) *text = buf;
    return 3;
  }
  if (text) {
    if (recorder) *text = recorder->EndNote;
    else text->clear();
  }
  return 0;
}
