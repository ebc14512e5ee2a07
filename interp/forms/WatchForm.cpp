// The watch window: construction of its pages and menus, creation, show and close.
#include "interp/forms/WatchForm.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

#include "engine/forms/GridRows.h"
#include "engine/PreciseClock.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsFileNames.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/ProfileSeam.h"
#include "interp/PlotData.h"
#include "interp/WatchDefaults.h"
#include "interp/forms/PlotCommand.h"
#include "interp/forms/WatchFormPlotImage.h"

TWatchForm* WatchForm = nullptr;

namespace {

constexpr uint32_t kHelpWatch = 1810;
constexpr uint32_t kHelpInterpreter = 1650;

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items)
{
  auto* c = new QComboBox(parent);
  c->setObjectName(name);
  c->addItems(items);
  return c;
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text)
{
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(name);
  return e;
}

QPushButton* Panel(QWidget* parent, const char* name, const QString& text)
{
  auto* b = new QPushButton(text, parent);
  b->setObjectName(name);
  b->setFlat(true);
  b->setAutoFillBackground(true);
  return b;
}

QCheckBox* Check(QWidget* parent, const char* name, const QString& text)
{
  auto* c = new QCheckBox(text, parent);
  c->setObjectName(name);
  return c;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text)
{
  auto* l = new QLabel(text, parent);
  if (name) l->setObjectName(name);
  return l;
}

const QStringList kLineStyles = {"(off)", "thin line", "bold line", "dotted line"};
const QStringList kMarkerStyles = {"(off)", "thin line", "bold line", "dotted line", "small ticks", "medium ticks",
                                   "large ticks"};

}  // namespace

TWatchForm::TWatchForm(QWidget* parent) : QMainWindow(parent)
{
  setObjectName("WatchForm");
  setWindowTitle("Vartumo  Watch List and Plotter");
  AppendInstanceSuffix(this);
  setMinimumSize(340, 240);
  setGeometry(177, 118, 503, 348);
  Clock = [] { return GetPreciseUnixTime(false); };

  BuildPages();
  BuildMenus();
  InstallHelpShortcut(this, kHelpWatch);

  // Create: selected channel -1, busy, defaults and the axis overrides, values 0, settings.
  m_Fields.SelectedChannel = -1;
  m_Fields.BusyCount = 1;
  m_Fields.TitlesWritten = false;
  Plot_InitDefaults(&g_WatchList);
  Plot_ApplyCreationAxes(&g_WatchList);
  for (double& v : g_WatchValues) v = 0.0;
  LoadSettings(UserSettingsFullPath());
  // Settings profiles that include the watch settings read and write them through these.
  Profile_InstallWatchHandlers([this](const std::string& f) { LoadSettings(f); },
                               [this](const std::string& f) { SaveSettings(f); });
  m_Fields.BusyCount = 1;  // stays raised until the first showing
  m_Fields.Running = m_Fields.Visible ? 1 : 0;
  PC_Watch->setCurrentIndex(m_Fields.Running ? 1 : 0);
  if (m_Fields.Visible) QMetaObject::invokeMethod(this, [this] { show(); }, Qt::QueuedConnection);
}

TWatchForm::~TWatchForm()
{
  Profile_InstallWatchHandlers({}, {});
  g_PlotWindowClosed = 1;
  g_PlotCaptureBitmap = nullptr;
  if (g_PlotData.Header.MaxRecords > 0 || g_PlotData.State != PLOT_STATE_CLOSED) {
    PlotData_FreeMemory(&g_PlotData);
    PlotData_CloseFile(&g_PlotData);
  }
  if (WatchForm == this) WatchForm = nullptr;
}

