// The digimode terminal window: layout, menus, the timer's duties and the text paths.
#include "digimode/forms/TerminalForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QShortcut>
#include <QSpinBox>
#include <QSplitter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextOption>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "digimode/CPSKDet.h"
#include "digimode/Dcf77Dec.h"
#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/forms/HellTxImage.h"
#include "digimode/forms/TerminalDialog.h"
#include "digimode/forms/TuningScope.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/CmdWinMsg.h"
#include "platform/BoundedFile.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"
#include "platform/TextFileCodec.h"

TTerminalForm* TerminalForm = nullptr;

namespace {

constexpr const char* kSection = "TerminalForm";
constexpr const char* kSettingsFile = "DIGIMODE.INI";
constexpr int kTimerInterval = 200;  // ms
constexpr int kRxCharsPerTick = 20;
constexpr int kScopeSize = 105;
constexpr int kMinFreq = 40;
constexpr int kMaxFreq = 4000;

// Station lamp colours as colour values (red in the lowest byte).
constexpr uint32_t kGrey = 0x808080;
constexpr uint32_t kLime = 0x00FF00;
constexpr uint32_t kYellow = 0x00FFFF;
constexpr uint32_t kRed = 0x0000FF;

constexpr const char* kWarnRate = "TRM_WARNING: You should set the sound sample rate to 11025 !!";
constexpr const char* kWarnDecimation = "TRM_WARNING: You should turn the audio decimation off !!";

QAction* AddItem(QMenu* menu, const char* name, const char* caption)
{
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  return a;
}

QFont EditorFont()
{
  QFont f("Courier New");
  f.setStyleHint(QFont::TypeWriter);
  f.setPixelSize(12);
  return f;
}

// A plain-text editor in the fixed-pitch font, unwrapped, with both scroll bars always shown.
QTextEdit* NewEditor(QWidget* parent, const char* name)
{
  auto* ed = new QTextEdit(parent);
  ed->setObjectName(name);
  ed->setFont(EditorFont());
  ed->setAcceptRichText(false);
  ed->setLineWrapMode(QTextEdit::NoWrap);
  ed->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return ed;
}

bool IsLineBreak(QChar ch)
{
  return ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator || ch == QLatin1Char('\n') ||
         ch == QLatin1Char('\r');
}

// Number of characters in an editor's document (a line break counts as one).
int TextLength(const QTextEdit* e) { return std::max(0, e->document()->characterCount() - 1); }

// The integer in an edit, or fallback when the text is not one.
int EditInteger(const QLineEdit* e, int fallback)
{
  bool ok = false;
  const int v = e->text().trimmed().toInt(&ok);
  return ok ? v : fallback;
}

int Truncated(double v)
{
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::clamp(v, -2.0e9, 2.0e9));
}

}  // namespace

// ---- lamp ----

TLampShape::TLampShape(QWidget* parent) : QWidget(parent)
{
  setFixedSize(25, 25);
}

void TLampShape::SetColor(const QColor& c)
{
  if (c == m_Color) return;
  m_Color = c;
  update();
}

void TLampShape::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 3));
  p.setBrush(m_Color);
  p.drawEllipse(QRectF(1.5, 1.5, width() - 3.0, height() - 3.0));
}

// ---- construction ----

TTerminalForm::TTerminalForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
  setObjectName("TerminalForm");
  setWindowTitle("Digimode Terminal");
  setGeometry(181, 239, 527, 306);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(2, 2, 2, 2);
  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName("MainMenu1");
  outer->setMenuBar(MainMenu1);

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setObjectName("Splitter1");
  outer->addWidget(Splitter1);
  BuildTuningColumn();
  BuildTextColumn();
  Splitter1->setStretchFactor(0, 0);
  Splitter1->setStretchFactor(1, 1);
  BuildMenus();

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(kTimerInterval);
  connect(Timer1, &QTimer::timeout, this, &TTerminalForm::Timer1Timer);

  m_ScopeImage = QImage(kScopeSize, kScopeSize, QImage::Format_RGB32);
  m_ScopeImage.fill(Qt::black);
  Img_TuningScope->setPixmap(QPixmap::fromImage(m_ScopeImage));

  // The engine's gates stay shut until the window has started it.
  g_DigimodeRxActive.store(0);
  g_DigimodeTxActive.store(0);
  // F1: the scope's page while the focus is in the tuning column, else the terminal's.
  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  f1->setContext(Qt::WindowShortcut);
  connect(f1, &QShortcut::activated, this, [this] {
    QWidget* w = QApplication::focusWidget();
    ShowHelpContext(w && Grp_Tuning->isAncestorOf(w) ? HELP_CONTEXT_SCOPE : HELP_CONTEXT);
  });
  FormCreate();
  Timer1->start();
}

TTerminalForm::~TTerminalForm() = default;

