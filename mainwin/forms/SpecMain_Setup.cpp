// The main window's "Setup" menu: each item opens the configuration dialog on its page.
#include <QMenu>
#include <QMenuBar>

#include "control/forms/ConfigDlg.h"
#include "mainwin/forms/SpecMain.h"

void TSndMainForm::CreateSetupMenu()
{
  Setup1 = new QMenu("&Setup", MainMenu1);
  Setup1->setObjectName("Setup1");
  // Before the help menu, which stays last.
  MainMenu1->insertMenu(Help1 ? Help1->menuAction() : nullptr, Setup1);
  struct Item {
    QAction** action;
    const char* name;
    const char* caption;
    void (TSndMainForm::*handler)();
  };
  const Item items[] = {
      {&Menu_SetupAudio, "Menu_SetupAudio", "&Audio Settings...", &TSndMainForm::Menu_SetupAudioClick},
      {&Menu_SetupAudioServer, "Menu_SetupAudioServer", "Audio &Client/Server...",
       &TSndMainForm::Menu_SetupAudioServerClick},
      {&Menu_SetupFFT, "Menu_SetupFFT", "&FFT Settings...", &TSndMainForm::Menu_SetupFFTClick},
      {&Menu_SetupInterface, "Menu_SetupInterface", "&TRX Interface...",
       &TSndMainForm::Menu_SetupInterfaceClick},
      {&Menu_SetupSpectrumDisplay, "Menu_SetupSpectrumDisplay", "Spectrum &Display...",
       &TSndMainForm::Menu_SetupSpectrumDisplayClick},
      {&Menu_SetupSpectrumColors, "Menu_SetupSpectrumColors", "Display C&olors...",
       &TSndMainForm::Menu_SetupSpectrumColorsClick},
      {&Menu_SetupWaveFile, "Menu_SetupWaveFile", "&Wave Files...",
       &TSndMainForm::Menu_SetupWaveFileClick},
      {&Menu_MarkerSettings, "Menu_MarkerSettings", "Frequency &Markers...",
       &TSndMainForm::Menu_MarkerSettingsClick},
      {&Menu_FreqRespCalib, "Menu_FreqRespCalib", "&Reference Spectrum...",
       &TSndMainForm::Menu_FreqRespCalibClick},
      {&Menu_SetupSystem, "Menu_SetupSystem", "S&ystem (Time Zone)...",
       &TSndMainForm::SwitchToSystemSettings},
  };
  for (const Item& it : items) {
    QAction* a = Setup1->addAction(it.caption);
    a->setObjectName(it.name);
    connect(a, &QAction::triggered, this, it.handler);
    *it.action = a;
  }
}

void TSndMainForm::ShowConfigPage(QWidget* (*page)(TConfigDlg*))
{
  if (ConfigDlg) ConfigDlg->ShowPage(page(ConfigDlg));
}

void TSndMainForm::Menu_SetupAudioClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->TS_AudioSettings; });
}
void TSndMainForm::Menu_SetupAudioServerClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->TS_AudioServer; });
}
void TSndMainForm::Menu_SetupFFTClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->TS_FFT_Settings; });
}
void TSndMainForm::Menu_SetupInterfaceClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->TS_Interface; });
}
void TSndMainForm::Menu_SetupSpectrumDisplayClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->TS_SpectrumDisplay; });
}
void TSndMainForm::Menu_SetupSpectrumColorsClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->Ts_ExtDisplay; });
}
void TSndMainForm::Menu_SetupWaveFileClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->TS_WaveFile; });
}
void TSndMainForm::Menu_MarkerSettingsClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->Ts_Markers; });
}
void TSndMainForm::Menu_FreqRespCalibClick()
{
  ShowConfigPage([](TConfigDlg* d) { return d->TS_FreqRespCalib; });
}
void TSndMainForm::SwitchToSystemSettings()
{
  ShowConfigPage([](TConfigDlg* d) { return d->TS_System; });
}
