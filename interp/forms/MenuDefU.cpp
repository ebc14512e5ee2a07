// The dialog "User defined menus & profiles".
#include "interp/forms/MenuDefU.h"

#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QValidator>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "engine/ProgramInstance.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/ProfileInfo.h"
#include "interp/ProfileSeam.h"
#include "interp/forms/FormText.h"

TMenuDefForm* MenuDefForm = nullptr;

namespace {

constexpr uint32_t kHelpContext = 1800;
constexpr int kProfileNameTypedChars = 8;
constexpr int kMenuTextChars = 32;
constexpr int kInfoTextChars = 255;

template <typename T>
T* Named(T* w, const char* name)
{
  w->setObjectName(name);
  return w;
}

// Limits what is typed to a number of characters without cutting a longer text that the program
// puts there (QLineEdit::setMaxLength would cut it): the limit is the larger of the typing limit
// and the length of the text last set by the program (SetEditText).
class TTypedLengthValidator : public QValidator {
public:
  TTypedLengthValidator(QObject* parent, int maxChars)
      : QValidator(parent), m_max(maxChars), m_allowed(maxChars) {}
  State validate(QString& input, int&) const override
  {
    return input.size() > m_allowed ? Invalid : Acceptable;
  }
  void AllowText(const QString& text) { m_allowed = std::max<qsizetype>(m_max, text.size()); }

private:
  qsizetype m_max;
  qsizetype m_allowed;
};

// Sets an edit's text whole, also beyond the typing limit of its validator.
void SetEditText(QLineEdit* edit, const QString& text)
{
  if (auto* v = dynamic_cast<const TTypedLengthValidator*>(edit->validator()))
    const_cast<TTypedLengthValidator*>(v)->AllowText(text);
  edit->setText(text);
}

// The include bits and their check boxes, in bit order.
struct IncludeBox {
  int bit;
  QCheckBox* TMenuDefForm::*box;
};
constexpr IncludeBox kIncludeBoxes[] = {
    {SETTINGS_PART_FILTERS, &TMenuDefForm::Chk_IncFilterCoeff},
    {SETTINGS_PART_DIGIMODE, &TMenuDefForm::Chk_IncDigimode},
    {SETTINGS_PART_PALETTE, &TMenuDefForm::Chk_IncColorPal},
    {SETTINGS_PART_WATCH, &TMenuDefForm::Chk_IncWatchSettings},
};

template <size_t N>
void CopyField(char (&dest)[N], const char* src)
{
  std::memcpy(dest, src, N);
}

}  // namespace

TMenuDefForm::TMenuDefForm(QWidget* parent) : QDialog(parent)
{
  setObjectName("MenuDefForm");
  setWindowTitle("User defined menus & profiles");
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setModal(true);

  auto* outer = new QHBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  auto* grid = new QGridLayout;
  outer->addLayout(grid);

  Label1 = Named(new QLabel("Menu Nr."), "Label1");
  Ud_MenuNr = Named(new QSpinBox, "Ud_MenuNr");
  Ud_MenuNr->setRange(1, kNrUserMenuEntries);
  Ed_MenuNr = Ud_MenuNr->findChild<QLineEdit*>();
  Ed_MenuNr->setObjectName("Ed_MenuNr");
  Label2 = Named(new QLabel("Profile Name"), "Label2");
  Ed_ProfileName = Named(new QLineEdit, "Ed_ProfileName");
  QFont courier("Courier New");
  courier.setStyleHint(QFont::Monospace);
  Ed_ProfileName->setFont(courier);
  Ed_ProfileName->setValidator(new TTypedLengthValidator(Ed_ProfileName, kProfileNameTypedChars));
  Label3 = Named(new QLabel("Menu text"), "Label3");
  Ed_MenuText = Named(new QLineEdit, "Ed_MenuText");
  Ed_MenuText->setMaxLength(kMenuTextChars);
  Label4 = Named(new QLabel("Info text"), "Label4");
  Ed_InfoText = Named(new QLineEdit, "Ed_InfoText");
  Ed_InfoText->setMaxLength(kInfoTextChars);
  Ed_InfoText->setMinimumWidth(260);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(Ud_MenuNr, 0, 1);
  grid->addWidget(Label2, 0, 2);
  grid->addWidget(Ed_ProfileName, 0, 3);
  grid->addWidget(Label3, 1, 0);
  grid->addWidget(Ed_MenuText, 1, 1, 1, 3);
  grid->addWidget(Label4, 2, 0);
  grid->addWidget(Ed_InfoText, 2, 1, 1, 3);

  Grp_Includes = Named(new QGroupBox("Profile also  includes.."), "Grp_Includes");
  auto* inc = new QGridLayout(Grp_Includes);
  Chk_IncFilterCoeff = Named(new QCheckBox("filter coefficients"), "Chk_IncFilterCoeff");
  Chk_IncDigimode = Named(new QCheckBox("digimode settings"), "Chk_IncDigimode");
  Chk_IncDigimode->setEnabled(false);  // no part of the program stores them in a profile
  Chk_IncColorPal = Named(new QCheckBox("color palette"), "Chk_IncColorPal");
  Chk_IncWatchSettings = Named(new QCheckBox("watch settings"), "Chk_IncWatchSettings");
  inc->addWidget(Chk_IncFilterCoeff, 0, 0);
  inc->addWidget(Chk_IncDigimode, 0, 1);
  inc->addWidget(Chk_IncColorPal, 1, 0);
  inc->addWidget(Chk_IncWatchSettings, 1, 1);
  grid->addWidget(Grp_Includes, 3, 0, 1, 4);

  auto* buttons = new QVBoxLayout;
  Btn_Import = Named(new QPushButton("Import"), "Btn_Import");
  Btn_Ok = Named(new QPushButton("Ok"), "Btn_Ok");
  Btn_Ok->setEnabled(false);
  Btn_Cancel = Named(new QPushButton("Cancel"), "Btn_Cancel");
  Btn_Help = Named(new QPushButton("Help"), "Btn_Help");
  for (QPushButton* b : {Btn_Import, Btn_Ok, Btn_Cancel, Btn_Help}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  outer->addLayout(buttons);

  connect(Ud_MenuNr, &QSpinBox::textChanged, this, [this] { Ed_MenuNrChange(); });
  Ed_ProfileName->installEventFilter(this);
  connect(Btn_Import, &QPushButton::clicked, this, &TMenuDefForm::Btn_ImportClick);
  connect(Btn_Ok, &QPushButton::clicked, this, &TMenuDefForm::Btn_OkClick);
  connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Btn_Help, &QPushButton::clicked, this, &TMenuDefForm::Btn_HelpClick);

  InstallHelpShortcut(this, kHelpContext);
  AppendInstanceSuffix(this);
  UpdatingControls = true;  // until the dialog is first filled
}

