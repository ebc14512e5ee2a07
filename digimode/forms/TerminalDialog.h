#pragma once
// The modal dialog "Digimode Configuration": edits the DigimodeSettings record (mode,
// modulation, code set, pulse shaping, frequencies, symbol rate, levels, AFC, tuning-scope
// mode, the optional mode plug-in). Predefined modes fill the controls with a standard set of
// values; "Load driver DLL..." tests a plug-in before it is chosen. The record changes only on
// OK; applying it to the engine is the caller's business. GUI thread only.
#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QTabWidget;

class TTerminalDialog : public QDialog {
  Q_OBJECT
public:
  static constexpr uint32_t HELP_CONTEXT = 1350;

  explicit TTerminalDialog(QWidget* parent = nullptr);
  ~TTerminalDialog() override;

  void FormCreate();
  void FormShow();
  void ParamsToControls();
  void Btn_OKClick();
  void Btn_HelpClick();
  void Combo_ModTypeChange();
  void Btn_StdModesClick();
  void Btn_LoadDigiDLLClick();
  void Ed_DLL_NameEnter();
  void Chk_UseDigiDLLClick();
  // Predefined modes.
  void SetStdPSKMode(const QString& symbolRate);
  void Mnu_SlowCWClick();
  void Mnu_PSK31Click();
  void Mnu_PSK08Click();
  void Mnu_PSK02Click();
  void Mnu_RTTYClick();
  void Mnu_ParallelMTHellClick();
  void Mnu_SequentialMTHellClick();

  // Text of status panel 0 (short status words) or 1 (the longer text).
  QString StatusText(int panel) const;
  void SetStatusText(int panel, const QString& text);

  QTabWidget* PageControl1;
  QComboBox* Combo_OpMode;
  QComboBox* Combo_ModType;
  QComboBox* Combo_CodeSet;
  QComboBox* Combo_PulseShapeType;
  QLineEdit* Ed_Fcenter_RX;
  QLineEdit* Ed_Fcenter_TX;
  QLineEdit* Ed_ShiftFreq;
  QLineEdit* Ed_SymbolRate;
  QLineEdit* Ed_SymShapingTime;
  QLineEdit* Ed_ModOutputLevel;
  QLineEdit* Ed_DetSquelchLevel;
  QCheckBox* Chk_UseDigiDLL;
  QLineEdit* Ed_DLL_Name;
  QCheckBox* Chk_UseAFC;
  QCheckBox* Chk_NarrowAFC;
  QLineEdit* Ed_AfcTuneRange;
  QComboBox* Combo_TuneScopeMode;
  QPushButton* Btn_StdModes;
  QPushButton* Btn_LoadDigiDLL;
  QPushButton* Btn_OK;
  QPushButton* Btn_Cancel;
  QPushButton* Btn_Help;
  QStatusBar* StatusBar1;
  QMenu* PMenu_StdModes;

  // Non-zero while the dialog fills its own controls (1 from construction until first shown):
  // OK, the modulation change, the DLL-name enter and the "use DLL" click do nothing meanwhile.
  int Updating = 1;

protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void BuildBasicPage(QWidget* page);
  void BuildAdvancedPage(QWidget* page);
  void BuildStdModesMenu();
  void EndUpdate();

  QLabel* m_Panel[2];
};

extern TTerminalDialog* TerminalDialog;