void TWatchForm::BuildPages()
{
  auto* central = new QWidget(this);
  auto* top = new QVBoxLayout(central);
  top->setContentsMargins(2, 2, 2, 2);
  PC_Watch = new QTabWidget(central);
  PC_Watch->setObjectName("PC_Watch");
  top->addWidget(PC_Watch);
  setCentralWidget(central);

  // Watch list.
  auto* pWatch = new QWidget;
  auto* lw = new QVBoxLayout(pWatch);
  SG_Watch = new QTableWidget(WATCH_GRID_ROWS, WATCH_GRID_COLS, pWatch);
  SG_Watch->setObjectName("SG_Watch");
  MakeGridRowsMovable(SG_Watch, true, 1);
  SG_Watch->setFont(QFont("Courier New"));
  lw->addWidget(SG_Watch);
  auto* infoRow = new QHBoxLayout;
  Lab_CellInfo = Label(pWatch, "Lab_CellInfo", "(cell info)");
  infoRow->addWidget(Lab_CellInfo, 1);
  // How many rows are in use, and whether the plot file has a channel for each.
  Lab_RowCount = Label(pWatch, "Lab_RowCount", "");
  infoRow->addWidget(Lab_RowCount);
  lw->addLayout(infoRow);
  PC_Watch->addTab(pWatch, "Watch List");
  connect(SG_Watch, &QTableWidget::cellChanged, this, [this](int r, int c) {
    if (r < 0 || r >= WATCH_GRID_ROWS || c < 0 || c >= WATCH_GRID_COLS) return;
    QTableWidgetItem* it = SG_Watch->item(r, c);
    m_Grid.Cells[r][c] = it ? it->text().toStdString() : std::string();
    if (m_Fields.BusyCount <= 0) m_Fields.TakeOver = true;
  });
  connect(SG_Watch, &QTableWidget::cellClicked, this, [this](int, int) {
    if (m_Fields.BusyCount <= 0) m_Fields.TakeOver = true;
  });
  connect(SG_Watch, &QTableWidget::currentCellChanged, this, [this](int r, int c, int, int) {
    if (r < 0 || c < 0) return;
    QString info = QString("%1:%2").arg(r).arg(c + 1);
    if (r >= 1 && r <= WATCH_MAX_CHANNELS && c < WATCH_GRID_COLS) {
      const QString text = QString::fromStdString(m_Grid.Cells[r][c]);
      static const char* const keys[WATCH_GRID_COLS] = {" Title=", " Expression=", " Result=", " FormatString=",
                                                         " MinScaleValue=", " MaxScaleValue="};
      info += keys[c] + text;
      if (c == WATCH_COL_TITLE && text.startsWith('@')) info += " = " + QString::fromLatin1(g_WatchList.Titles[r - 1]);
      if (c == WATCH_COL_FORMAT && text.startsWith('@')) info += " = " + QString::fromLatin1(g_WatchList.Formats[r - 1]);
    }
    Lab_CellInfo->setText(info);
  });

  // Plotter.
  auto* pPlot = new QWidget;
  auto* lp = new QVBoxLayout(pPlot);
  Img_Plot = new TWatchPlotImage(&m_Diagram, pPlot);
  Img_Plot->setObjectName("Img_Plot");
  lp->addWidget(Img_Plot, 1);
  auto* row = new QHBoxLayout;
  Pnl_Measure = Panel(pPlot, "Pnl_Measure", "Measure");
  Lab_Measure = Label(pPlot, "Lab_Measure", "--");
  row->addWidget(Pnl_Measure);
  row->addWidget(Lab_Measure, 1);
  row->addWidget(Label(pPlot, nullptr, "Show:"));
  Chk_ShowMin = Check(pPlot, "Chk_ShowMin", "min");
  Chk_ShowMax = Check(pPlot, "Chk_ShowMax", "max");
  Chk_ShowAvrg = Check(pPlot, "Chk_ShowAvrg", "avrg");
  for (QCheckBox* c : {Chk_ShowMin, Chk_ShowMax, Chk_ShowAvrg}) row->addWidget(c);
  lp->addLayout(row);
  PC_Watch->addTab(pPlot, "Plotter");
  Img_Plot->OnResized = [this] { DiagramResized(); };
  Img_Plot->OnMouseMove = [this](int x, int y) {
    m_MouseX = x;
    m_MouseY = y;
  };
  Img_Plot->OnClick = [this](int x, int y) { DiagramClick(x, y); };
  connect(Pnl_Measure, &QPushButton::clicked, this, &TWatchForm::MeasurePanelClick);
  connect(Chk_ShowMin, &QCheckBox::clicked, this, [this] { ShowToggleClick(1); });
  connect(Chk_ShowMax, &QCheckBox::clicked, this, [this] { ShowToggleClick(2); });
  connect(Chk_ShowAvrg, &QCheckBox::clicked, this, [this] { ShowToggleClick(4); });

  QStringList axisItems = {"<off>", "Percent"};
  for (int i = 1; i <= WATCH_MAX_CHANNELS; ++i) axisItems << QString("Chn #%1").arg(i);

  // Layout.
  auto* pLayout = new QWidget;
  auto* ll = new QGridLayout(pLayout);
  auto* applyLayout = new QPushButton("Apply", pLayout);
  applyLayout->setObjectName("Btn_ApplyLayout");
  ll->addWidget(applyLayout, 0, 0);
  auto* gAxis = new QGroupBox("Vertical Grid and Axis", pLayout);
  auto* la = new QGridLayout(gAxis);
  la->addWidget(Label(gAxis, nullptr, "Grid Style"), 0, 0);
  Cb_GridStyle = Combo(gAxis, "Cb_GridStyle", kLineStyles);
  la->addWidget(Cb_GridStyle, 0, 1);
  Pnl_VertAxisFont = Panel(gAxis, "Pnl_VertAxisFont", "Font");
  la->addWidget(Pnl_VertAxisFont, 0, 2);
  la->addWidget(Label(gAxis, nullptr, "Left Axis"), 1, 0);
  Cb_LeftAxis = Combo(gAxis, "Cb_LeftAxis", axisItems);
  la->addWidget(Cb_LeftAxis, 1, 1);
  Lab_LeftAxisChannel = Label(gAxis, "Lab_LeftAxisChannel", "= xx");
  la->addWidget(Lab_LeftAxisChannel, 1, 2);
  la->addWidget(Label(gAxis, nullptr, "Label"), 2, 0);
  Ed_LeftAxisLabel = Edit(gAxis, "Ed_LeftAxisLabel", "");
  la->addWidget(Ed_LeftAxisLabel, 2, 1);
  la->addWidget(Label(gAxis, nullptr, "Right Axis"), 3, 0);
  Cb_RightAxis = Combo(gAxis, "Cb_RightAxis", axisItems);
  la->addWidget(Cb_RightAxis, 3, 1);
  Lab_RightAxisChannel = Label(gAxis, "Lab_RightAxisChannel", "= xx");
  la->addWidget(Lab_RightAxisChannel, 3, 2);
  la->addWidget(Label(gAxis, nullptr, "Label"), 4, 0);
  Ed_RightAxisLabel = Edit(gAxis, "Ed_RightAxisLabel", "");
  la->addWidget(Ed_RightAxisLabel, 4, 1);
  ll->addWidget(gAxis, 1, 0);
  auto* gLegend = new QGroupBox("Legend", pLayout);
  auto* lg = new QGridLayout(gLegend);
  lg->addWidget(Label(gLegend, nullptr, "Position"), 0, 0);
  Cb_LegendPos = Combo(gLegend, "Cb_LegendPos", {"(invisible)", "Left", "Right", "Top", "Bottom"});
  lg->addWidget(Cb_LegendPos, 0, 1);
  lg->addWidget(Label(gLegend, nullptr, "Details"), 1, 0);
  Cb_LegendDetails = Combo(gLegend, "Cb_LegendDetails", {"only Channel Number", "Channel Name", "Channel Name + Range"});
  lg->addWidget(Cb_LegendDetails, 1, 1);
  Pnl_LegendFont = Panel(gLegend, "Pnl_LegendFont", "Font");
  lg->addWidget(Pnl_LegendFont, 2, 1);
  ll->addWidget(gLegend, 1, 1);
  PC_Watch->addTab(pLayout, "Layout");
  connect(Cb_LeftAxis, &QComboBox::currentIndexChanged, this, [this] { UpdateAxisChannelLabels(); });
  connect(Cb_RightAxis, &QComboBox::currentIndexChanged, this, [this] { UpdateAxisChannelLabels(); });

  // Horizontal.
  auto* pHorz = new QWidget;
  auto* lh = new QGridLayout(pHorz);
  auto* applyHorz = new QPushButton("Apply", pHorz);
  applyHorz->setObjectName("Btn_ApplyHorizontal");
  lh->addWidget(applyHorz, 0, 0);
  auto* gTime = new QGroupBox("Timebase and horizontal scale", pHorz);
  auto* lt = new QGridLayout(gTime);
  lt->addWidget(Label(gTime, nullptr, "Scroll rate:"), 0, 0);
  Ed_SecPerStep = Edit(gTime, "Ed_SecPerStep", "1");
  lt->addWidget(Ed_SecPerStep, 0, 1);
  lt->addWidget(Label(gTime, nullptr, "Sec/Step"), 0, 2);
  lt->addWidget(Label(gTime, nullptr, "Horiz. Magn"), 1, 0);
  lt->addWidget(Edit(gTime, "Ed_HorzMagn", "100"), 1, 1);
  lt->addWidget(Label(gTime, nullptr, "%"), 1, 2);
  lt->addWidget(Label(gTime, nullptr, "Markers"), 2, 0);
  lt->addWidget(Label(gTime, nullptr, "Interval [sec]"), 2, 1);
  lt->addWidget(Label(gTime, nullptr, "Small"), 3, 0);
  Ed_SmallInterval = Edit(gTime, "Ed_SmallInterval", "60");
  lt->addWidget(Ed_SmallInterval, 3, 1);
  Cb_SmallMarker = Combo(gTime, "Cb_SmallMarker", kMarkerStyles);
  lt->addWidget(Cb_SmallMarker, 3, 2);
  lt->addWidget(Label(gTime, nullptr, "Large"), 4, 0);
  Ed_LargeInterval = Edit(gTime, "Ed_LargeInterval", "30*60");
  lt->addWidget(Ed_LargeInterval, 4, 1);
  Cb_LargeMarker = Combo(gTime, "Cb_LargeMarker", kMarkerStyles);
  lt->addWidget(Cb_LargeMarker, 4, 2);
  lt->addWidget(Label(gTime, nullptr, "Time format for large markers"), 5, 0, 1, 3);
  lt->addWidget(Label(gTime, nullptr, "Normal"), 6, 0);
  Ed_TimeFormat = Edit(gTime, "Ed_TimeFormat", "hh:mm:ss");
  lt->addWidget(Ed_TimeFormat, 6, 1);
  lt->addWidget(Label(gTime, nullptr, "New Day"), 7, 0);
  Ed_DateFormat = Edit(gTime, "Ed_DateFormat", "YY-MM-DD");
  lt->addWidget(Ed_DateFormat, 7, 1);
  Pnl_HorzAxisFont = Panel(gTime, "Pnl_HorzAxisFont", "Font");
  lt->addWidget(Pnl_HorzAxisFont, 8, 1);
  lh->addWidget(gTime, 1, 0);
  PC_Watch->addTab(pHorz, "Horizontal");
  connect(Ed_SecPerStep, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (m_Fields.BusyCount > 0) return;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    const double old = g_WatchList.SecPerStep;
    if (ok && std::isfinite(v)) g_WatchList.SecPerStep = v;
    if (g_WatchList.SecPerStep != old) m_Fields.RedrawRequest = true;
  });

  // Channels and colours.
  auto* pChan = new QWidget;
  auto* lc = new QGridLayout(pChan);
  auto* applyChan = new QPushButton("Apply", pChan);
  applyChan->setObjectName("Btn_ApplyChannels");
  lc->addWidget(applyChan, 0, 0);
  auto* gColors = new QGroupBox("Colors", pChan);
  auto* lcol = new QGridLayout(gColors);
  const char* const colorNames[3] = {"Pnl_GridColor", "Pnl_BkgndColor", "Pnl_LabelColor"};
  const char* const colorTexts[3] = {"Grid lines", "Backgnd", "Text labels"};
  for (int i = 0; i < 3; ++i) {
    Pnl_Colors[i] = Panel(gColors, colorNames[i], colorTexts[i]);
    lcol->addWidget(Pnl_Colors[i], 0, i);
    connect(Pnl_Colors[i], &QPushButton::clicked, this, [this, i] { ColorPanelClick(i); });
  }
  lcol->addWidget(Label(gColors, nullptr, "Plotter pens"), 1, 0, 1, 3);
  for (int k = 0; k < 10; ++k) {
    const QByteArray name = "Pnl_Pen" + QByteArray::number(k + 1);
    Pnl_Pens[k] = Panel(gColors, name.constData(), QString::number(k + 1));
    lcol->addWidget(Pnl_Pens[k], 2 + k / 5, k % 5);
    connect(Pnl_Pens[k], &QPushButton::clicked, this, [this, k] { PenPanelClick(k); });
  }
  lc->addWidget(gColors, 1, 0);
  auto* gChan = new QGroupBox("Channel Settings", pChan);
  auto* lcs = new QGridLayout(gChan);
  lcs->addWidget(Label(gChan, nullptr, "for channel #"), 0, 0);
  Ed_ChannelNr = new QSpinBox(gChan);
  Ed_ChannelNr->setObjectName("Ed_ChannelNr");
  Ed_ChannelNr->setRange(1, WATCH_MAX_CHANNELS);
  lcs->addWidget(Ed_ChannelNr, 0, 1);
  lcs->addWidget(Label(gChan, nullptr, "Graph style"), 1, 0);
  Cb_GraphStyle = Combo(gChan, "Cb_GraphStyle", {"[off]", "single dots", "mixed", "all lines"});
  lcs->addWidget(Cb_GraphStyle, 1, 1);
  lcs->addWidget(Label(gChan, nullptr, "show as curve"), 2, 0);
  Chk_MinValue = Check(gChan, "Chk_MinValue", "Min. Value");
  Chk_MaxValue = Check(gChan, "Chk_MaxValue", "Max. Value");
  Chk_Average = Check(gChan, "Chk_Average", "Average");
  lcs->addWidget(Chk_MinValue, 3, 0);
  lcs->addWidget(Chk_MaxValue, 3, 1);
  lcs->addWidget(Chk_Average, 3, 2);
  lc->addWidget(gChan, 1, 1);
  PC_Watch->addTab(pChan, "Channels && Colors");
  for (QCheckBox* c : {Chk_MinValue, Chk_MaxValue, Chk_Average})
    connect(c, &QCheckBox::toggled, this, [this] { ChannelSettingsChanged(); });
  connect(Cb_GraphStyle, &QComboBox::currentIndexChanged, this, [this] { ChannelSettingsChanged(); });
  connect(Ed_ChannelNr, &QSpinBox::valueChanged, this, [this](int v) {
    if (m_Fields.BusyCount > 0) return;
    SelectChannel(v - 1);
  });

  // Other options.
  auto* pOther = new QWidget;
  auto* lo = new QGridLayout(pOther);
  auto* gMem = new QGroupBox("Memory", pOther);
  auto* lm = new QGridLayout(gMem);
  Ed_PlotMaxSamples = Edit(gMem, "Ed_PlotMaxSamples", "2000");
  lm->addWidget(Ed_PlotMaxSamples, 0, 0);
  lm->addWidget(Label(gMem, nullptr, "Samples   x"), 0, 1);
  Ed_PlotMaxChannels = Edit(gMem, "Ed_PlotMaxChannels", "6");
  lm->addWidget(Ed_PlotMaxChannels, 0, 2);
  lm->addWidget(Label(gMem, nullptr, "Channels"), 0, 3);
  Lab_ChannelsInUse = Label(gMem, "Lab_ChannelsInUse", "( xx in use)");
  lm->addWidget(Lab_ChannelsInUse, 1, 2);
  Lab_FileSize = Label(gMem, "Lab_FileSize", "-> filesize");
  lm->addWidget(Lab_FileSize, 1, 0);
  lm->addWidget(Label(gMem, nullptr, "temporary Plot file name (used as buffer & archive)"), 2, 0, 1, 4);
  Ed_PlotFileName = Edit(gMem, "Ed_PlotFileName", "plotter.tmp");
  lm->addWidget(Ed_PlotFileName, 3, 0, 1, 4);
  lo->addWidget(gMem, 0, 0, 1, 2);
  auto* gImp = new QGroupBox("Data Import / Export", pOther);
  auto* li = new QGridLayout(gImp);
  li->addWidget(Label(gImp, nullptr, "file"), 0, 0);
  Ed_ImportFile = Edit(gImp, "Ed_ImportFile", "test.txt");
  li->addWidget(Ed_ImportFile, 0, 1);
  li->addWidget(Label(gImp, nullptr, "Column Separator (ASCII)"), 1, 0);
  Ed_ColumnSeparator = Edit(gImp, "Ed_ColumnSeparator", "9");
  Ed_ColumnSeparator->setToolTip("9=TAB, 59=semicolon");
  li->addWidget(Ed_ColumnSeparator, 1, 1);
  li->addWidget(Label(gImp, nullptr, "Time Column #"), 2, 0);
  Ed_TimeColumn = Edit(gImp, "Ed_TimeColumn", "1");
  Ed_TimeColumn->setToolTip("Set to ZERO for auto-detect !");
  li->addWidget(Ed_TimeColumn, 2, 1);
  li->addWidget(Label(gImp, nullptr, "Time Format"), 3, 0);
  Ed_ImportTimeFormat = Edit(gImp, "Ed_ImportTimeFormat", "YYYY-MM-DD hh:mm:ss");
  li->addWidget(Ed_ImportTimeFormat, 3, 1);
  lo->addWidget(gImp, 1, 0);
  auto* gPriv = new QGroupBox("Private", pOther);
  auto* lpv = new QVBoxLayout(gPriv);
  Chk_EnableDebugging = Check(gPriv, "Chk_EnableDebugging", "Enable debugging");
  lpv->addWidget(Chk_EnableDebugging);
  // "Private" and Apply beside the import group: one above the other the groups and the
  // button did not fit the window's height.
  auto* side = new QVBoxLayout;
  side->addWidget(gPriv);
  // The channel count edited here takes effect by Apply, as on the other setting pages.
  auto* applyOther = new QPushButton("Apply", pOther);
  applyOther->setObjectName("Btn_ApplyOther");
  side->addWidget(applyOther);
  side->addStretch(1);
  lo->addLayout(side, 1, 1);
  lo->setRowStretch(2, 1);
  PC_Watch->addTab(pOther, "Other Options");
  for (QLineEdit* e : {Ed_PlotMaxSamples, Ed_PlotMaxChannels})
    connect(e, &QLineEdit::textChanged, this, [this] { UpdateFileSizeLabel(); });
  connect(PC_Watch, &QTabWidget::currentChanged, this, [this](int index) {
    if (index == 5) UpdateFileSizeLabel();
  });

  for (QPushButton* b : {applyLayout, applyHorz, applyChan, applyOther}) connect(b, &QPushButton::clicked, this, &TWatchForm::ApplyClick);
  for (QPushButton* p : {Pnl_VertAxisFont, Pnl_LegendFont, Pnl_HorzAxisFont}) {
    p->setFont(QFont("Arial", 8));
    connect(p, &QPushButton::clicked, this, [this, p] { FontPanelClick(p); });
  }
}