void TTerminalForm::BuildTuningColumn()
{
  Grp_Tuning = new QGroupBox("Tuning && Control", Splitter1);
  Grp_Tuning->setObjectName("Grp_Tuning");
  Grp_Tuning->setMinimumSize(117, 100);
  auto* grid = new QGridLayout(Grp_Tuning);
  grid->setContentsMargins(4, 4, 4, 4);
  grid->setSpacing(2);

  Img_TuningScope = new QLabel(Grp_Tuning);
  Img_TuningScope->setObjectName("Img_TuningScope");
  Img_TuningScope->setFixedSize(kScopeSize, kScopeSize);
  Img_TuningScope->setContextMenuPolicy(Qt::CustomContextMenu);
  grid->addWidget(Img_TuningScope, 0, 0, 1, 3);

  Pop_TuningScope = new QMenu(this);
  Pop_TuningScope->setObjectName("Pop_TuningScope");
  Pop_ScopeXY = AddItem(Pop_TuningScope, "Pop_ScopeXY", "X/Y for mark/space");
  Pop_ScopeUt = AddItem(Pop_TuningScope, "Pop_ScopeUt", "U(t) for mark and space");
  Pop_TuningScope->addSeparator();
  Pop_ScopePhaseVectors = AddItem(Pop_TuningScope, "Pop_ScopePhaseVectors", "Bit Phase Vectors");
  Pop_ScopePhaseTime = AddItem(Pop_TuningScope, "Pop_ScopePhaseTime", "Bit Phase over time");
  Pop_TuningScope->addSeparator();
  Pop_ScopeHelp = AddItem(Pop_TuningScope, "Pop_ScopeHelp", "Help");
  QAction* modes[4] = {Pop_ScopeXY, Pop_ScopeUt, Pop_ScopePhaseVectors, Pop_ScopePhaseTime};
  for (int i = 0; i < 4; ++i) {
    modes[i]->setCheckable(true);
    connect(modes[i], &QAction::triggered, this, [this, i] { ScopeModeClick(i + 1); });
  }
  connect(Pop_ScopeHelp, &QAction::triggered, this, &TTerminalForm::Pop_ScopeHelpClick);
  connect(Pop_TuningScope, &QMenu::aboutToShow, this, &TTerminalForm::Pop_TuningScopePopup);
  connect(Img_TuningScope, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
    Pop_TuningScope->popup(Img_TuningScope->mapToGlobal(p));
  });

  auto makeFreq = [&](int row, QLabel*& label, const char* labelName, const char* caption,
                      QLineEdit*& edit, const char* editName, QSpinBox*& ud, const char* udName) {
    label = new QLabel(caption, Grp_Tuning);
    label->setObjectName(labelName);
    edit = new QLineEdit("650", Grp_Tuning);
    edit->setObjectName(editName);
    edit->setMaximumWidth(48);
    ud = new QSpinBox(Grp_Tuning);
    ud->setObjectName(udName);
    ud->setRange(kMinFreq, kMaxFreq);
    ud->setValue(650);
    ud->setWrapping(false);
    ud->setGroupSeparatorShown(false);
    // Only the arrows show: the edit beside it holds the number.
    ud->setFixedWidth(18);
    ud->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(ud, row, 2);
    connect(ud, &QSpinBox::valueChanged, this, [edit](int v) {
      if (EditInteger(edit, -1) != v) edit->setText(QString::number(v));
    });
  };
  makeFreq(1, Label1, "Label1", "fc_rx", Ed_Fcenter_RX, "Ed_Fcenter_RX", Ud_Fcenter_Rx,
           "Ud_Fcenter_Rx");
  makeFreq(2, Label2, "Label2", "fc_tx", Ed_Fcenter_TX, "Ed_Fcenter_TX", Ud_Fcenter_Tx,
           "Ud_Fcenter_Tx");
  connect(Ed_Fcenter_RX, &QLineEdit::textChanged, this, &TTerminalForm::Ed_Fcenter_RXChange);
  connect(Ed_Fcenter_TX, &QLineEdit::textChanged, this, &TTerminalForm::Ed_Fcenter_TXChange);

  auto* row = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  Pnl_RxTxOff = new QLabel(" Off", Grp_Tuning);
  Pnl_RxTxOff->setObjectName("Pnl_RxTxOff");
  Pnl_RxTxOff->setFixedSize(61, 33);
  Pnl_RxTxOff->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Pnl_RxTxOff->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  QFont pf("Arial");
  pf.setPixelSize(15);
  pf.setBold(true);
  Pnl_RxTxOff->setFont(pf);
  Pnl_RxTxOff->installEventFilter(this);
  Shp_RxTxLed = new TLampShape(Pnl_RxTxOff);
  Shp_RxTxLed->setObjectName("Shp_RxTxLed");
  Shp_RxTxLed->move(61 - 25 - 4, 4);
  Shp_RxTxLed->installEventFilter(this);
  left->addWidget(Pnl_RxTxOff);
  Chk_AFC = new QCheckBox("AFC", Grp_Tuning);
  Chk_AFC->setObjectName("Chk_AFC");
  connect(Chk_AFC, &QCheckBox::clicked, this, &TTerminalForm::Chk_AFCClick);
  left->addWidget(Chk_AFC);
  left->addStretch(1);
  row->addLayout(left);

  Pnl_Squelch = new QFrame(Grp_Tuning);
  Pnl_Squelch->setObjectName("Pnl_Squelch");
  static_cast<QFrame*>(Pnl_Squelch)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Pnl_Squelch->setFixedSize(17, 93);
  Pnl_Squelch->setToolTip("RX squelch");
  Pnl_Squelch->installEventFilter(this);
  const int h = Pnl_Squelch->height() - 8;
  Shp_Squelch = new QWidget(Pnl_Squelch);
  Shp_Squelch->setObjectName("Shp_Squelch");
  Shp_Squelch->setAutoFillBackground(true);
  QPalette bar = Shp_Squelch->palette();
  bar.setColor(QPalette::Window, QColor(0, 200, 0));
  Shp_Squelch->setPalette(bar);
  Shp_Squelch->setGeometry(2, h + 4, 13, 0);
  Shp_Squelch->setEnabled(false);
  Shp_Squelch->setAttribute(Qt::WA_TransparentForMouseEvents);
  Shp_SqlThrsh = new QFrame(Pnl_Squelch);
  Shp_SqlThrsh->setObjectName("Shp_SqlThrsh");
  static_cast<QFrame*>(Shp_SqlThrsh)->setFrameStyle(QFrame::Box | QFrame::Plain);
  static_cast<QFrame*>(Shp_SqlThrsh)->setLineWidth(2);
  Shp_SqlThrsh->setGeometry(0, h + 4, 16, 8);
  Shp_SqlThrsh->setEnabled(false);
  Shp_SqlThrsh->setAttribute(Qt::WA_TransparentForMouseEvents);
  row->addWidget(Pnl_Squelch);
  grid->addLayout(row, 3, 0, 1, 3);
  grid->setRowStretch(4, 1);
}

