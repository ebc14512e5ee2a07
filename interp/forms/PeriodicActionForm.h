#pragma once
// The dialog "Periodic and Scheduled Actions" (modal): the periodic macro with its daily window
// and interval, the twelve scheduled macros, and the options of the screen-capture sequence
// their typical macro (capture) uses. It copies the settings in when it is opened and out on
// OK; its test button runs the periodic macro once. While it is visible it follows the word
// period (start, stop). Created at start-up, alive for the whole run. GUI thread only.
#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;

class TPeriodicActionForm : public QDialog {
  Q_OBJECT
public:
  explicit TPeriodicActionForm(QWidget* parent = nullptr);
  ~TPeriodicActionForm() override;

  // Selects the page, copies the settings in and runs the dialog (through ExecDialog);
  // returns its result (QDialog::Accepted after OK).
  int Execute(QWidget* page);

  void FormCreate();
  void FormActivate();  // settings to controls
  void Btn_OKClick();   // controls to settings, then closes with OK
  void Btn_HelpClick();
  void Btn_TestPeriodicMacroClick();

  QTabWidget* PageControl1;
  QWidget* TS_Periodic;
  QWidget* TS_Schedule;
  QCheckBox* Chk_TimerActive;
  QLabel* Label2;
  QLineEdit* Ed_From;
  QLineEdit* Ed_To;
  QLabel* Label3;
  QLabel* Label4;
  QLineEdit* Ed_Interval;
  QCheckBox* Chk_ScheduleActive;
  QTableWidget* Sg_Schedule;
  QPushButton* Btn_Ok;
  QPushButton* Btn_Cancel;
  QPushButton* Btn_Help;
  QGroupBox* Grp_ScreenCapture;
  QLabel* Label5;
  QLineEdit* Ed_SequenceIndex;  // the text field of Us_SequenceIndex
  QLabel* Label1;
  QLineEdit* Ed_SequenceName;
  QSpinBox* Us_SequenceIndex;
  QCheckBox* Chk_TimeLabel;
  QCheckBox* Chk_FreqLabel;
  QLineEdit* Ed_PeriodicAction;
  QLabel* Label6;
  QLabel* Label7;
  QWidget* TS_EventActions;
  QLabel* Label8;
  QLabel* Label9;
  QPushButton* Btn_TestPeriodicMacro;
  QLineEdit* Ed_PeriodicTestResult;
  QLabel* Label10;
  QRadioButton* Rbtn_ImgFormBitmap;
  QRadioButton* Rbtn_ImgFormJPEG;
};

extern TPeriodicActionForm* PeriodicActionForm;
