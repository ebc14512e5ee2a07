// The pop-up menus of the spectrum graph and the waterfall, the display switches they and the
// menu bar share, the configuration pages they open, the spectrum and sound-output switches of
// the Analysis menu, the control panel's visibility and the reference-spectrum items.
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include "control/forms/ConfigDlg.h"
#include "control/forms/RefSpectrumDialogs.h"
#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "interp/SpectrumAlert.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"

namespace {

QAction* AddSwitch(QMenu* menu, const char* name, const QString& caption)
{
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  a->setCheckable(true);
  return a;
}

QAction* AddItem(QMenu* menu, const char* name, const QString& caption)
{
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  return a;
}

void Toggle(AtomicField<int>& field, bool redraw = true)
{
  field = field != 0 ? 0 : 1;
  if (redraw) g_RedrawRequestMask = REDRAW_ALL;
}

// Reports double clicks on a widget that has no double-click signal of its own.
class DoubleClickFilter : public QObject {
public:
  DoubleClickFilter(QObject* parent, std::function<void()> onDoubleClick)
      : QObject(parent), m_onDoubleClick(std::move(onDoubleClick)) {}

protected:
  bool eventFilter(QObject* watched, QEvent* e) override
  {
    if (e->type() == QEvent::MouseButtonDblClick) m_onDoubleClick();
    return QObject::eventFilter(watched, e);
  }

private:
  std::function<void()> m_onDoubleClick;
};

}  // namespace