void TTerminalForm::BuildTextColumn()
{
  ScrollBox1 = new QWidget(Splitter1);
  ScrollBox1->setObjectName("ScrollBox1");
  auto* v = new QVBoxLayout(ScrollBox1);
  v->setContentsMargins(0, 0, 0, 0);
  Splitter2 = new QSplitter(Qt::Vertical, ScrollBox1);
  Splitter2->setObjectName("Splitter2");
  Splitter2->setHandleWidth(4);
  v->addWidget(Splitter2);

  Grp_Receive = new QGroupBox("Receive", Splitter2);
  Grp_Receive->setObjectName("Grp_Receive");
  auto* rl = new QVBoxLayout(Grp_Receive);
  rl->setContentsMargins(2, 2, 2, 2);
  RichEd_Receive = NewEditor(Grp_Receive, "RichEd_Receive");
  // Received text wraps at the editor's width (also a run of time-signal events without a
  // blank): the newest character is then always on the last line, where the text scrolls to,
  // and never beyond the right edge.
  RichEd_Receive->setLineWrapMode(QTextEdit::WidgetWidth);
  RichEd_Receive->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  RichEd_Receive->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  rl->addWidget(RichEd_Receive);
  // The splitter may make the receive part small (a stored RxHeight is kept as it is).
  RichEd_Receive->setMinimumHeight(8);
  Grp_Receive->setMinimumHeight(20);

  Grp_Transmit = new QGroupBox("Transmit", Splitter2);
  Grp_Transmit->setObjectName("Grp_Transmit");
  auto* tl = new QVBoxLayout(Grp_Transmit);
  tl->setContentsMargins(2, 2, 2, 2);
  auto* hell = new QHBoxLayout;
  Lab_TxMsg = new QLabel("-", Grp_Transmit);
  Lab_TxMsg->setObjectName("Lab_TxMsg");
  Img_HellTx = new THellTxImage(Grp_Transmit);
  Img_HellTx->SetHeightLabel(Lab_TxMsg);
  hell->addWidget(Lab_TxMsg);
  hell->addWidget(Img_HellTx, 1);
  tl->addLayout(hell);
  RichEd_Transmit = NewEditor(Grp_Transmit, "RichEd_Transmit");
  RichEd_Transmit->installEventFilter(this);
  connect(RichEd_Transmit->document(), &QTextDocument::contentsChange, this,
          &TTerminalForm::TxContentsChange);
  tl->addWidget(RichEd_Transmit, 1);
  Splitter2->setStretchFactor(0, 0);
  Splitter2->setStretchFactor(1, 1);
  Splitter2->setSizes({m_RxHeight, 306 - m_RxHeight});
  Splitter1->setSizes({m_TuWidth, 527 - m_TuWidth});
}

void TTerminalForm::BuildMenus()
{
  QMenu* file = MainMenu1->addMenu("&File");
  file->setObjectName("File1");
  LoadTxText1 = AddItem(file, "LoadTxText1", "&Load Tx Text");
  SaveRxText1 = AddItem(file, "SaveRxText1", "&Save Rx Text");
  file->addSeparator();
  Menu_Close = AddItem(file, "Menu_Close", "&Close Terminal");

  QMenu* edit = MainMenu1->addMenu("&Edit");
  edit->setObjectName("Edit1");
  ClearTxBuffer = AddItem(edit, "ClearTxBuffer", "Clear TX buffer");
  ClearTxBuffer->setShortcut(Qt::Key_F2);
  SetTxPosToCursor = AddItem(edit, "SetTxPosToCursor", "Set TX position to cursor");
  SetTxPosToCursor->setShortcut(Qt::Key_F3);
  edit->addSeparator();

  QMenu* settings = MainMenu1->addMenu("&Settings");
  settings->setObjectName("Settings1");
  Menu_DigimodeConfiguration =
      AddItem(settings, "Menu_DigimodeConfiguration", "Digimode Configuration");
  SelectHELLfont = AddItem(settings, "SelectHELLfont", "Select HELL font");

  QMenu* help = MainMenu1->addMenu("&Help");
  help->setObjectName("Help1");
  About1 = AddItem(help, "About1", "&About");
  help->addSeparator();
  Index1 = AddItem(help, "Index1", "&Index");
  help->addSeparator();
  DebugInfo1 = AddItem(help, "DebugInfo1", "Debugging Info #1");

  // The shortcuts work wherever the focus is in this window.
  for (QAction* a : {ClearTxBuffer, SetTxPosToCursor}) {
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
  }
  connect(LoadTxText1, &QAction::triggered, this, &TTerminalForm::LoadTxText1Click);
  connect(SaveRxText1, &QAction::triggered, this, &TTerminalForm::SaveRxText1Click);
  connect(Menu_Close, &QAction::triggered, this, &TTerminalForm::Menu_CloseClick);
  connect(ClearTxBuffer, &QAction::triggered, this, &TTerminalForm::ClearTxBufferClick);
  connect(SetTxPosToCursor, &QAction::triggered, this, &TTerminalForm::SetTxPosToCursorClick);
  connect(Menu_DigimodeConfiguration, &QAction::triggered, this,
          &TTerminalForm::Menu_DigimodeConfigurationClick);
  connect(SelectHELLfont, &QAction::triggered, this, &TTerminalForm::SelectHELLfontClick);
  connect(About1, &QAction::triggered, this, &TTerminalForm::About1Click);
  connect(Index1, &QAction::triggered, this, &TTerminalForm::Index1Click);
  connect(DebugInfo1, &QAction::triggered, this, &TTerminalForm::DebugInfo1Click);
}

