#pragma once
// The interpreter words the main window serves: "wave.record", "wave.stop" and "capture".
// Parsing and file-name building live here, free of Qt; the window does the work behind
// IWindowWordsHost. Without a host (no main window) both words answer -3. A word never opens a
// dialog: macros run inside the main timer's tick, and a modal box there would re-enter it.
// GUI thread only.
#include <string>

class IWindowWordsHost {
public:
  virtual ~IWindowWordsHost() = default;
  // Starts recording (mode 1 input, 2 output) to fileName without asking the user anything;
  // false with the reason in *reason when the file cannot be created.
  virtual bool StartWaveRecordingQuiet(int mode, const std::string& fileName,
                                       std::string* reason) = 0;
  virtual void StopWaveRecording() = 0;
  // Writes the captioned waterfall capture; false when nothing was written (logged there).
  virtual bool ComposeCaptureBitmap(const std::string& fileName) = 0;
  // The clock of the capture indicator (Unix seconds) and where its caption is shown.
  virtual double CaptureClock() = 0;
  virtual void ShowCaptureIndicator(const std::string& caption) { (void)caption; }
};

// The host the words reach the window through (nullptr: none). The main window sets itself
// when constructed and clears it when destroyed.
void SetWindowWordsHost(IWindowWordsHost* host);
IWindowWordsHost* GetWindowWordsHost();

// Registers both words with the interpreter (call once after CLI_Init; they stay registered).
void RegisterWindowWords();

// Handlers (interpreter object-word convention, see interp/CliCommands.h).
int CLI_ExecWaveCommand(int source, double* result);
int CLI_ExecCaptureCommand(int source, double* result);

// The sequence file name: base, number with at least two digits, extension ("jpg" or "bmp").
// False when it does not fit into 255 characters.
bool BuildSequenceName(const char* base, int number, bool jpeg, std::string* name);

// The "Captured #n" indicator of the main window: its caption and the time (Unix seconds)
// until which it stays.
struct CCaptureIndicator {
  std::string Caption;
  double Until = 0;
  void Set(int sequenceNr, double now);
  // True once when the caption has just expired (it is then empty).
  bool Expire(double now);
};
extern CCaptureIndicator g_CaptureIndicator;