void TWatchForm::BuildMenus()
{
  auto add = [](QMenu* menu, const char* name, const QString& text) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    return a;
  };
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("Menu_File");
  connect(add(file, "Menu_ChangePlotFileName", "Change plot file &name"), &QAction::triggered, this,
          &TWatchForm::ChangePlotFileNameClick);
  connect(add(file, "Menu_Import", "&Import from text file"), &QAction::triggered, this, &TWatchForm::ImportClick);
  add(file, "Menu_Export", "&Export to text file")->setEnabled(false);
  connect(add(file, "Menu_LoadSettings", "&Load settings"), &QAction::triggered, this, &TWatchForm::LoadSettingsClick);
  connect(add(file, "Menu_SaveSettings", "&Save settings"), &QAction::triggered, this, &TWatchForm::SaveSettingsClick);
  file->addSeparator();
  connect(add(file, "Menu_Exit", "E&xit"), &QAction::triggered, this, &QWidget::close);
  menuBar()->addMenu("&Settings")->setObjectName("Menu_Settings");
  QMenu* plot = menuBar()->addMenu("&Plotter");
  plot->setObjectName("Menu_Plotter");
  Menu_RunStop = add(plot, "Menu_RunStop", "&Run/Stop");
  Menu_RunStop->setCheckable(true);
  connect(Menu_RunStop, &QAction::triggered, this, &TWatchForm::RunStopClick);
  connect(add(plot, "Menu_RefreshDisplay", "Refresh &Display"), &QAction::triggered, this,
          &TWatchForm::RefreshDisplayClick);
  connect(add(plot, "Menu_EraseData", "&Erase data memory"), &QAction::triggered, this, &TWatchForm::EraseDataClick);
  QMenu* help = menuBar()->addMenu("Help");
  help->setObjectName("Menu_Help");
  connect(add(help, "Menu_HelpIndex", "Index"), &QAction::triggered, this, [] { ShowHelpContext(kHelpWatch); });
  connect(add(help, "Menu_HelpInterpreter", "Interpreter Commands"), &QAction::triggered, this,
          [] { ShowHelpContext(kHelpInterpreter); });
}

void TWatchForm::showEvent(QShowEvent* event)
{
  QMainWindow::showEvent(event);
  QString name = Ed_PlotFileName->text();
  if (name.isEmpty() || name.at(0).unicode() <= 32) {
    name = QString("plotter%1.tmp").arg(g_InstanceIndex);
    Ed_PlotFileName->setText(name);
  }
  if (g_PlotData.Header.MaxRecords == 0) OpenPlotData(name);
  m_Fields.TakeOver = true;
  UpdateWatchGrid(true);
  EvalMarkerIntervals();
  UpdatePlot(true, false);
  ShowSettings();
  g_PlotWindowClosed = 0;
  g_PlotCaptureBitmap = &m_Diagram;
  m_Fields.BusyCount = 0;
}

void TWatchForm::closeEvent(QCloseEvent* event)
{
  g_PlotWindowClosed = 1;
  g_PlotCaptureBitmap = nullptr;
  SaveSettings(UserSettingsFullPath());
  PlotData_FreeMemory(&g_PlotData);
  PlotData_CloseFile(&g_PlotData);
  QMainWindow::closeEvent(event);
}
