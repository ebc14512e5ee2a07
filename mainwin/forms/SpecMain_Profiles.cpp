// The main window's settings profiles ("*.usr") and the user entries of the quick-settings menu.
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <cstring>

#include "digimode/forms/DCF77Form.h"
#include "engine/BigSampleBuffer.h"
#include "engine/FreqMixer.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "interp/ProfileInfo.h"
#include "interp/forms/MenuDefU.h"
#include "mainwin/SettingsProfile.h"
#include "mainwin/forms/SpecMain.h"

void TSndMainForm::CreateQuickSettingsMenu()
{
  Menu_QuickSettings = new QMenu("&Quick Settings", MainMenu1);
  Menu_QuickSettings->setObjectName("Menu_QuickSettings");
  MainMenu1->insertMenu(Help1 ? Help1->menuAction() : nullptr, Menu_QuickSettings);
  using Handler = void (TSndMainForm::*)();
  // The six fixed presets first, named by their own texts.
  struct Preset { const char* name; Handler handler; };
  static constexpr Preset kPresets[6] = {
      {"Menu_SlowCW4", &TSndMainForm::Menu_SlowCW4Click},
      {"Menu_SlowCW30", &TSndMainForm::Menu_SlowCW30Click},
      {"Menu_SlowCW120", &TSndMainForm::Menu_SlowCW120Click},
      {"Menu_FastCW1", &TSndMainForm::Menu_FastCW1Click},
      {"QSMenu_LoranWatcher", &TSndMainForm::QSMenu_LoranWatcherClick},
      {"QSMenu_MtHell7", &TSndMainForm::QSMenu_MtHell7Click}};
  for (int i = 0; i < 6; ++i) {
    QAction* a = Menu_QuickSettings->addAction(QString::fromLatin1(QuickSettingsMenuText(i + 1)));
    a->setObjectName(kPresets[i].name);
    connect(a, &QAction::triggered, this, kPresets[i].handler);
  }
  Menu_QuickSettings->addSeparator();
  static constexpr Handler kHandlers[kNrUserMenuEntries] = {
      &TSndMainForm::QSMenu_User1Click, &TSndMainForm::QSMenu_User2Click,
      &TSndMainForm::QSMenu_User3Click, &TSndMainForm::QSMenu_User4Click,
      &TSndMainForm::QSMenu_User5Click, &TSndMainForm::QSMenu_User6Click,
      &TSndMainForm::QSMenu_User7Click, &TSndMainForm::QSMenu_User8Click,
      &TSndMainForm::QSMenu_User9Click, &TSndMainForm::QSMenu_User10Click};
  for (int i = 0; i < kNrUserMenuEntries; ++i) {
    QSMenu_User[i] = Menu_QuickSettings->addAction(QString("for rent #%1").arg(i + 1));
    QSMenu_User[i]->setObjectName(QString("QSMenu_User%1").arg(i + 1));
    connect(QSMenu_User[i], &QAction::triggered, this, kHandlers[i]);
  }
  Menu_QuickSettings->addSeparator();
  QSMenu_UserDefined = Menu_QuickSettings->addAction("&User defined...");
  QSMenu_UserDefined->setObjectName("QSMenu_UserDefined");
  connect(QSMenu_UserDefined, &QAction::triggered, this, &TSndMainForm::QSMenu_UserDefinedClick);
  connect(Menu_QuickSettings, &QMenu::aboutToShow, this, &TSndMainForm::Menu_QuickSettingsClick);
}

void TSndMainForm::Menu_QuickSettingsClick() { UpdateQuickSettingsMenu(); }

void TSndMainForm::ApplyQuickPreset(int preset)
{
  LoadQuickSettings(preset);
  FollowTimeDecoderWindow();
  g_RedrawRequestMask = REDRAW_ALL;
  FreqMixer_InitBothFromSettings();  // the presets set the mixer (off, no sideband) too
}