// ---- placement and life cycle ----

void TTerminalForm::FormCreate()
{
  AppendInstanceSuffix(this);
  bool visible = false;
  try {
    IniFile ini(UserSettingsFullPath());
    ReadFormBounds(this, ini, kSection, true);
    visible = ini.ReadInteger(kSection, "Visible", isVisible() ? 1 : 0) != 0;
    m_TuWidth = std::clamp(ini.ReadInteger(kSection, "TuWidth", m_TuWidth), 117, 4000);
    m_RxHeight = std::clamp(ini.ReadInteger(kSection, "RxHeight", m_RxHeight), 20, 4000);
  } catch (const EIniFileError&) {
    // An unreadable settings file leaves the design placement.
  }
  Splitter1->setSizes({m_TuWidth, std::max(1, width() - m_TuWidth)});
  Splitter2->setSizes({m_RxHeight, std::max(1, height() - m_RxHeight)});
  if (visible) show();
}

void TTerminalForm::FormShow()
{
  SndConfig.DigimodeActive = 1;
  if (!Initialised) {
    if (!g_DigimodeReady.load()) Digimode_Init();
    m_ScopeImage = QImage(Img_TuningScope->width(), Img_TuningScope->height(),
                          QImage::Format_RGB32);
    m_ScopeImage.fill(Qt::black);
    Img_TuningScope->setPixmap(QPixmap::fromImage(m_ScopeImage));
    // The transmit image: 8-pixel Courier New until DIGIMODE.INI names another font.
    T_DigimodeHellFont font;
    font.name = "Courier New";
    font.height = -8;
    Img_HellTx->SetHellFont(font);
    ClearHellTxImage();
    LoadSettings(kSettingsFile);
    PrepareHellFont();
    Digimode_SetMode(DigimodeSettings.OperMode);
    Digimode_InitFskFilters(true);
    if (g_DigimodeDllLoaded.load()) ShowDigimodeDLLStatus();
    Initialised = 1;
  }
  const bool toCmdWin = (SndConfig.MsgDisplay & (MSGDISP_ERRORS | MSGDISP_WARNINGS)) != 0;
  auto warn = [&](const char* text) {
    AddRxLine(text);
    if (toCmdWin) CmdWin_AddTimedMessage(6, CMDWIN_MSG_ERROR, text);
  };
  if (SndConfig.SampleRate != 11025) warn(kWarnRate);
  if (SndConfig.SampleRateDivisor > 1) warn(kWarnDecimation);
  ShowRxFrequency();
}

void TTerminalForm::FormClose()
{
  const bool visible = isVisible();
  // The settings go back whatever the window state (minimised at exit included); before the
  // first show they were never read, so the file is left alone then.
  if (Initialised) SaveSettings(kSettingsFile);
  try {
    IniFile ini(UserSettingsFullPath());
    if (visible && IsNormalWindowState(this)) {
      WriteFormBounds(this, ini, kSection, true);
      ini.WriteInteger(kSection, "TuWidth", Grp_Tuning->width());
      ini.WriteInteger(kSection, "RxHeight", Grp_Receive->height());
    }
    ini.WriteInteger(kSection, "Visible", visible ? 1 : 0);
    ini.UpdateFile();
  } catch (const EIniFileError&) {
    // The placement is not essential; the window still closes.
  }
}

void TTerminalForm::showEvent(QShowEvent* e)
{
  if (!e->spontaneous()) FormShow();
  QWidget::showEvent(e);
}

void TTerminalForm::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

bool TTerminalForm::eventFilter(QObject* watched, QEvent* e)
{
  if (e->type() == QEvent::MouseButtonPress) {
    auto* me = static_cast<QMouseEvent*>(e);
    if (watched == Pnl_RxTxOff && me->button() == Qt::LeftButton) {
      Pnl_RxTxOffClick();
      return true;
    }
    if (watched == Shp_RxTxLed) {
      Shp_RxTxLedMouseDown();
      return true;
    }
    if (watched == Pnl_Squelch) {
      Pnl_SquelchMouseDown(static_cast<int>(me->position().y()));
      return true;
    }
  } else if (e->type() == QEvent::KeyPress && watched == RichEd_Transmit) {
    RichEd_TransmitKeyDown(static_cast<QKeyEvent*>(e)->key());
  }
  return QWidget::eventFilter(watched, e);
}