void TSndMainForm::CreatePopupMenus()
{
  PopupSpectrum = new QMenu(this);
  PopupSpectrum->setObjectName("PopupSpectrum");
  QMenu* p = PopupSpectrum;
  connect(AddSwitch(p, "Menu_SpecAmplitudeScale", "&Amplitude Scale"), &QAction::triggered, this,
          &TSndMainForm::Menu_SpecAmplitudeScaleClick);
  connect(AddSwitch(p, "Menu_SpecFrequencyScale", "&Frequency Scale"), &QAction::triggered, this,
          &TSndMainForm::Menu_SpecFrequencyScaleClick);
  connect(AddSwitch(p, "Menu_SpecRotated", "&Rotated by 90 Degrees"), &QAction::triggered, this,
          &TSndMainForm::Menu_SpecRotatedClick);
  connect(AddSwitch(p, "Menu_SpectrumGraphVisible", "Spectrum &Graph Visible"),
          &QAction::triggered, this, &TSndMainForm::Menu_SpectrumGraphVisibleClick);
  connect(AddSwitch(p, "Menu_WaterfallVisible2", "&Waterfall Visible"), &QAction::triggered, this,
          &TSndMainForm::Menu_WaterfallVisibleClick);
  p->addSeparator();
  connect(AddSwitch(p, "Menu_VisualizeAlertParams", "Visualize Alert &Parameters"),
          &QAction::triggered, this, &TSndMainForm::Menu_VisualizeAlertParamsClick);
  connect(AddSwitch(p, "Menu_VisualizeAlertPeaks", "Show Alert Peak &Values"), &QAction::triggered,
          this, &TSndMainForm::Menu_VisualizeAlertPeaksClick);
  connect(AddSwitch(p, "Menu_VisualizeNoiseLevel", "Show Alert &Reference Level"),
          &QAction::triggered, this, &TSndMainForm::Menu_VisualizeNoiseLevelClick);
  connect(AddSwitch(p, "Menu_PlotSmoothedInput", "Plot &Smoothed Input"), &QAction::triggered,
          this, &TSndMainForm::Menu_PlotSmoothedInputClick);
  connect(AddSwitch(p, "Menu_PlotSearchPatternMatch", "Plot Search Pattern &Match"),
          &QAction::triggered, this, &TSndMainForm::Menu_PlotSearchPatternMatchClick);
  p->addSeparator();
  connect(AddItem(p, "Menu_SpecPlotConfig", "Spectrum &Display Settings..."), &QAction::triggered,
          this, &TSndMainForm::Menu_SpecPlotConfigClick);
  connect(AddItem(p, "Menu_DisplayColors", "Display &Colors..."), &QAction::triggered, this,
          &TSndMainForm::Menu_DisplayColorsClick);
  connect(AddItem(p, "Menu_FFTsettings", "FF&T Settings..."), &QAction::triggered, this,
          &TSndMainForm::Menu_FFTsettingsClick);
  connect(AddItem(p, "Menu_PopSpectrumRef", "R&eference Spectrum..."), &QAction::triggered, this,
          &TSndMainForm::Menu_PopSpectrumRefClick);
  p->addSeparator();
  connect(AddItem(p, "Menu_SpecHelp", "&Help"), &QAction::triggered, this,
          &TSndMainForm::Menu_SpecHelpClick);
  connect(PopupSpectrum, &QMenu::aboutToShow, this, &TSndMainForm::PopupSpectrumPopup);

  Popup_Waterfall = new QMenu(this);
  Popup_Waterfall->setObjectName("Popup_Waterfall");
  p = Popup_Waterfall;
  connect(AddSwitch(p, "Menu_WaterTimeScale", "&Time Scale"), &QAction::triggered, this,
          &TSndMainForm::Menu_WaterTimeScaleClick);
  connect(AddSwitch(p, "Menu_WaterFreqScale", "&Frequency Scale"), &QAction::triggered, this,
          &TSndMainForm::Menu_WaterFreqScaleClick);
  connect(AddSwitch(p, "Menu_WaterfallVisible", "&Waterfall Visible"), &QAction::triggered, this,
          &TSndMainForm::Menu_WaterfallVisibleClick);
  connect(AddSwitch(p, "Menu_SpectrumGraphVisible2", "Spectrum &Graph Visible"),
          &QAction::triggered, this, &TSndMainForm::Menu_SpectrumGraphVisibleClick);
  connect(AddSwitch(p, "Menu_WaterRotated90", "&Rotated by 90 Degrees"), &QAction::triggered, this,
          &TSndMainForm::Menu_WaterRotated90Click);
  p->addSeparator();
  connect(AddItem(p, "Menu_WaterConfig", "Waterfall &Display Settings..."), &QAction::triggered,
          this, &TSndMainForm::Menu_WaterConfigClick);
  connect(AddItem(p, "Menu_WaterDisplayColors", "Display &Colors..."), &QAction::triggered, this,
          &TSndMainForm::Menu_WaterDisplayColorsClick);
  p->addSeparator();
  connect(AddItem(p, "Menu_WaterHelp", "&Help"), &QAction::triggered, this,
          &TSndMainForm::Menu_WaterHelpClick);
  connect(Popup_Waterfall, &QMenu::aboutToShow, this, &TSndMainForm::Popup_WaterfallPopup);

  // Right clicks open them (a context-menu request leaves the images' mouse handlers free).
  for (auto [image, menu] : {std::pair{Img_SpectrumPlot, PopupSpectrum},
                             std::pair{Img_Waterfall, Popup_Waterfall}}) {
    image->setContextMenuPolicy(Qt::CustomContextMenu);
    QMenu* m = menu;
    QWidget* w = image;
    connect(image, &QWidget::customContextMenuRequested, this,
            [m, w](const QPoint& pos) { m->popup(w->mapToGlobal(pos)); });
  }

  // The Analysis menu: spectrum calculation and sound output.
  Analysis1->addSeparator();
  Menu_StartSpectrumWaterfall =
      AddSwitch(Analysis1, "Menu_StartSpectrumWaterfall", "Start Spectrum/&Waterfall");
  StopSpectrumWaterfall1 = AddItem(Analysis1, "StopSpectrumWaterfall1", "Stop Spectrum/Waterf&all");
  Menu_StartSoundOutput = AddSwitch(Analysis1, "Menu_StartSoundOutput", "Start Sound &Output");
  StopSoundOutput1 = AddItem(Analysis1, "StopSoundOutput1", "Stop Sound O&utput");
  connect(Menu_StartSpectrumWaterfall, &QAction::triggered, this,
          &TSndMainForm::Menu_StartSpectrumWaterfallClick);
  connect(StopSpectrumWaterfall1, &QAction::triggered, this,
          &TSndMainForm::StopSpectrumWaterfall1Click);
  connect(Menu_StartSoundOutput, &QAction::triggered, this,
          &TSndMainForm::Menu_StartSoundOutputClick);
  connect(StopSoundOutput1, &QAction::triggered, this, &TSndMainForm::StopSoundOutput1Click);

  // The View menu: the control panel.
  Menu_ViewControls = AddSwitch(View1, "Menu_ViewControls", "C&ontrol Panel");
  connect(Menu_ViewControls, &QAction::triggered, this, &TSndMainForm::Menu_ViewControlsClick);
  Grp_Controls->installEventFilter(new DoubleClickFilter(this, [this] { Grp_ControlsDblClick(); }));

  // The File menu: reference spectrum and wave-file settings, before the palette items.
  QAction* before = Menu_ColorPalette ? Menu_ColorPalette->menuAction() : nullptr;
  auto insert = [&](const char* name, const QString& caption, void (TSndMainForm::*handler)()) {
    QAction* a = new QAction(caption, File1);
    a->setObjectName(name);
    File1->insertAction(before, a);
    connect(a, &QAction::triggered, this, handler);
  };
  File1->insertSeparator(before);
  insert("Menu_LoadReference", "Load &Reference Spectrum...", &TSndMainForm::Menu_LoadReferenceClick);
  insert("Menu_SaveReference", "Save R&eference Spectrum...", &TSndMainForm::Menu_SaveReferenceClick);
  insert("MM_WaveFileSettings", "&Wave File Settings...", &TSndMainForm::MM_WaveFileSettingsClick);

  // The control panel's button to the display settings; the dB scale under the colour bar.
  Btn_DisplaySettings = new QPushButton("Display...", Grp_Controls);
  Btn_DisplaySettings->setObjectName("Btn_DisplaySettings");
  if (QLayout* l = Grp_Controls->layout()) l->addWidget(Btn_DisplaySettings);
  connect(Btn_DisplaySettings, &QPushButton::clicked, this, &TSndMainForm::Btn_DisplaySettingsClick);
  Img_ColorLegendScale->OnClick = [this] { Img_ColorLegendScaleClick(); };
}

