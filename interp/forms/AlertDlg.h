#pragma once
// The dialog "Spectrum Alert Function": edits the alert settings (interp/SpectrumAlert.h), shows
// the live statistics of ranges A and B, draws and captures the search pattern, lists the peak
// table and tests the alarm. Created once at start-up (which loads the alert settings from the
// instance's settings file) and shown without blocking; closing it saves the settings. Each
// showing takes a copy of the settings that Cancel restores. Its 1 s timer runs for the whole
// life of the program, shown or not: it keeps the live labels current, forwards the engine's
// command-failure message and collects finished commands. GUI thread only.
#include <QImage>
#include <QString>
#include <QWidget>
#include <functional>

#include "interp/SpectrumAlert.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;

class TAlertDlgForm : public QWidget {
  Q_OBJECT
public:
  explicit TAlertDlgForm(QWidget* parent = nullptr);
  ~TAlertDlgForm() override;

  void FormCreate();
  void FormActivate();  // each showing: backup, settings into the controls, peak table
  void FormClose();     // saves the settings
  void Btn_OKClick();
  void Btn_ApplyClick();
  void Btn_CancelClick();
  void Btn_HelpClick();
  void Btn_TestActionClick();
  void Btn_TestResetClick();
  void Btn_CalcModPatternClick();
  void Btn_GetFromSpectrumClick();
  void Timer1Timer();

  // Settings file (the instance's user settings file): defaults, file, pattern.
  void LoadSettings();
  // False when the file could not be written; the text goes to OnSaveError (a message box
  // when that is unset).
  bool SaveSettings();
  // Every control of the settings table into its field, in the table's order. A number that
  // cannot be read stops there with a message (the fields before it are taken over); false then.
  bool ControlsToSettings();
  void SettingsToControls();
  void UpdatePeakTable(bool header);
  void DrawModulationPattern();

  // Where a failed save is reported (the main window collects it at program end).
  std::function<void(const QString&)> OnSaveError;

  QImage PatternBitmap;  // what Img_ModulationPattern shows
  bool FirstActivation = true;
  TAlertSettings SettingsBackup{};
  double PatternBackup[ALERT_PATTERN_POINTS]{};

  QTabWidget* PageControl1;
  QWidget* TS_General;
  QWidget* TS_FrequencyRanges;
  QWidget* TS_SearchPattern;
  QWidget* TS_PeakTables;
  QWidget* TS_Conditions;
  QWidget* TS_AlertActions;

  QLabel* Lab_AlertMessageText;
  QPushButton* Btn_OK;
  QPushButton* Btn_Apply;
  QPushButton* Btn_Cancel;
  QPushButton* Btn_Help;

  QCheckBox* Chk_Compare2Ranges;
  QCheckBox* Chk_AutoPeakDetection;
  QCheckBox* Chk_AutoNoiseDetection;
  QCheckBox* Chk_AlertEnabled;
  QCheckBox* Chk_Visualize;

  QLineEdit* Ed_RangeAmin;
  QLineEdit* Ed_RangeAmax;
  QLineEdit* Ed_PeakADiffMin;
  QLineEdit* Ed_RangeBmin;
  QLineEdit* Ed_RangeBmax;
  QLineEdit* Ed_PeakBDiffMin;
  QLabel* Lab_NoiseA;
  QLabel* Lab_AverageA;
  QLabel* Lab_PeakA;
  QLabel* Lab_PeakFreqA;
  QLabel* Lab_AlertPercentA;
  QLabel* Lab_NoiseB;
  QLabel* Lab_AverageB;
  QLabel* Lab_PeakB;
  QLabel* Lab_PeakFreqB;
  QLabel* Lab_AlertPercentB;

  QListWidget* LBox_ModPattern;
  QLineEdit* Ed_SP_Bandwidth;
  QPushButton* Btn_CalcModPattern;
  QScrollArea* ScrollBox_Pattern;
  QLabel* Img_ModulationPattern;
  QLabel* Lab_SP_fc;
  QLabel* Lab_SP_fmin;
  QLabel* Lab_SP_fmax;
  QPushButton* Btn_GetFromSpectrum;
  QLineEdit* Ed_BestPatternMatchFreq;
  QLabel* Lab_ObervablePatternBandwidth;

  QTableWidget* SG_PeakTable;
  QSpinBox* UD_CounterMin;
  QLineEdit* Ed_CounterMin;  // the text field of UD_CounterMin

  QLineEdit* Ed_AverageDiffMin;
  QLineEdit* Ed_ConditionMinTime;

  QLabel* Lab_AlertMessageText2;
  QCheckBox* Chk_ActionBell;
  QCheckBox* Chk_ActionScreenCapture;
  QCheckBox* Chk_RunOsCommand;
  QCheckBox* Chk_ActionStartFileLogging;
  QLineEdit* Ed_OsCmdLine1;
  QPushButton* Btn_TestAction;
  QPushButton* Btn_TestReset;

  QTimer* Timer1;

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

private:
  void ShowMessage(const QString& text);
  // Strict number from an edit; false (with the message) when the text is no finite number.
  bool EditToDouble(const QLineEdit* ed, double* value);
  void ShowPatternBitmap();
};

extern TAlertDlgForm* AlertDlgForm;