QString TTerminalForm::SettingsPath(const QString& fileName) const
{
  return QDir::current().absoluteFilePath(fileName);
}

void TTerminalForm::LoadSettings(const QString& fileName)
{
  T_DigimodeHellFont font = Img_HellTx->HellFont();
  DigimodeSettings_LoadFromIni(SettingsPath(fileName).toStdString(), DigimodeSettings, &font);
  Img_HellTx->SetHellFont(font);
}

void TTerminalForm::SaveSettings(const QString& fileName)
{
  const T_DigimodeHellFont font = Img_HellTx->HellFont();
  DigimodeSettings_SaveToIni(SettingsPath(fileName).toStdString(), DigimodeSettings, &font);
}

// ---- timer ----

void TTerminalForm::Timer1Timer()
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  // 1.
  const int rate = SndConfig.SampleRate;
  if (rate != m_LastSampleRate) {
    Digimode_SetMode(DigimodeSettings.OperMode);
    m_LastSampleRate = rate;
  }
  // 2.
  const int mode = DigimodeSettings.OperMode;
  if (mode != m_LastOperMode) {
    m_LastOperMode = mode;
    Img_HellTx->setVisible(mode == DIGIMODE_OPMODE_HELL);
  }
  // 3.
  Digimode_PollDll();
  // 4.
  UpdateSquelchDisplay();
  // 5. The scope about once a second.
  if (--m_ScopeCountdown < 0) {
    m_ScopeCountdown = (kTimerInterval / 2 + 500) / kTimerInterval;
    if (g_TuningScopeBuffer.Kind.load(std::memory_order_acquire) >= 3 &&
        g_TuningScopeBuffer.FillCount.load(std::memory_order_acquire) > 10)
      DrawTuningScope();
  }
  // 6.
  const int switchRequest = g_DigimodeDllStatus.SwitchRequest.load();
  if (switchRequest == 1) Digimode_SwitchRxTx(1);
  else if (switchRequest == 2) Digimode_SwitchRxTx(2);
  // 7. Lamp and panel.
  const int txState = p.TxState.load();
  const int txRequest = p.TxRequest.load();
  const int sw = g_DigimodeDllStatus.SwitchRequest.load();
  if (txState != m_ShownTxState || txRequest != m_ShownTxRequest || sw != m_ShownSwitchRequest) {
    m_ShownTxState = txState;
    m_ShownTxRequest = txRequest;
    m_ShownSwitchRequest = sw;
    switch (txState) {
      case 0: SetLamp(" Off", kGrey); break;
      case 1: SetLamp(" RX", txRequest == 2 || sw == 2 ? kYellow : kLime); break;
      case 2: SetLamp(" TX", txRequest == 1 || sw == 1 ? kYellow : kRed); break;
      default: SetLamp(QString::number(txState), kGrey); break;
    }
  }
  // 8. Received characters.
  for (int i = 0; i < kRxCharsPerTick; ++i) {
    const int c = Digimode_GetRxChar();
    if (c == 0) break;
    AppendRxChar(c);
  }
  // 9. Time-signal events.
  if (SndConfig.Dcf77Active > 0) {
    for (int i = 0; i < kRxCharsPerTick; ++i) {
      const int c = static_cast<unsigned char>(Dcf77Dec_GetEventChar());
      if (c == 0) break;
      if (c == 'm') AppendRxChar(13);
      AppendRxChar(c);
    }
  }
  // 10. Transmit text.
  if (p.TxState.load() == 2 || p.TxRequest.load() == 2 ||
      g_DigimodeDllStatus.SwitchRequest.load() == 2) {
    FeedTxText();
    if (mode == DIGIMODE_OPMODE_HELL) SendHellColumns();
  }
  // 11, 12. Frequencies.
  const double rx = g_DigimodeRxFreq.load();
  if (std::fabs(rx - ShownRxFreq) > 0.5) {
    ++UpdateCount;
    ShownRxFreq = rx;
    SetFreqEdit(Ed_Fcenter_RX, Ud_Fcenter_Rx, rx);
    UpdateCount = std::max(0, UpdateCount - 1);
  }
  const double tx = DigimodeSettings.fc_tx;
  if (std::fabs(tx - ShownTxFreq) > 0.5) {
    ++UpdateCount;
    ShownTxFreq = tx;
    SetFreqEdit(Ed_Fcenter_TX, Ud_Fcenter_Tx, tx);
    UpdateCount = std::max(0, UpdateCount - 1);
  }
}

void TTerminalForm::SetLamp(const QString& caption, uint32_t colorRef)
{
  Pnl_RxTxOff->setText(caption);
  Shp_RxTxLed->SetColor(ColorRefToQColor(colorRef));
}

const QColor& TTerminalForm::LedColor() const { return Shp_RxTxLed->Color(); }

QString TTerminalForm::PanelCaption() const { return Pnl_RxTxOff->text(); }

void TTerminalForm::SetFreqEdit(QLineEdit* edit, QSpinBox* updown, double f)
{
  const int v = Truncated(f);
  edit->setText(QString::number(v));
  const QSignalBlocker block(updown);
  updown->setValue(std::clamp(v, kMinFreq, kMaxFreq));
}

