// The main window: construction, instance number, command line and the control panel.
#include "mainwin/forms/SpecMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdlib>

#include "engine/BigSampleBuffer.h"
#include "engine/ProgramInstance.h"
#include "engine/RedrawRequest.h"
#include "engine/RemoteMsg.h"
#include "mainwin/forms/SpecMainWave.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "digimode/DigimodeEngine.h"
#include "engine/forms/FormPlacement.h"
#include "interp/ProfileSeam.h"
#include "interp/SpectrumBuffer.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/CommandLine.h"
#include "mainwin/WindowWords.h"
#include "engine/forms/HelpHook.h"
#include "mainwin/forms/HelpBrowser.h"

TSndMainForm* SndMainForm = nullptr;

std::function<void*(size_t)> TSndMainForm::HistoryAllocator;
std::function<void(const QString&)> TSndMainForm::MessageHook;

TSndMainForm::TSndMainForm(const QStringList& args, const std::string& lockDirectory,
                           QWidget* parent)
    : QMainWindow(parent), m_args(args)
{
  setObjectName("SndMainForm");
  SetWindowWordsHost(this);  // the interpreter words "wave" and "capture" reach us here
  setWindowTitle("Vartumo");
  resize(800, 560);
  CreateControlPanel();
  CreateMainMenu();
  CreateWaveFileControl();
  CreatePopupMenus();

  // Which instance: the first holds lock "Vartumo1", the second "Vartumo2", others none.
  g_InstanceIndex = m_locks.Acquire(lockDirectory);
  SetSettingsFileName(g_MachineSettingsFileName, "SETTINGS.INI");
  SetSettingsFileName(g_UserSettingsFileName, "SETTINGS.INI");
  if (g_InstanceIndex > 0) {
    const std::string name = "SETTING" + std::to_string(g_InstanceIndex + 1) + ".INI";
    SetSettingsFileName(g_MachineSettingsFileName, name);
    SetSettingsFileName(g_UserSettingsFileName, name);
    const QString suffix = QString(" [%1]").arg(g_InstanceIndex + 1);
    setWindowTitle(windowTitle() + suffix);
    QGuiApplication::setApplicationDisplayName(QGuiApplication::applicationName() + suffix);
  }
  ParseCommandLine();
  FormCreate();
}

TSndMainForm::~TSndMainForm()
{
  // Without FormClose (a window destroyed unclosed) the wave-file control still holds a file:
  // it is shut down here, while the loop host and line producer it calls still exist (the
  // members go before the child objects would).
  delete WaveFiles;
  WaveFiles = nullptr;
  if (!m_closed) {
    RemoteMsg_StopServer();
    RemoteMsg_SetCommandHandler(nullptr);
  }
  FreeSpectrumHistory();  // normally done by FormClose already
  Profile_InstallHandlers({}, {});
  Digimode_SetStatusHook(nullptr);
  Digimode_SetSoundOutputCheck(nullptr);
  if (GetWindowWordsHost() == this) SetWindowWordsHost(nullptr);
  if (SndMainForm == this) SndMainForm = nullptr;
}

void TSndMainForm::ParseCommandLine()
{
  std::vector<std::string> args;
  for (const QString& a : m_args) args.push_back(a.toLocal8Bit().toStdString());
  const CommandLineSettings cl = ParseCommandLineArgs(args);
  if (cl.machineFile) SetSettingsFileName(g_MachineSettingsFileName, *cl.machineFile);
  if (cl.userFile) SetSettingsFileName(g_UserSettingsFileName, *cl.userFile);
  if (cl.caption) {  // replaces the caption with its instance suffix
    CommandLineCaption = QString::fromLocal8Bit(cl.caption->c_str());
    setWindowTitle(CommandLineCaption);
  }
}