void TSndMainForm::PopupSpectrumPopup()
{
  const int style = SndConfig.SpectrumStyleNPos;
  auto check = [this](const char* name, bool on) {
    if (auto* a = PopupSpectrum->findChild<QAction*>(name)) a->setChecked(on);
  };
  check("Menu_SpecAmplitudeScale", SndConfig.AmplitudeGrid != 0);
  check("Menu_SpecFrequencyScale", SndConfig.FrequencyGrid != 0);
  check("Menu_SpecRotated", SndConfig.SpectrumOrient != 0);
  check("Menu_SpectrumGraphVisible", style != 0);
  check("Menu_WaterfallVisible2", style != 3);
  check("Menu_VisualizeAlertParams", AlertSettings.Visualize != 0);
  check("Menu_VisualizeAlertPeaks", (AlertSettings.PlotOptions & 1) != 0);
  check("Menu_VisualizeNoiseLevel", (AlertSettings.PlotOptions & 2) != 0);
  check("Menu_PlotSmoothedInput", (AlertSettings.PlotOptions & 4) != 0);
  check("Menu_PlotSearchPatternMatch", (AlertSettings.PlotOptions & 8) != 0);
}

void TSndMainForm::Popup_WaterfallPopup()
{
  const int style = SndConfig.SpectrumStyleNPos;
  auto check = [this](const char* name, bool on) {
    if (auto* a = Popup_Waterfall->findChild<QAction*>(name)) a->setChecked(on);
  };
  check("Menu_WaterTimeScale", SndConfig.WaterTimeGrid != 0);
  check("Menu_WaterFreqScale", SndConfig.WaterFreqGrid != 0);
  check("Menu_WaterfallVisible", style != 3);
  check("Menu_SpectrumGraphVisible2", style != 0);
  check("Menu_WaterRotated90", SndConfig.SpectrumOrient != 0);
}

void TSndMainForm::Menu_SpecAmplitudeScaleClick() { Toggle(SndConfig.AmplitudeGrid); }
void TSndMainForm::Menu_SpecFrequencyScaleClick() { Toggle(SndConfig.FrequencyGrid); }
void TSndMainForm::Menu_SpecRotatedClick() { Toggle(SndConfig.SpectrumOrient); }
void TSndMainForm::Menu_WaterRotated90Click() { Toggle(SndConfig.SpectrumOrient); }
void TSndMainForm::Menu_WaterTimeScaleClick() { Toggle(SndConfig.WaterTimeGrid); }
void TSndMainForm::Menu_WaterFreqScaleClick() { Toggle(SndConfig.WaterFreqGrid); }