void TTerminalForm::ShowRxFrequency()
{
  ++UpdateCount;
  ShownRxFreq = g_DigimodeRxFreq.load();
  SetFreqEdit(Ed_Fcenter_RX, Ud_Fcenter_Rx, ShownRxFreq);
  ShownTxFreq = DigimodeSettings.fc_tx;
  SetFreqEdit(Ed_Fcenter_TX, Ud_Fcenter_Tx, ShownTxFreq);
  Chk_AFC->setChecked(DigimodeSettings.use_afc);
  UpdateCount = std::max(0, UpdateCount - 1);
}

// ---- squelch ----

void TTerminalForm::UpdateSquelchDisplay()
{
  ++UpdateCount;
  const int h = Pnl_Squelch->height() - 8;
  const int level = g_DigimodeSquelchLevel.load();
  if (level != ShownSquelchLevel) {
    ShownSquelchLevel = level;
    const int t = std::clamp(static_cast<int>((100LL - level) * h / 100), 0, std::max(0, h));
    Shp_Squelch->setGeometry(Shp_Squelch->x(), t + 4, Shp_Squelch->width(), h - t);
  }
  const int thrsh = DigimodeSettings.squelch_thrsh;
  if (thrsh != ShownSquelchThreshold) {
    ShownSquelchThreshold = thrsh;
    Pnl_Squelch->setToolTip(QString("RX squelch: %1%").arg(thrsh));
    const int t = std::clamp(static_cast<int>((100LL - thrsh) * h / 100), 0, std::max(0, h));
    Shp_SqlThrsh->move(Shp_SqlThrsh->x(), t + 4);
  }
  UpdateCount = std::max(0, UpdateCount - 1);
}

void TTerminalForm::Pnl_SquelchMouseDown(int y)
{
  const int h = Pnl_Squelch->height() - 8;
  if (h > 10 && y >= 4 && y <= h - 4) DigimodeSettings.squelch_thrsh = 100 - (y - 4) * 100 / h;
}

// ---- frequencies and AFC ----

void TTerminalForm::Ed_Fcenter_RXChange()
{
  if (UpdateCount > 0) return;
  const int f = EditInteger(Ed_Fcenter_RX, Truncated(g_DigimodeRxFreq.load()));
  g_DigimodeRxFreq.store(f);
  DigimodeSettings.fc_rx = static_cast<double>(f);
  Digimode_InitFskFilters(true);
  const QSignalBlocker block(Ud_Fcenter_Rx);
  Ud_Fcenter_Rx->setValue(std::clamp(f, kMinFreq, kMaxFreq));
}

void TTerminalForm::Ed_Fcenter_TXChange()
{
  if (UpdateCount > 0) return;
  const int f = EditInteger(Ed_Fcenter_TX, Truncated(DigimodeSettings.fc_tx));
  DigimodeSettings.fc_tx = static_cast<double>(f);
  const QSignalBlocker block(Ud_Fcenter_Tx);
  Ud_Fcenter_Tx->setValue(std::clamp(f, kMinFreq, kMaxFreq));
}

void TTerminalForm::Chk_AFCClick()
{
  if (UpdateCount > 0) return;
  DigimodeSettings.use_afc = Chk_AFC->isChecked();
}

// ---- RX/TX/OFF ----

void TTerminalForm::Pnl_RxTxOffClick()
{
  DigimodeDllParams& p = g_DigimodeDllParams;
  switch (p.TxState.load()) {
    case 0: Digimode_SwitchRxTx(1); break;
    case 1:
      // No sound output to carry a transmission: the click says why and stays in receive.
      if (Digimode_RefuseTransmitWithoutOutput()) break;
      if (p.TxRequest.load() == 2) Digimode_SwitchRxTx(2);  // a second click forces transmit
      else p.TxRequest.store(2);
      break;
    case 2:
      // The built-in coders end the transmission themselves: one click lets the queued text
      // and the postamble go out, then the engine drops the keyer and shows receive; a second
      // click meanwhile switches at once. A plug-in ends its own transmission on the request
      // and asks for the switch.
      if (!g_DigimodeDllLoaded.load() || p.TxRequest.load() == 1) Digimode_SwitchRxTx(1);
      else p.TxRequest.store(1);
      break;
    default: Digimode_SwitchRxTx(0); break;
  }
}

void TTerminalForm::Shp_RxTxLedMouseDown() { Pnl_RxTxOffClick(); }

// ---- received text ----

void TTerminalForm::AppendRxChar(int c)
{
  c &= 0xFF;
  QTextCursor cur(RichEd_Receive->document());
  cur.movePosition(QTextCursor::End);
  if (c == 8) {
    // The last character goes; a line break counts as one.
    if (TextLength(RichEd_Receive) > 0) cur.deletePreviousChar();
  } else if (c < 32 && c != 13) {
    return;
  } else if (c == 13) {
    cur.insertBlock();
  } else if (c == '0') {
    cur.insertText(QString(QChar(216)), QTextCharFormat());  // a slashed zero
  } else {
    cur.insertText(QString(QChar(c)), QTextCharFormat());
  }
  RichEd_Receive->moveCursor(QTextCursor::End);
  RichEd_Receive->ensureCursorVisible();
}

void TTerminalForm::AddRxLine(const QString& line)
{
  QTextCursor cur(RichEd_Receive->document());
  cur.movePosition(QTextCursor::End);
  if (!cur.block().text().isEmpty()) cur.insertBlock();
  cur.insertText(line, QTextCharFormat());
  cur.insertBlock();
  RichEd_Receive->moveCursor(QTextCursor::End);
  RichEd_Receive->ensureCursorVisible();
}

QString TTerminalForm::ReceivedText() const { return RichEd_Receive->toPlainText(); }

