#pragma once
// The debug window "Debugging Display": sound-card status and lost buffers, audio-thread
// counters, CPU load per processing stage, the FFT decimation scheme and collection time,
// received inter-program messages, and the error history that DebugPrintf writes into.
// GUI thread only.
#include <QWidget>
#include <functional>

#include "engine/SoundThreadLink.h"

class QTabWidget;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QCheckBox;
class QTableWidget;
class QTimer;
class QMenu;
class QAction;
class TClickLabel;

// Values of the main window that the debug window shows (times in microseconds per line).
struct DebugMainWindowInfo {
  double fftCalcTime_us = 0;
  double displayTime_us = 0;
  double alertTime_us = 0;
  int copyDataCount = 0;
};

class TDebugForm : public QWidget {
  Q_OBJECT
public:
  explicit TDebugForm(QWidget* parent = nullptr);
  ~TDebugForm() override;

  // Supplied by the main window; without it the main-window values read 0.
  std::function<DebugMainWindowInfo()> MainInfo;
  // A click on the output-error label (Lab_G_ErrorsClick): the main window shows the generator.
  std::function<void()> ShowGenerator;

  // Adds one line to the error history (the sink of DebugPrintf).
  void AddErrorLine(const QString& line);

  void FormCreate();
  void FormShow();
  void FormClose();
  void Timer1Timer();
  void PopupMenu1Popup();
  void Menu_StayOnTopClick();
  void Menu_HelpClick();
  void Lab_InStatusClick();
  void Chk_MetronomeClick();
  void Btn_EraseErrorHistoryClick();
  void Ed_DebugOptionsChange();
  void Btn_TestClick();

  QTabWidget* PageControl1;
  QWidget* TS_Debug;
  QWidget* TS_Performance;
  QWidget* TS_Miscellaneous;
  QWidget* TS_ErrorHistory;
  QWidget* TS_CommMsgs;
  QLabel* Lab_FftTime;
  QLabel* Lab_ThreadLoops;
  QLabel* Lab_R_Errors;
  TClickLabel* Lab_G_Errors;
  QLabel* Lab_LostBuffersIn;
  QLabel* Lab_LostBuffersOut;
  QLabel* Lab_OutStatus;
  TClickLabel* Lab_InStatus;
  QLabel* Lab_WaterUpdateLoops;
  QLabel* Lab_WaterAvrgCount;  // FFTs averaged into the last waterfall line (set by the main window)
  QLabel* Lab_PaletteError;
  QLabel* Lab_ConfigFileNames;
  QLineEdit* Ed_DebugOptions;
  QPushButton* Btn_Test;
  QCheckBox* Chk_Metronome;
  QTableWidget* SG_CpuLoad;
  QLineEdit* Ed_TotalCpuLoad;
  QLabel* Lab_ProcRate;
  QLabel* Lab_FftDecimationScheme;
  QLabel* Lab_FftCollectionTime;
  QLabel* Lab_FftParameterHint;
  QLabel* Lab_CopydataMsgCount;
  QPlainTextEdit* Memo_ErrorHistory;
  QPushButton* Btn_EraseErrorHistory;
  QTimer* Timer1;
  QMenu* PopupMenu1;
  QAction* Menu_StayOnTop;
  QAction* Menu_Help;

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

private:
  void UpdateDebugPage(const SoundEngineStats& st);
  void UpdateCpuLoadPage(const SoundEngineStats& st, int64_t counterFrequency);
  void UpdateMiscPage(const SoundEngineStats& st);

  // Values of the previous tick; a label is rewritten only when its value changed.
  int m_lastOutStatus = 0, m_lastInStatus = 0;
  int m_lastInputErrors = 0, m_lastOutputErrors = 0;
  int m_lastLostIn = 0, m_lastLostOut = 0;
  double m_lastProcRate = 0;
  int m_lastResetCount = 0, m_lastScrollTime = 0, m_lastNrOfSamples = 0;
  int m_lastCopyDataCount = 0;
};

extern TDebugForm* DebugForm;

// Collection time text of the "Misc" page: up to 120 s "<t> sec" ("0.0##"), above that
// "<t/60> min" ("0.0").
QString FormatCollectionTime(double seconds);
