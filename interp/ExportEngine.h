#pragma once
// The text export engine: after each spectrum line it runs the three macros, evaluates the
// columns and appends one line (every spectrum, or on the time grid of the write interval) to a
// text file or a communication device; it loads and saves the definition file (".edf") and
// serves the word export. One object for the whole run (ExportEngine()), so the export works
// with the export window closed; the window only adds refresh callbacks. Qt-free, GUI thread.
//
// Output: "COM1".."COM4" (any case, an optional ':') mean SerialLines_DeviceName(n); another
// "COMn" fails like a failed open. Everything else is a path, opened for appending without
// blocking. A regular file is locked (flock, exclusive, readers stay free) and a short write cuts
// it back to before the line; a terminal is taken exclusively (TIOCEXCL) with its line settings
// untouched; anything else is a communication channel. Lines end with CR LF.
#include <cstdint>
#include <functional>
#include <string>

#include "interp/ExportDefinition.h"

class CExportEngine {
public:
  CExportEngine();
  ~CExportEngine();
  CExportEngine(const CExportEngine&) = delete;
  CExportEngine& operator=(const CExportEngine&) = delete;

  // Reads the definition file (missing file or keys: the defaults), clears the changed flag.
  // An open export file is closed when the definition read names another file or is inactive,
  // so the next line goes where the definition says.
  void LoadSettings(const std::string& fileName);
  // After the definition changed (window apply, definition load): closes the open file unless
  // the export is still active and writes to previousName.
  void CloseFileUnlessKept(const std::string& previousName);
  // Switches to another definition file (a profile named it): unsaved changes of the running
  // definition go to previousFile first, then the new file is read (LoadSettings) and the
  // visible window shows it.
  void ChangeDefinitionFile(const std::string& previousFile, const std::string& fileName);
  // Writes it, reports, clears the changed flag and stamps the save time. A failure (no name,
  // a file that cannot be written) is reported once to the command window and the debug
  // messages and also clears the flag; nothing is thrown. True when written.
  bool SaveSettings(const std::string& fileName);

  // The per-spectrum step: macro after the spectrum, columns, the line when due (macro before,
  // line, macro after). A macro that stops the export ends the step.
  void OnSpectrum();
  void EvalColumns();
  std::string BuildTitleLine();
  std::string BuildDataLine();
  // Cuts the text to 1,020 characters, appends CR LF and writes it, opening the file first
  // when needed (then a file of at most 5 bytes, or a device, gets the title line first).
  bool WriteLine(const char* text);
  void CloseFile();

  // ---- Output state ----
  int ExportFileHandle = -1;   // descriptor, -1 when none is open
  bool OpenFailed = false;     // an open failed: no further attempt until cleared
  int64_t FileSize = 0;        // bytes in the file (for a device: written since opening)
  int ResultsPending = 0;      // a line was written since the result column was refreshed

  // ---- The export window's side (all optional) ----
  std::function<bool()> IsWindowVisible;      // file information and grid follow only then
  std::function<void()> RefreshFileInfo;       // size and next write time
  std::function<void()> RefreshGrid;           // the whole definition (commands changed it)
  std::function<bool()> IsResultsPageActive;   // the "File Contents" page is shown
  std::function<void()> ShowResults;           // the result column
  // The clock of the time grid and the save stamp (Unix seconds); tests set their own.
  std::function<double()> Clock;
  // Bound of a line a device takes only in part (ms); tests shorten it.
  int DeviceWriteTimeout_ms = 2000;

private:
  bool OpenOutput();
  bool WriteAll(const char* data, size_t len);
  bool WindowVisible() const { return IsWindowVisible && IsWindowVisible(); }
  bool m_IsRegularFile = false;
};

CExportEngine& ExportEngine();

// Handler of the object word "export" (convention of CliCommands.h), registered for the whole
// run by the main window: expression[n], format[n], title[n] (read or "=" string), value[n]
// (read or "=" number), print(...), start, start(name), stop.
int CLI_ExecExportCommand(int source, double* result);

// Where a name of the definition goes: "" for a regular path, or the device of "COM1".."COM4";
// *refused is set for another "COMn".
std::string Export_DeviceOfName(const char* name, bool* refused);