QString TTerminalForm::TransmitText() const { return RichEd_Transmit->toPlainText(); }

QColor TTerminalForm::TransmitTextColour(int pos) const
{
  QTextCursor cur(RichEd_Transmit->document());
  cur.setPosition(pos);
  cur.setPosition(pos + 1, QTextCursor::KeepAnchor);
  const QTextCharFormat f = cur.charFormat();
  return f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : QColor(Qt::black);
}

void TTerminalForm::ShowDigimodeDLLStatus()
{
  AddRxLine(">------- Digimode DLL Info --------");
  if (g_DigimodeDllLoaded.load()) {
    for (int i = 0; i < 3; ++i)
      AddRxLine("> " + QString::fromLocal8Bit(Digimode_GetDllParamString(i)));
  } else {
    AddRxLine("> No digimode DLL loaded.");
  }
}

// ---- transmit text ----

bool TTerminalForm::PutTxChar(int c)
{
  if (DigimodeSettings.OperMode == DIGIMODE_OPMODE_HELL) return Img_HellTx->PutTxChar(c & 0xFF);
  if (Digimode_IsTxBufferFull()) return false;
  Digimode_PutTxChar(c & 0xFF);
  return true;
}

bool TTerminalForm::IsTxBufferFull()
{
  if (DigimodeSettings.OperMode == DIGIMODE_OPMODE_HELL) return Img_HellTx->IsTxBufferFull();
  return Digimode_IsTxBufferFull();
}

// One character of the transmit text: Latin-1 as it is, others as '?', a line break as CR LF
// (a blank in the Hellschreiber image). The ring holds 7 characters and reports full at 6, so
// after a CR accepted into a ring that was not full the LF always fits too.
bool TTerminalForm::PutTxTextChar(QChar ch)
{
  if (IsLineBreak(ch)) {
    if (DigimodeSettings.OperMode == DIGIMODE_OPMODE_HELL) return PutTxChar(' ');
    if (!PutTxChar(13)) return false;
    Digimode_PutTxChar(10);
    return true;
  }
  const int c = ch.unicode() <= 0xFF ? ch.unicode() : '?';
  return PutTxChar(c);
}

void TTerminalForm::ClearTxBuffers() { ClearHellTxImage(); }

void TTerminalForm::ColourTxRange(int from, int to, const QColor& c)
{
  if (to <= from) return;
  m_Colouring = true;
  QTextCursor cur(RichEd_Transmit->document());
  cur.setPosition(from);
  cur.setPosition(to, QTextCursor::KeepAnchor);
  QTextCharFormat f;
  f.setForeground(c);
  cur.mergeCharFormat(f);
  m_Colouring = false;
}

// Typed or loaded text is black whatever its neighbours are (only sent text is red).
void TTerminalForm::TxContentsChange(int pos, int removed, int added)
{
  (void)removed;
  if (m_Colouring || added <= 0) return;
  const int end = std::min(pos + added, TextLength(RichEd_Transmit));
  // A format change reports as removed == added over the same range; recolouring it black
  // would undo the red marking, so only real insertions are handled (the guard covers ours).
  ColourTxRange(pos, end, Qt::black);
}

void TTerminalForm::FeedTxText()
{
  const int len = TextLength(RichEd_Transmit);
  const int p0 = TxPosition;
  while (!IsTxBufferFull() && PendingBackspaces > 0) {
    --PendingBackspaces;
    PutTxChar(8);
  }
  if (IsTxBufferFull()) return;
  if (TxPosition >= len) {
    TxPosition = len;
    return;
  }
  QTextDocument* doc = RichEd_Transmit->document();
  bool refused = false;
  while (!refused && TxPosition < len && !IsTxBufferFull()) {
    for (int k = 0; k < 2 && TxPosition < len; ++k) {
      if (!PutTxTextChar(doc->characterAt(TxPosition))) {
        refused = true;  // stays for the next tick
        break;
      }
      ++TxPosition;
    }
  }
  ColourTxRange(std::max(0, p0), TxPosition, ColorRefToQColor(kRed));
  // Text typed at the end comes out black.
  QTextCursor ed = RichEd_Transmit->textCursor();
  if (!ed.hasSelection() && ed.position() >= TxPosition) {
    QTextCharFormat f = RichEd_Transmit->currentCharFormat();
    f.setForeground(QColor(Qt::black));
    RichEd_Transmit->setCurrentCharFormat(f);
  }
}

void TTerminalForm::ResetTxTextColour()
{
  ColourTxRange(0, TextLength(RichEd_Transmit), Qt::black);
}

void TTerminalForm::RichEd_TransmitKeyDown(int key)
{
  if (key != Qt::Key_Backspace) return;
  const int len = TextLength(RichEd_Transmit);
  if (len > 0 && len - 1 < TxPosition) {
    ++PendingBackspaces;
    --TxPosition;
  }
}

void TTerminalForm::ClearTxBufferClick()
{
  ResetTxTextColour();
  ClearTxBuffers();
}

void TTerminalForm::SetTxPosToCursorClick()
{
  TxPosition = RichEd_Transmit->textCursor().selectionStart();
  ResetTxTextColour();
}

// ---- tuning scope and Hellschreiber image ----

void TTerminalForm::DrawTuningScope()
{
  if (DrawTuningScopeImage(m_ScopeImage, UpdateCount))
    Img_TuningScope->setPixmap(QPixmap::fromImage(m_ScopeImage));
}