void TSndMainForm::CreateControlPanel()
{
  auto* central = new QWidget;
  central->setObjectName("Pnl_Main");
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(2, 2, 2, 2);

  DisplayArea = new QWidget;
  DisplayArea->setObjectName("DisplayArea");
  DisplayArea->setAutoFillBackground(true);
  QPalette pal = DisplayArea->palette();
  pal.setColor(QPalette::Window, Qt::black);
  pal.setColor(QPalette::WindowText, Qt::gray);
  DisplayArea->setPalette(pal);
  auto* dl = new QVBoxLayout(DisplayArea);
  auto* note = new QLabel("Spectrum graph and waterfall: not built yet.");
  note->setAlignment(Qt::AlignCenter);
  dl->addWidget(note);
  v->addWidget(DisplayArea, 1);

  Grp_Controls = new QGroupBox;
  Grp_Controls->setObjectName("Grp_Controls");
  auto* h = new QHBoxLayout(Grp_Controls);
  ProgressButton = new QPushButton("Starting");
  ProgressButton->setObjectName("ProgressButton");
  ProgressButton->setMinimumWidth(160);
  ProgressButton->setProperty("HelpContext", 160);
  // The colour controls and the history bar each sit in an area with its own help page.
  auto makeArea = [&](const char* name, int helpContext) {
    auto* area = new QWidget;
    area->setObjectName(name);
    area->setProperty("HelpContext", helpContext);
    auto* l = new QHBoxLayout(area);
    l->setContentsMargins(0, 0, 0, 0);
    h->addWidget(area);
    return l;
  };
  auto makeBar = [&](QHBoxLayout* l, const char* name, const char* label, int lo, int hi) {
    auto* bar = new QScrollBar(Qt::Horizontal);
    bar->setObjectName(name);
    bar->setRange(lo, hi);
    bar->setMinimumWidth(90);
    l->addWidget(new QLabel(label));
    l->addWidget(bar);
    return bar;
  };
  h->addWidget(ProgressButton);
  // "Captured #n" for 10 s after a capture by the interpreter.
  Lab_Capture = new QLabel;
  Lab_Capture->setObjectName("Lab_Capture");
  h->addWidget(Lab_Capture);
  Lab_TimeNow = new QLabel("--:--:--");
  Lab_TimeNow->setObjectName("Lab_TimeNow");
  Lab_TimeNow->setToolTip("Time of day");
  h->addWidget(Lab_TimeNow);
  QHBoxLayout* colour = makeArea("Grp_Color", 150);
  SBR_Brightness = makeBar(colour, "SBR_Brightness", "Brightness", 0, 255);
  SBR_Contrast = makeBar(colour, "SBR_Contrast", "Contrast", 0, 255);
  // The history bar's page TS_Time joins the control tabs PC_Controls with the display areas.
  TS_Time = new QWidget;
  TS_Time->setObjectName("TS_Time");
  TS_Time->setProperty("HelpContext", 130);
  auto* timeRow = new QHBoxLayout(TS_Time);
  timeRow->setContentsMargins(2, 2, 2, 2);
  SBR_Time = makeBar(timeRow, "SBR_Time", "History", 0, 10);
  Lab_TimeView = new QLabel("--:--:--");
  Lab_TimeView->setObjectName("Lab_TimeView");
  Lab_TimeView->setToolTip("Time of the newest line shown");
  timeRow->addWidget(Lab_TimeView);
  h->addStretch(1);
  v->addWidget(Grp_Controls);
  setCentralWidget(central);
  connect(SBR_Brightness, &QScrollBar::valueChanged, this, &TSndMainForm::SBR_BrightnessChange);
  connect(SBR_Contrast, &QScrollBar::valueChanged, this, &TSndMainForm::SBR_ContrastChange);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(100);
  Timer1->setTimerType(Qt::PreciseTimer);
  connect(Timer1, &QTimer::timeout, this, &TSndMainForm::Timer1Timer);
  IdleTimer = new QTimer(this);
  IdleTimer->setObjectName("IdleTimer");
  IdleTimer->setSingleShot(true);
  IdleTimer->setTimerType(Qt::PreciseTimer);
  connect(IdleTimer, &QTimer::timeout, this, &TSndMainForm::AppIdle);

  // F1: help for the focused area, else for the main window (200).
  auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
  connect(f1, &QShortcut::activated, this, [this] {
    AppHelp(HELP_CONTEXT_COMMAND, HelpContextAt(QApplication::focusWidget()));
  });
  setProperty("HelpContext", 200);

  CreateDisplayAreas();
  connect(SBR_Time, &QScrollBar::valueChanged, this, &TSndMainForm::SBR_TimeChange);
}

