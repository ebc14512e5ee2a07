#include "mainwin/forms/SpecMainWave.h"

#include <QTabWidget>

#include "engine/forms/FormPlacement.h"
#include "engine/forms/DebugForm.h"
#include "interp/SpectrumAlert.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>

#include "engine/BigSampleBuffer.h"
#include "engine/C_WaveIO.h"
#include "engine/SndConfig.h"
#include "engine/WaveLogDecimator.h"
#include "mainwin/SpectrumLines.h"

namespace {

// Entries go in front of the menu's first entry (Exit), or at its end while it is empty.
QAction* AddItem(QMenu* menu, QAction* before, QObject* owner, const char* name,
                 const char* caption) {
  auto* a = new QAction(caption, owner);
  a->setObjectName(name);
  if (menu) menu->insertAction(before, a);
  return a;
}

}  // namespace

TWaveFileControl::TWaveFileControl(QWidget* window, QMenu* fileMenu, QPushButton* progress,
                                   CSpectrumLineProducer* lines, int* statusOwner)
    : QObject(window),
      Host(window),
      m_OwnLines(lines ? nullptr : new CSpectrumLineProducer(nullptr, &g_BigBuffers[0])),
      Analysis(&Host, lines ? lines : m_OwnLines.get()),
      Recorder(&Host),
      m_Progress(progress),
      m_Owner(statusOwner ? statusOwner : &StatusOwner) {
  setObjectName("WaveFileControl");
  if (m_OwnLines) m_OwnLines->History.Allocate(kOwnHistoryLines);
  Analysis.Recorder = &Recorder;  // the off-line analysis keeps an I/Q recording up to date
  QAction* before = fileMenu && !fileMenu->actions().isEmpty() ? fileMenu->actions().first() : nullptr;
  AnalyzeInputFile =
      AddItem(fileMenu, before, this, "AnalyzeInputFile", "Analyze input from *.WAV-file");
  AnalyzeAndPlayWAV =
      AddItem(fileMenu, before, this, "AnalyzeAndPlayWAV", "Analyze and play *.WAV-file");
  if (fileMenu) fileMenu->insertSeparator(before);
  LogToWavFile = AddItem(fileMenu, before, this, "LogToWavFile", "Log input as *.WAV-file");
  LogOutputToWAV = AddItem(fileMenu, before, this, "LogOutputToWAV", "Log output as *.WAV-file");
  Menu_LogDecimatedIQ = AddItem(fileMenu, before, this, "Menu_LogDecimatedIQ",
                                "Log decimated I/Q samples as *.WAV-file");
  if (fileMenu && before) fileMenu->insertSeparator(before);
  for (QAction* a : {LogToWavFile, LogOutputToWAV, Menu_LogDecimatedIQ}) a->setCheckable(true);
  connect(AnalyzeInputFile, &QAction::triggered, this, &TWaveFileControl::AnalyzeInputFileClick);
  connect(AnalyzeAndPlayWAV, &QAction::triggered, this, &TWaveFileControl::AnalyzeAndPlayWAVClick);
  connect(LogToWavFile, &QAction::triggered, this, &TWaveFileControl::LogToWavFileClick);
  connect(LogOutputToWAV, &QAction::triggered, this, &TWaveFileControl::LogOutputToWAVClick);
  connect(Menu_LogDecimatedIQ, &QAction::triggered, this,
          &TWaveFileControl::Menu_LogDecimatedIQClick);
  if (fileMenu) connect(fileMenu, &QMenu::aboutToShow, this, &TWaveFileControl::FileClick);
  // Standing alone (the main window connects the button to its own click handler).
  if (m_Progress && !statusOwner)
    connect(m_Progress, &QPushButton::clicked, this, [this] { ProgressButtonClick(); });

  Host.OnShowStatus = [this] { UpdateWaveFileStatus(); };
  Host.OnLogMenuCaption = [this](const QString& text) { LogToWavFile->setText(text); };
}

TWaveFileControl::~TWaveFileControl() { Shutdown(); }