TMenuDefForm::~TMenuDefForm()
{
  if (MenuDefForm == this) MenuDefForm = nullptr;
}

int TMenuDefForm::Execute()
{
  FormShow();
  return ExecDialog(this);
}

void TMenuDefForm::FormShow()
{
  MenuIndex = std::clamp(MenuIndex, 0, kNrUserMenuEntries - 1);
  LoadMode = false;
  ProfileIncludes = 2;
  ImportFileName.clear();
  // The entry's texts from the user menu first, as a change of the number shows them, so that
  // an entry without a profile file does not show what the dialog held before.
  UpdatingControls = false;
  Ud_MenuNr->blockSignals(true);
  Ud_MenuNr->setValue(MenuIndex + 1);
  Ud_MenuNr->blockSignals(false);
  Ed_MenuNrChange();
}

bool TMenuDefForm::ReadProfileInfo(const std::string& name)
{
  TProfileInfo info;
  if (!ReadProfileInfoFile(name, &info)) return false;
  SetEditText(Ed_ProfileName, DecodeText8Bit(QByteArray::fromStdString(ProfileNameOfFile(name))));
  Ed_MenuText->setText(DecodeText8Bit(QByteArray::fromStdString(info.MenuText)));
  Ed_InfoText->setText(DecodeText8Bit(QByteArray::fromStdString(info.InfoText)));
  ProfileIncludes = info.Includes;
  return true;
}

void TMenuDefForm::SetLoadSaveMode(int index)
{
  if (index < 0 || index >= kNrUserMenuEntries) return;
  UpdatingControls = true;
  Ud_MenuNr->setRange(1, kNrUserMenuEntries);
  Ud_MenuNr->setValue(index + 1);
  Ed_MenuText->setMaxLength(kMenuTextChars);
  if (LoadMode) {
    Btn_Ok->setText("Ok, Load");
    Btn_Ok->setEnabled(true);
  } else {
    const char* profile = SndConfig.UserMenu[index].ProfileName;
    // A stored name that could lead elsewhere is not read; OK refuses it with a message.
    if (CheckProfileName(profile).empty() &&
        ReadProfileInfo(std::string(profile) + ".usr")) {
      Btn_Ok->setText("Ok, Save");
      Btn_Ok->setEnabled(true);
    }
  }
  for (const IncludeBox& b : kIncludeBoxes) (this->*b.box)->setChecked(ProfileIncludes & b.bit);
  UpdatingControls = false;
}

