#pragma once
// The dialog "User defined menus & profiles" (modal): edits one of the ten user menu entries
// (SndConfig.UserMenu), saves the running settings as the entry's profile "<name>.usr" with the
// parts ticked, or imports a profile file from elsewhere, loads it and saves it under the name.
// Loading and saving whole profiles goes to the main window through interp/ProfileSeam.h; the
// dialog itself reads only the section "ABOUT". Created at start-up, alive for the whole run.
// GUI thread only.
#include <QDialog>
#include <QString>
#include <string>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TMenuDefForm : public QDialog {
  Q_OBJECT
public:
  explicit TMenuDefForm(QWidget* parent = nullptr);
  ~TMenuDefForm() override;

  // Shows the dialog modally (through ExecDialog) on entry MenuIndex; returns its result.
  int Execute();
  // What showing does: MenuIndex clamped to 0..9, no import pending, includes 2, the entry.
  void FormShow();

  // Reads "ABOUT" of the file into the name, texts and ProfileIncludes; false (nothing changed)
  // when the file cannot be read.
  bool ReadProfileInfo(const std::string& fileName);  // the name as bytes
  // Shows entry index (0..9; others do nothing) and sets the OK button.
  void SetLoadSaveMode(int index);
  void Ed_MenuNrChange();
  // Any key in Ed_ProfileName.
  void Ed_ProfileNameKeyPress();
  void Btn_ImportClick();
  void Btn_OkClick();
  void Btn_HelpClick();

  int MenuIndex = 0;              // the entry, 0..9, the dialog opens on
  bool UpdatingControls = true;   // filling own controls (set until first filled)
  bool LoadMode = false;          // an import is pending
  int ProfileIncludes = 2;        // the profile's include bits
  QString ImportFileName;         // the file chosen by Import

  QLabel* Label1;
  QLineEdit* Ed_MenuNr;  // the text field of Ud_MenuNr
  QSpinBox* Ud_MenuNr;
  QLabel* Label2;
  QLineEdit* Ed_ProfileName;
  QLabel* Label3;
  QLineEdit* Ed_MenuText;
  QLabel* Label4;
  QLineEdit* Ed_InfoText;
  QGroupBox* Grp_Includes;
  QCheckBox* Chk_IncFilterCoeff;
  QCheckBox* Chk_IncDigimode;
  QCheckBox* Chk_IncColorPal;
  QCheckBox* Chk_IncWatchSettings;
  QPushButton* Btn_Import;
  QPushButton* Btn_Ok;
  QPushButton* Btn_Cancel;
  QPushButton* Btn_Help;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void ShowMessage(const QString& text);
};

extern TMenuDefForm* MenuDefForm;
