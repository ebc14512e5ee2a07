#pragma once
// The filter control window "Filter Control Window": shows, edits, designs, loads, saves,
// starts, stops and bypasses the programmable filter of one channel at a time
// (g_FilterEditChannel). Every change of an edited filter (g_EditedDigiFilters) goes to the
// audio thread at once through ActivateEditedFilter. Its pages: coefficient grid, algorithm,
// description, test, and the five designers (IIR-1 Chebyshev, IIR-2 stage chain, IIR-3
// band-pass chain, FIR-1 windowed sinc, FIR-2 Parks-McClellan). At creation it reads both
// channels from "default.flt" in the working directory, at every close it writes them back
// (and the stage table to "default.flc") there. GUI thread only.
#include <QWidget>
#include <functional>
#include <string>

#include "control/FilterDesigners.h"
#include "control/FilterFiles.h"
#include "control/IIRChain.h"
#include "engine/DigiFilter.h"

class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;

class TFilterControlForm : public QWidget {
  Q_OBJECT
public:
  explicit TFilterControlForm(QWidget* parent = nullptr);
  ~TFilterControlForm() override;

  // Shows the edited filter of the current channel in the grid, the Algorithm page and the
  // description memo.
  void UpdateCoeffGrid();
  // Takes the grid and the Algorithm page back into the edited filter.
  void ReadCoeffGrid();
  // Captions and enabled state of the state buttons.
  void UpdateStatusDisplay();

  // The FIR-2 design in the page's controls, read from or written to a "*.fir" file.
  // SaveRemezDesign throws EIniFileError when the file cannot be written.
  void LoadRemezDesign(const std::string& file);
  void SaveRemezDesign(const std::string& file);

  // Stage table editing of the IIR-2 page.
  void StoreEditedStage();
  void ShowEditedStage();
  // IIR-3 design into the edited filter of the current channel; activates `channel` (0..1).
  // False when the design was refused (the filters stay as they were).
  bool CalcAndApplyIIR3(int channel);

  // Help context of F1: 810 in the grid and the coefficient count, 840 / 850 on the FIR / IIR
  // buttons, else the window's 800.
  uint32_t HelpContextOfFocus() const;

  // Handlers.
  void FormCreate();
  void FormShow();
  void FormClose();
  // Where the close reports what it could not save (the main window collects it at program
  // end); a message box when unset.
  std::function<void(const QString&)> OnSaveError;
  void Timer1Timer();
  void Btn_ApplyClick();
  void Btn_UndoClick();
  void Btn_StartStopClick();
  void Btn_BypassClick();
  void Menu_FilterRunningClick();
  void LoadCoeffClick();
  void Btn_LoadClick();
  void SaveCoeffClick();
  void Btn_SaveClick();
  void Btn_MenuClick();
  void Btn_HelpClick();
  void Menu_StayOnTopClick();
  void Btn_IIR2_LoadClick();
  void Btn_IIR2_SaveClick();
  void Btn_FIR2Des_LoadClick();
  void Btn_FIR2Des_SaveClick();
  void Btn_CalcIIR1Click();
  void Btn_ResetZ1Click();
  void Chk_Test_PeakZClick();
  void Btn_ResetTestZPeakClick();
  void Chk_Test_Limit32kClick();
  void Btn_IIR2_CalculateClick();
  void IIR2_StageChanged();
  void Ed_IIR2_TotalStagesChange();
  void Ed_IIR2_EditedStageChange();
  void Btn_IIR3_CalcAndApplyOneChnClick();
  void Btn_IIR3_CalcAndApplyAllChnsClick();
  void Btn_CalculateFIR1DesignerClick();
  void Btn_FIR2Des_CalculateClick();
  void Mem_DescriptionChange();

  // While above 0 the change handlers of the pages do nothing.
  int UpdatingCount = 1;
  bool GridUpdatePending = false;
  bool IIR2PageUpdatePending = true;
  bool IIR3PageUpdatePending = true;
  DigiFilterBlock UndoFilter{};
  FilterChainDesign ChainDesign{};

  QTabWidget* PageControl1;
  QWidget* TS_Coeffs;
  QWidget* TS_Algorithm;
  QWidget* TS_Description;
  QWidget* TS_Test;
  QWidget* TS_Design1;
  QWidget* TS_Design2;
  QWidget* TS_Design3;
  QWidget* TS_Design4;
  QWidget* TS_Design5;
  QWidget* TabSheet1;

  QTableWidget* SG_Coeff;
  QLineEdit* Ed_MaxCoeff;
  QRadioButton* Rbtn_TypeFIR;
  QRadioButton* Rbtn_TypeIIR;
  QLineEdit* Ed_Cascaded;
  QLabel* Lab_CurrFileName;
  QPlainTextEdit* Mem_Description;
  QPushButton* Btn_Apply;
  QPushButton* Btn_Undo;
  QPushButton* Btn_StartStop;
  QPushButton* Btn_Bypass;
  QPushButton* Btn_Load;
  QPushButton* Btn_Save;
  QPushButton* Btn_Menu;
  QPushButton* Btn_Help;
  QLabel* Lab_Message;
  QLabel* Lab_DesignerMessage;
  QMenu* PopMeUp;
  QAction* LoadCoeff;
  QAction* SaveCoeff;
  QAction* RunFilterDesigner1;
  QAction* Menu_FilterRunning;
  QAction* Menu_StayOnTop;
  QTimer* Timer1;