void TTerminalForm::Pop_TuningScopePopup()
{
  const int mode = DigimodeSettings.ScopeMode;
  Pop_ScopeXY->setChecked(mode == 1);
  Pop_ScopeUt->setChecked(mode == 2);
  Pop_ScopePhaseVectors->setChecked(mode == 3);
  Pop_ScopePhaseTime->setChecked(mode == 4);
}

void TTerminalForm::ScopeModeClick(int mode) { DigimodeSettings.ScopeMode = mode; }

void TTerminalForm::Pop_ScopeHelpClick() { ShowHelpContext(HELP_CONTEXT_SCOPE); }

void TTerminalForm::PrepareHellFont() { Img_HellTx->PrepareHellFont(); }

void TTerminalForm::ClearHellTxImage() { Img_HellTx->ClearHellTxImage(); }

void TTerminalForm::SendHellColumns() { Img_HellTx->SendHellColumns(); }

void TTerminalForm::SelectHELLfontClick()
{
  QFontDialog dlg(Img_HellTx->HellQFont(), this);
  if (ExecDialog(&dlg) != QDialog::Accepted) return;
  Img_HellTx->SetHellQFont(dlg.currentFont());
  PrepareHellFont();
}

// ---- files ----

void TTerminalForm::LoadTxText1Click()
{
  QString name = TxFileName;
  if (!AskFileName(this, false, "Load text into Tx window", "Text files (*.txt *.TXT)", name,
                   "TXT", HELP_CONTEXT))
    return;
  TxFileName = name;
  // Through the bounded reader: a FIFO, a device or a huge file is refused, nothing waits.
  std::string bytes, why;
  if (ReadBoundedFile(QFile::encodeName(QFileInfo(name).absoluteFilePath()).toStdString(), bytes,
                      &why) != BoundedReadResult::Read) {
    ShowMessage(QFile::decodeName(QByteArray::fromStdString(why)));
    return;  // the transmit text stays as it was
  }
  // UTF-8 when the file is valid UTF-8, otherwise Latin-1 (the bytes this station sends).
  RichEd_Transmit->setPlainText(DecodeTextFile(QByteArray::fromStdString(bytes), nullptr));
  ResetTxTextColour();
}

void TTerminalForm::SaveRxText1Click()
{
  QString name = RxFileName;
  if (!AskFileName(this, true, "Save text from Rx window", "Text files (*.txt *.TXT)", name,
                   "TXT"))
    return;
  RxFileName = name;
  QSaveFile f(name);
  bool ok = f.open(QIODevice::WriteOnly);
  if (ok) {
    QString text = ReceivedText();
    if (!text.isEmpty() && !text.endsWith('\n')) text += '\n';
    ok = f.write(text.toUtf8()) >= 0 && f.commit();
  }
  if (!ok) ShowMessage("Could not write " + name + ":\r\n" + f.errorString());
}

void TTerminalForm::ShowMessage(const QString& text)
{
  QMessageBox box(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
  ExecDialog(&box);
}

// ---- other menu items ----

void TTerminalForm::Menu_CloseClick()
{
  SaveSettings(kSettingsFile);
  Digimode_Exit();
  SndConfig.DigimodeActive = 0;
  close();
  g_DigimodeReady.store(false);
  Initialised = 0;
}

void TTerminalForm::Menu_DigimodeConfigurationClick()
{
  const bool wasLoaded = g_DigimodeDllLoaded.load();
  const std::string oldName(DigimodeSettings.name, strnlen(DigimodeSettings.name, kDigimodeDllNameSize));
  int result = QDialog::Rejected;
  if (TerminalDialog) {
    result = ExecDialog(TerminalDialog);
  } else {
    TTerminalDialog dlg(this);
    result = ExecDialog(&dlg);
  }
  if (result == QDialog::Accepted) SaveSettings(kSettingsFile);
  Digimode_SetMode(DigimodeSettings.OperMode);
  Digimode_SetDecoderFreq(DigimodeSettings.fc_rx);
  const std::string newName(DigimodeSettings.name, strnlen(DigimodeSettings.name, kDigimodeDllNameSize));
  if (g_DigimodeDllLoaded.load() && result == QDialog::Accepted && (!wasLoaded || newName != oldName))
    ShowDigimodeDLLStatus();
}

void TTerminalForm::About1Click()
{
  ShowMessage("Digimode Terminal\r\nPSK31, Hellschreiber and mode plug-ins");
}

void TTerminalForm::Index1Click() { ShowHelpContext(HELP_CONTEXT); }

void TTerminalForm::DebugInfo1Click()
{
  const DigimodeDllParams& p = g_DigimodeDllParams;
  QString s;
  if (g_pPSKDet) {
    s = "\r\nInternal ADC sample rate: " +
        QString::fromStdString(FormatFloat("##000.0", p.InputSampleRate)) +
        "\r\nInternal DAC sample rate: " +
        QString::fromStdString(FormatFloat("##000.0", p.OutputSampleRate));
    s += QString("\r\nPSK decimation scheme : %1*%2*%3")
             .arg(g_pPSKDet->DecimationFactor(0))
             .arg(g_pPSKDet->DecimationFactor(1))
             .arg(g_pPSKDet->DecimationFactor(2));
    s += QString("\r\nOversampling factor : %1").arg(g_pPSKDet->SamplesPerSymbol());
  } else {
    s = "PSK detector not initialized";
  }
  ShowMessage(s);
}