void TSndMainForm::SBR_BrightnessChange()
{
  if (UpdatingControls > 0) return;
  SndConfig.ColorPalBrightness = SBR_Brightness->value();
  g_RedrawRequestMask = REDRAW_ALL;
  CalcWaterfallPalette();
  RealizePalettes();
  DrawColorBar();
  RestartWaterfallRedraw();
}

void TSndMainForm::SBR_ContrastChange()
{
  if (UpdatingControls > 0) return;
  SndConfig.ColorPalContrast = SBR_Contrast->value();
  g_RedrawRequestMask = REDRAW_ALL;
  CalcWaterfallPalette();
  RealizePalettes();
  DrawColorBar();
  RestartWaterfallRedraw();
}

void TSndMainForm::CalcWaterfallPalette()
{
  CalcWaterfallPaletteTable(g_ColorPalette, SndConfig.ColorPalContrast,
                            SndConfig.ColorPalBrightness, g_WaterfallPalette);
}

void TSndMainForm::UpdateSampleRateInfo()
{
  // The divisor is the one ring 0 makes of the asked ratio: its stages of 2 and 3 make another
  // ratio than asked for I/Q pairs and with the anti-alias option (5 -> 3, 44 -> 12).
  const bool complex = SndConfig.ComplexFFT != 0;
  const bool antiAlias = SndConfig.FftInputAntiAlias != 0;
  if (IsAnalyzingWaveFile()) {
    // Off-line analysis: the lines come from the file at its rate and decimation.
    const CWaveAnalysis& a = WaveFiles->Analysis;
    NominalSampleRate = a.Params.SampleRate;
    ProcessingSampleRate = a.Params.SampleRate;
    SampleRateDivisor = RealisedDecimationRatio(a.Decimation, complex, antiAlias);
  } else {
    NominalSampleRate = SndConfig.SampleRate;
    SampleRateDivisor = RealisedDecimationRatio(SndConfig.RateDivisor, complex, antiAlias);
    ProcessingSampleRate = SoundThreadLink().CalcEffectiveSampleRates();
  }
  EffectiveSampleRate =
      SampleRateDivisor < 1 ? ProcessingSampleRate : ProcessingSampleRate / SampleRateDivisor;
}

void TSndMainForm::ShowMessage(const QString& text)
{
  if (MessageHook) {
    MessageHook(text);
    return;
  }
  // Over the window the user works in: a box under a tool window (the configuration dialog
  // above the main window) would wait unseen and block every window.
  QWidget* active = QApplication::activeWindow();
  QMessageBox::information(active ? active : this, windowTitle(), text);
}

bool TSndMainForm::AppHelp(int command, int data)
{
  if (command != HELP_CONTEXT_COMMAND) return false;
  return ShowHelpContext(static_cast<uint32_t>(data));
}

int TSndMainForm::HelpContextAt(const QWidget* w) const
{
  for (; w; w = w->parentWidget()) {
    const QVariant v = w->property("HelpContext");
    if (v.isValid()) return v.toInt();
  }
  return 200;
}

void TSndMainForm::setVisible(bool visible)
{
  // The first show arranges the displays (FormShow), which sets the layout's minimum size, and
  // places the stored bounds again at that size, unless the window was moved, resized, maximised
  // or minimised since its creation. Both happen before the window system gets the window: a
  // window that grows after its native window exists but before the window manager has framed
  // it is placed by its client area on X11, one frame's width left and one title bar up.
  if (visible && !m_shownOnce) {
    m_shownOnce = true;
    FormShow();
    if (IsNormalWindowState(this) && QRect(pos(), size()) == m_createdBounds)
      PlaceWindowOnScreens(this, QPoint(m_storedBounds.Left, m_storedBounds.Top),
                           QSize(m_storedBounds.Width, m_storedBounds.Height));
  }
  QMainWindow::setVisible(visible);
}

void TSndMainForm::closeEvent(QCloseEvent* e)
{
  if (!m_closed) {
    m_closed = true;
    FormClose();
  }
  e->accept();
}
