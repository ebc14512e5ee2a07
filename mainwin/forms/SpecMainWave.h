#pragma once
// The main window's wave-file commands: the File-menu entries for analysing, playing and
// recording wave files, the off-line analysis step of the main timer, the flushing of the
// record buffers, and the status shown on ProgressButton. The main window makes one of these
// at start-up with its File menu, its ProgressButton and its spectrum-line producer, and calls
// TimerStep / FlushWaveRecordBuffers / UpdateWaveFileStatus from its timer and idle handler and
// Shutdown from its close handler. GUI thread only.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "mainwin/WaveAnalysis.h"
#include "mainwin/WaveRecording.h"
#include "mainwin/forms/WaveFileDialogs.h"

class QAction;
class QMenu;
class QPushButton;
class QWidget;
class CSpectrumLineProducer;

class TWaveFileControl : public QObject {
  Q_OBJECT
public:
  // window: parent of the dialogs; fileMenu: receives the five entries in front of its first
  // entry (may be null); progress: ProgressButton (may be null); lines: the spectrum-line
  // producer whose FFT and history the off-line analysis uses (null: one of its own with a
  // history of kOwnHistoryLines lines); statusOwner: the window's StatusOwner (null: the
  // member StatusOwner, and the control takes the button's clicks itself; given, the window
  // owns the button and its clicks).
  TWaveFileControl(QWidget* window, QMenu* fileMenu, QPushButton* progress,
                   CSpectrumLineProducer* lines, int* statusOwner = nullptr);
  ~TWaveFileControl() override;

  // ---- Menu handlers ----
  void AnalyzeInputFileClick();
  void AnalyzeAndPlayWAVClick();
  void LogToWavFileClick();        // mode 1
  void LogOutputToWAVClick();      // mode 2
  void Menu_LogDecimatedIQClick(); // mode 3
  // Before the File menu opens: checks the recording entry of the running mode and names the
  // analysis entries ("Close input \"name\"" while a file is open).
  void FileClick();

  // ---- Analysis and recording ----
  bool OpenWaveFileForAnalysis(const std::string& fileName) { return Analysis.OpenWaveFileForAnalysis(fileName); }
  bool AnalyzeWaveFileStep(int maxLines) { return Analysis.AnalyzeWaveFileStep(maxLines); }
  void StopWaveFileAnalysis() { Analysis.StopWaveFileAnalysis(); }
  bool IsAnalyzingWaveFile() const { return Analysis.IsAnalyzingWaveFile(); }
  void ChooseWaveRecordFile(int mode) { Recorder.ChooseWaveRecordFile(mode); }
  bool StartWaveRecording(int mode, const std::string& name, std::string* reason = nullptr) { return Recorder.StartWaveRecording(mode, name, reason); }
  int StopWaveRecording() { return Recorder.StopWaveRecording(); }
  // Writes at most one full record buffer; refreshes the status when one was written.
  void FlushWaveRecordBuffers();

  // Main-timer duty: one off-line step of kStepLines lines while a file is analysed; a step
  // that makes no line ends the analysis. True when lines were made.
  bool TimerStep();
  // Once per pass of the line producer: ends an analyse-and-play at the file's end.
  void CheckWaveInput() {
    if (Analysis.CheckThreadInput()) UpdateWaveFileStatus();
  }
  // ProgressButton text and StatusOwner (nothing while closing): reading or logging a file
  // (owners 2 and 3), else owner 0 with IdleStatusText. Without a file a running event
  // countdown (owner 1) and an alarm not yet reset (owner 4) keep the button.
  void UpdateWaveFileStatus();
  // ProgressButton click, by StatusOwner: 2 stops the analysis, 3 the recording, 6 shows the
  // debug window's error page; then the status is shown. Connected to the button given to the
  // constructor when the control stands alone (no statusOwner given); the main window's
  // TSndMainForm::ProgressButtonClick calls it for every owner but the alarm's.
  bool ProgressButtonClick();
  // Text of the idle button (owner 0; empty when unset), and whether the event countdown still
  // runs (unset: it does).
  std::function<QString()> IdleStatusText;
  std::function<bool()> CountdownRunning;
  // Close handler: stops the recording and closes the analysed file.
  void Shutdown();

  static constexpr int kOwnHistoryLines = 50;

  CQtWaveFileHost Host;

private:
  std::unique_ptr<CSpectrumLineProducer> m_OwnLines;

public:
  CWaveAnalysis Analysis;
  CWaveRecorder Recorder;
  int StatusOwner = 0;
  bool Closing = false;

  QAction* AnalyzeInputFile = nullptr;
  QAction* AnalyzeAndPlayWAV = nullptr;
  QAction* LogToWavFile = nullptr;
  QAction* LogOutputToWAV = nullptr;
  QAction* Menu_LogDecimatedIQ = nullptr;

private:
  QPushButton* m_Progress;
  int* m_Owner;
};