  // "Test"
  QCheckBox* Chk_Test_PeakZ;
  QCheckBox* Chk_Test_Limit32k;
  QPushButton* Btn_ResetTestZPeak;
  QLabel* Lab_Test_MaxZValue;
  QPlainTextEdit* Memo1;
  // "IIR-Design1"
  QLineEdit* Ed_IIR_CutoffFreq;
  QLineEdit* Ed_IIR_PercentRipple;
  QLineEdit* Ed_IIR_NrOfPoles;
  QGroupBox* RG_IIR_Type;
  QRadioButton* Rbtn_LowPass;
  QRadioButton* Rbtn_IIR_HighPass;
  QPushButton* Btn_CalcIIR1;
  QPushButton* Btn_ResetZ1;
  QLabel* Lab_IIR1_SampleRate;  // the rate the design is made for
  // "IIR-Design2"
  QLineEdit* Ed_IIR2_TotalStages;
  QSpinBox* Ud_IIR2_TotalStages;
  QLineEdit* Ed_IIR2_EditedStage;
  QSpinBox* Ud_IIR2_EditedStage;
  QGroupBox* Grp_IIR2_OneStage;
  QButtonGroup* m_iir2TypeGroup;
  QRadioButton* Rbtn_IIR2_Bypass;
  QRadioButton* Rbtn_IIR2_LowPass;
  QRadioButton* Rbtn_IIR2_HighPass;
  QRadioButton* RBtn_IIR2_BandPass;
  QRadioButton* RBtn_IIR2_BandReject;
  QLineEdit* Ed_IIR2_StageCutoff;
  QLineEdit* Ed_IIR2_StageBandwidth;
  QLineEdit* Ed_IIR2_StageGain;
  QPushButton* Btn_IIR2_Calculate;
  QPushButton* Btn_IIR2_Load;
  QPushButton* Btn_IIR2_Save;
  QLabel* Lab_IIR2_SampleRate;
  // "IIR-Design3"
  QLineEdit* Ed_IIR3_Fcenter;
  QLineEdit* Ed_IIR3_Bandwidth;
  QComboBox* Cb_IIR3_ResponseType;
  QPushButton* Btn_IIR3_CalcAndApplyOneChn;
  QPushButton* Btn_IIR3_CalcAndApplyAllChns;
  QLabel* Pnl_IIR3info;
  QLabel* Lab_IIR3_SampleRate;
  // "FIR-Design1"
  QLineEdit* Ed_FIR1Des_Fsample;
  QLineEdit* Ed_FIR1Des_Fcutoff;
  QLineEdit* Ed_FIR1Des_Bandwidth;
  QPushButton* Btn_CalculateFIR1Designer;
  // "FIR-Design2"
  QLineEdit* Ed_FIR2Des_NrCoeffs;
  QLineEdit* Ed_FIR2Des_NrBands;
  QComboBox* Combo_FIR2Des_Type;
  QTableWidget* SG_FIR2Dec_FilterSpec;
  QPushButton* Btn_FIR2Des_Calculate;
  QPushButton* Btn_FIR2Des_Load;
  QPushButton* Btn_FIR2Des_Save;

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

private:
  void BuildCommonControls();
  void BuildTestPage();
  void BuildIIR1Page();
  void BuildIIR2Page();
  void BuildIIR3Page();
  void BuildFIR1Page();
  void BuildFIR2Page();
  void ConnectHandlers();
  void RaiseUpdating() { ++UpdatingCount; }
  void LowerUpdating() { if (UpdatingCount > 0) --UpdatingCount; }

  // Coefficient grid cells as a string grid: column 0 "Coeff", 1 "alpha", 2 "beta", row 0
  // the headings. Cells outside the shown rows and columns keep their texts.
  QString CoeffCell(int col, int row) const;
  void SetCoeffCell(int col, int row, const QString& text);
  void SetCoeffGridSize(int cols, int rows);

  // The current channel's edited filter (after correcting the channel).
  DigiFilterBlock& EditedFilter();
  // Shows the designer's message, refreshes and activates after a design.
  void FinishDesign(int result, const std::string& message);
  void ShowDescription();
  // Shows the designers' sample rate (FilterDesignSampleRate) on the IIR pages and fills it
  // into the FIR-1 page's edit: always when `force`, else when the rate changed since it was
  // last shown (and the edit then only while it still holds the rate filled in last).
  void ShowDesignSampleRate(bool force);
  // Asks for a file; false on Cancel or a name that does not fit the 255-character field
  // (reported). On OK the name is stored in field[channel].
  bool AskFilterFile(bool save, const QString& title, const QString& filter,
                     const QString& suffix, const QString& initial, char (*field)[256],
                     QString& name);
  // Shows an error to the user (a message box through ExecDialog).
  void ReportError(const QString& text);

  QString m_coeffShadow[3][kDigiFilterCoeffs + 1];
  int m_timerStarts = 0;
  int m_lastChannel = -1;
  int m_lastNrChannels = -1;
  double m_lastDesignRate = -1.0;  // rate last shown by ShowDesignSampleRate
  QString m_lastFsampleText;       // what it filled into Ed_FIR1Des_Fsample
};

extern TFilterControlForm* FilterControlForm;