void TSndMainForm::FollowTimeDecoderWindow()
{
  SndConfig.Dcf77Active = DCF77Form && DCF77Form->isVisible() ? 1 : 0;
}

void TSndMainForm::Menu_SlowCW4Click() { ApplyQuickPreset(1); }
void TSndMainForm::Menu_SlowCW30Click() { ApplyQuickPreset(2); }
void TSndMainForm::Menu_SlowCW120Click() { ApplyQuickPreset(3); }
void TSndMainForm::Menu_FastCW1Click() { ApplyQuickPreset(4); }
void TSndMainForm::QSMenu_LoranWatcherClick() { ApplyQuickPreset(5); }
void TSndMainForm::QSMenu_MtHell7Click() { ApplyQuickPreset(6); }

void TSndMainForm::UpdateQuickSettingsMenu()
{
  for (int i = 0; i < kNrUserMenuEntries; ++i) {
    const UserMenuEntry& e = SndConfig.UserMenu[i];
    // Any first byte but 0 starts a text, also one from 128 up (a UTF-8 letter).
    const bool used = e.MenuText[0] != '\0';
    QSMenu_User[i]->setText(used ? QString::fromLocal8Bit(e.MenuText, strnlen(e.MenuText, 33))
                                 : QString("for rent #%1").arg(i + 1));
    QSMenu_User[i]->setEnabled(used);
  }
}

void TSndMainForm::LoadUserQuickSetting(int index)
{
  if (index < 0 || index >= kNrUserMenuEntries) return;
  if (MenuDefForm) MenuDefForm->MenuIndex = index;
  const UserMenuEntry& e = SndConfig.UserMenu[index];
  const std::string name(e.ProfileName, strnlen(e.ProfileName, sizeof e.ProfileName));
  const std::string problem = CheckProfileName(name);
  if (!problem.empty()) {
    ShowMessage(QString::fromLocal8Bit(problem));
    return;
  }
  LoadSettingsFile(name + ".usr", 0);
}

void TSndMainForm::QSMenu_UserDefinedClick()
{
  if (MenuDefForm) MenuDefForm->Execute();
}

bool TSndMainForm::LoadSettingsFile(const std::string& fileName, int /*parts*/)
{
  ++UpdatingControls;
  std::string error;
  if (!Profile_LoadFile(fileName, &error)) {
    --UpdatingControls;
    ShowMessage(QString::fromLocal8Bit(error));
    return false;
  }
  FollowTimeDecoderWindow();  // a profile neither stops the open window's decoder nor starts one

  // Re-apply through the paths the rest of the program uses.
  CSoundThreadLink& link = SoundThreadLink();
  link.SetSoundInOutWanted(SndConfig.StartSoundInput != 0, SndConfig.StartSoundOutput != 0);
  UpdateSampleRateInfo();
  // Frequency, sideband, DC blocker and enable flag of both mixers, as Apply sets them.
  FreqMixer_InitBothFromSettings();
  SBR_Brightness->setValue(SndConfig.ColorPalBrightness);
  SBR_Contrast->setValue(SndConfig.ColorPalContrast);
  // The middle of the displayed range as a signal frequency (without the display offset), as
  // the ring set-up of the main loop takes it.
  const double centre = GetDisplayCenterFreq();
  g_BigBuffers[0].MixerCenterFreq = centre;
  g_BigBuffers[1].MixerCenterFreq = centre;
  link.UpdateFreqRangeLimits();
  CalcWaterfallPalette();
  ReapplyDisplaySettings();  // edits, scales, marker labels, palette, colour bar, restart
  --UpdatingControls;
  return true;
}

bool TSndMainForm::SaveSettingsFile(const std::string& fileName, int parts)
{
  std::string error;
  if (Profile_SaveFile(fileName, parts, &error)) return true;
  ShowMessage(QString::fromLocal8Bit(error));
  return false;
}