void TWaveFileControl::AnalyzeInputFileClick() { Analysis.ChooseFileForAnalysis(false); }
void TWaveFileControl::AnalyzeAndPlayWAVClick() { Analysis.ChooseFileForAnalysis(true); }
void TWaveFileControl::LogToWavFileClick() { Recorder.ChooseWaveRecordFile(WAVE_LOG_INPUT); }
void TWaveFileControl::LogOutputToWAVClick() { Recorder.ChooseWaveRecordFile(WAVE_LOG_OUTPUT); }
void TWaveFileControl::Menu_LogDecimatedIQClick() { Recorder.ChooseWaveRecordFile(WAVE_LOG_IQ); }

void TWaveFileControl::FileClick() {
  const int mode = Recorder.IsRecording() ? g_WaveLogState.load() : WAVE_LOG_OFF;
  LogToWavFile->setChecked(mode == WAVE_LOG_INPUT);
  LogOutputToWAV->setChecked(mode == WAVE_LOG_OUTPUT);
  Menu_LogDecimatedIQ->setChecked(mode == WAVE_LOG_IQ);
  // I/Q pairs exist only with the complex FFT; a running I/Q recording can always be stopped.
  Menu_LogDecimatedIQ->setEnabled(SndConfig.ComplexFFT || mode == WAVE_LOG_IQ);
  if (Analysis.IsFileOpen()) {
    const QString close =
        "Close input \"" + QString::fromStdString(Analysis.AnalysisFileName) + "\"";
    AnalyzeInputFile->setText(close);
    AnalyzeAndPlayWAV->setText(close);
  } else {
    AnalyzeInputFile->setText("Analyze input from *.WAV-file");
    AnalyzeAndPlayWAV->setText("Analyze and play *.WAV-file");
  }
}

void TWaveFileControl::FlushWaveRecordBuffers() {
  Recorder.FlushWaveRecordBuffers();
  if (Recorder.StatusDirty) {
    Recorder.StatusDirty = false;
    UpdateWaveFileStatus();
  }
}

bool TWaveFileControl::TimerStep() {
  if (!Analysis.IsAnalyzingWaveFile()) return false;
  if (Analysis.AnalyzeWaveFileStep(CWaveAnalysis::kStepLines)) {
    UpdateWaveFileStatus();
    return true;
  }
  Analysis.StopWaveFileAnalysis();
  return false;
}

void TWaveFileControl::UpdateWaveFileStatus() {
  if (Closing) return;
  std::string text;
  const int owner = WaveFileStatusText(&Analysis, &Recorder, &text);
  // Without a file the states that last on their own keep the button: a running event
  // countdown and an alarm not yet reset.
  if (owner == 0) {
    if (*m_Owner == 1 && (!CountdownRunning || CountdownRunning())) return;
    if (*m_Owner == 4 && g_AlertActive && !g_AlertAcknowledged) return;
    // Why the last recording ended by itself stands in for the idle text until clicked.
    if (text.empty() && IdleStatusText) text = IdleStatusText().toStdString();
  }
  *m_Owner = owner;
  if (m_Progress) m_Progress->setText(QString::fromStdString(text));
}

bool TWaveFileControl::ProgressButtonClick() {
  switch (*m_Owner) {
    case 2:
      if (Analysis.IsFileOpen()) Analysis.StopWaveFileAnalysis();
      break;
    case 3:
      if (g_pRecordWaveFile && g_pRecordWaveFile->IsOpenForWrite()) Recorder.StopWaveRecording();
      break;
    case 6:  // the audio error: its details are on the debug window's error page
      *m_Owner = 0;
      if (DebugForm) {
        BringWindowToFront(DebugForm);
        DebugForm->PageControl1->setCurrentWidget(DebugForm->TS_ErrorHistory);
      }
      break;
    default:
      *m_Owner = 0;
      Recorder.EndNote.clear();  // seen: the idle text comes back
      break;
  }
  UpdateWaveFileStatus();
  return true;
}

void TWaveFileControl::Shutdown() {
  if (Closing) return;
  Closing = true;
  if (g_pRecordWaveFile && g_pRecordWaveFile->IsOpenForWrite()) Recorder.StopWaveRecording();
  if (Analysis.IsFileOpen()) Analysis.StopWaveFileAnalysis();
}