void TSndMainForm::Menu_SpectrumGraphVisibleClick()
{
  // 0 (waterfall only) gets the graph on the right; with the graph shown it goes.
  SndConfig.SpectrumStyleNPos = SndConfig.SpectrumStyleNPos == 0 ? 2 : 0;
  g_RedrawRequestMask = REDRAW_ALL;
}

void TSndMainForm::Menu_WaterfallVisibleClick()
{
  // 3 (graph only) gets the waterfall with the graph on the right; else only the graph stays.
  SndConfig.SpectrumStyleNPos = SndConfig.SpectrumStyleNPos == 3 ? 2 : 3;
  g_RedrawRequestMask = REDRAW_ALL;
}

void TSndMainForm::Menu_VisualizeAlertParamsClick()
{
  AlertSettings.Visualize = AlertSettings.Visualize != 0 ? 0 : 1;
}
void TSndMainForm::Menu_VisualizeAlertPeaksClick() { AlertSettings.PlotOptions ^= 1; }
void TSndMainForm::Menu_VisualizeNoiseLevelClick() { AlertSettings.PlotOptions ^= 2; }
void TSndMainForm::Menu_PlotSmoothedInputClick() { AlertSettings.PlotOptions ^= 4; }
void TSndMainForm::Menu_PlotSearchPatternMatchClick() { AlertSettings.PlotOptions ^= 8; }

void TSndMainForm::Menu_StartSpectrumWaterfallClick() { SndConfig.SpectrumOn = 1; }
void TSndMainForm::StopSpectrumWaterfall1Click() { SndConfig.SpectrumOn = 0; }

void TSndMainForm::Menu_StartSoundOutputClick()
{
  if (SoundThreadLink().ThreadExists()) SoundThreadLink().SetSoundOutputWanted(true);
}
void TSndMainForm::StopSoundOutput1Click()
{
  if (SoundThreadLink().ThreadExists()) SoundThreadLink().SetSoundOutputWanted(false);
}

void TSndMainForm::Menu_FFTsettingsClick() { Menu_SetupFFTClick(); }
void TSndMainForm::Menu_SpecPlotConfigClick() { Menu_SetupSpectrumDisplayClick(); }
void TSndMainForm::Menu_WaterConfigClick() { Menu_SetupSpectrumDisplayClick(); }
void TSndMainForm::Btn_DisplaySettingsClick() { Menu_SetupSpectrumDisplayClick(); }
void TSndMainForm::Menu_DisplayColorsClick() { Menu_SetupSpectrumColorsClick(); }
void TSndMainForm::Menu_WaterDisplayColorsClick() { Menu_SetupSpectrumColorsClick(); }
void TSndMainForm::MM_WaveFileSettingsClick() { Menu_SetupWaveFileClick(); }
void TSndMainForm::Menu_PopSpectrumRefClick() { Menu_FreqRespCalibClick(); }

void TSndMainForm::Img_ColorLegendScaleClick()
{
  Menu_SetupSpectrumDisplayClick();
  if (ConfigDlg && ConfigDlg->Ed_AmplMin) ConfigDlg->Ed_AmplMin->setFocus();
}

void TSndMainForm::Menu_ViewControlsClick()
{
  Grp_Controls->setVisible(Grp_Controls->isHidden());
  FormResize();
}

void TSndMainForm::Grp_ControlsDblClick() { Menu_ViewControlsClick(); }

void TSndMainForm::Menu_LoadReferenceClick()
{
  const QString text = RefFileResultMessage(LoadReferenceSpectrumDialog(this), false);
  if (!text.isEmpty()) ShowMessage(text);
}

void TSndMainForm::Menu_SaveReferenceClick()
{
  const QString text = RefFileResultMessage(SaveReferenceSpectrumDialog(this), true);
  if (!text.isEmpty()) ShowMessage(text);
}

void TSndMainForm::Menu_SpecHelpClick() { AppHelp(HELP_CONTEXT_COMMAND, 170); }
void TSndMainForm::Menu_WaterHelpClick() { AppHelp(HELP_CONTEXT_COMMAND, 180); }