void TMenuDefForm::Ed_MenuNrChange()
{
  bool ok = false;
  int number = Ed_MenuNr->text().trimmed().toInt(&ok);
  if (!ok) number = 1;
  const int index = number - 1;
  if (UpdatingControls || index < 0 || index >= kNrUserMenuEntries) return;
  Btn_Ok->setText("Ok");
  Btn_Ok->setEnabled(false);
  LoadMode = false;
  const UserMenuEntry& e = SndConfig.UserMenu[index];
  SetEditText(Ed_ProfileName, FieldToText(e.ProfileName));
  Ed_MenuText->setText(FieldToText(e.MenuText));
  Ed_InfoText->clear();
  SetLoadSaveMode(index);
}

void TMenuDefForm::Ed_ProfileNameKeyPress()
{
  Btn_Ok->setText("Ok, Save");
  Btn_Ok->setEnabled(true);
}

bool TMenuDefForm::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == Ed_ProfileName && event->type() == QEvent::KeyPress) Ed_ProfileNameKeyPress();
  return QDialog::eventFilter(watched, event);
}

void TMenuDefForm::Btn_ImportClick()
{
  QString name = QString::fromLocal8Bit(GetProgramDirectory()) + "*.usr";
  if (!AskFileName(this, false, "Select user profile for import from disk",
                   "User Profiles (*.usr *.USR)", name, "usr", kHelpContext))
    return;
  if (!ReadProfileInfo(QFile::encodeName(name).toStdString())) {
    ShowMessage("Problem:\r\nCannot read the profile \"" + name + "\".");
    return;
  }
  ImportFileName = name;
  LoadMode = true;
  SetLoadSaveMode(Ud_MenuNr->value() - 1);
}

void TMenuDefForm::Btn_OkClick()
{
  const int index = Ud_MenuNr->value() - 1;
  if (index < 0 || index >= kNrUserMenuEntries) {
    reject();
    return;
  }
  MenuIndex = index;
  ProfileIncludes = SETTINGS_PART_PROCESS | SETTINGS_PART_USERMENU;
  for (const IncludeBox& b : kIncludeBoxes)
    if ((this->*b.box)->isChecked()) ProfileIncludes |= b.bit;

  // The name becomes a file name and the entry's ProfileName: checked before any file is read
  // or written, and never longer than the entry holds (the file would not be found again).
  // The bytes the entry will hold (a Latin-1 name stays Latin-1), so that the file written is
  // the one the entry names.
  const QByteArray name = FieldBytesOfText(SndConfig.UserMenu[index].ProfileName, Ed_ProfileName->text());
  std::string problem = CheckProfileName(name.toStdString());
  if (problem.empty() && name.size() > kMenuTextChars)
    problem = "Problem:\r\nThe profile name must not be longer than 32 characters.";
  if (!problem.empty()) {
    ShowMessage(QString::fromLocal8Bit(problem));
    return;
  }

  if (LoadMode &&
      !Profile_LoadSettingsFile(ImportFileName.toLocal8Bit().toStdString(),
                                ProfileIncludes & ~SETTINGS_PART_USERMENU))
    return;  // the loader has shown why; the dialog stays open

  // Kept to be put back when the profile cannot be written: the entry then still names the
  // profile it named before.
  const UserMenuEntry oldEntry = SndConfig.UserMenu[index];
  char oldMenuText[sizeof SndConfig.AboutMenuText];
  char oldInfoText[sizeof SndConfig.AboutInfoText];
  CopyField(oldMenuText, SndConfig.AboutMenuText);
  CopyField(oldInfoText, SndConfig.AboutInfoText);
  const int oldIncludes = SndConfig.AboutIncludes;

  CopyTextToField(SndConfig.AboutMenuText, Ed_MenuText->text(), kMenuTextChars);
  CopyTextToField(SndConfig.AboutInfoText, Ed_InfoText->text(), kInfoTextChars);
  UserMenuEntry& e = SndConfig.UserMenu[index];
  CopyTextToField(e.MenuText, Ed_MenuText->text(), kMenuTextChars);
  CopyTextToField(e.ProfileName, Ed_ProfileName->text(), kMenuTextChars);
  SndConfig.AboutIncludes = ProfileIncludes;

  if (!Profile_SaveSettingsFile(name.toStdString() + ".usr", ProfileIncludes)) {
    SndConfig.UserMenu[index] = oldEntry;
    CopyField(SndConfig.AboutMenuText, oldMenuText);
    CopyField(SndConfig.AboutInfoText, oldInfoText);
    SndConfig.AboutIncludes = oldIncludes;
    return;  // the saver has shown why; the dialog stays open
  }
  accept();
}

void TMenuDefForm::Btn_HelpClick() { ShowHelpContext(kHelpContext); }

void TMenuDefForm::ShowMessage(const QString& text)
{
  QMessageBox box(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
  box.setObjectName("MenuDefMessage");
  ExecDialog(&box);
}
