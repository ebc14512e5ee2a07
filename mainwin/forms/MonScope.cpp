// The monitor scopes.
#include "mainwin/forms/MonScope.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/DebugU1.h"
#include "engine/SettingsFileNames.h"
#include "engine/forms/FormPlacement.h"
#include "mainwin/forms/HelpBrowser.h"
#include "mainwin/forms/Zub_graf.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"

TMonitorScope* MonitorScope = nullptr;
TMonitorScope* OutputScope = nullptr;

namespace {

constexpr uint32_t kTraceColour = 0x00FF00;  // green
constexpr uint32_t kClipColour = 0x0000FF;   // red
constexpr int kClipDistance = 20000;

// An edit with an up-down beside it: the edit holds the text that counts, the up-down steps it.
QSpinBox* MakeUpDown(QLineEdit* edit, int lo, int hi, const char* name, const QString& hint)
{
  auto* ud = new QSpinBox;
  ud->setObjectName(name);
  ud->setRange(lo, hi);
  ud->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  ud->setFixedWidth(18);
  ud->setToolTip(hint);
  edit->setToolTip(hint);
  QObject::connect(ud, &QSpinBox::valueChanged, edit,
                   [edit](int v) { edit->setText(QString::number(v)); });
  QObject::connect(edit, &QLineEdit::textChanged, ud, [ud](const QString& t) {
    bool ok;
    int v = t.toInt(&ok);
    if (ok && v >= ud->minimum() && v <= ud->maximum()) {
      QSignalBlocker block(ud);
      ud->setValue(v);
    }
  });
  return ud;
}

}  // namespace

TMonitorScope::TMonitorScope(const QString& name, ScopeChannel channel, QWidget* parent)
    : QWidget(parent, Qt::Window), m_section(name.toStdString()), m_channel(channel)
{
  setObjectName(name);
  setWindowTitle("Monitor Scope");
  setWindowFlag(Qt::WindowStaysOnTopHint, true);  // the design style is stay-on-top
  resize(280, 200);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(2, 2, 2, 2);
  Img_InputScope = new QLabel;
  Img_InputScope->setObjectName("Img_InputScope");
  Img_InputScope->setMinimumSize(64, 64);
  Img_InputScope->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  Img_InputScope->setAttribute(Qt::WA_TransparentForMouseEvents);  // takes no input
  outer->addWidget(Img_InputScope, 1);

  auto* row = new QHBoxLayout;
  Ed_YAmpl = new QLineEdit("1");
  Ed_YAmpl->setObjectName("Ed_YAmpl");
  Ed_YAmpl->setMaximumWidth(50);
  UD_YAmpl = MakeUpDown(Ed_YAmpl, 1, 100, "UD_YAmpl", "Vertical magnification (amplitude)");
  Ed_Timebase = new QLineEdit("1");
  Ed_Timebase->setObjectName("Ed_Timebase");
  Ed_Timebase->setMaximumWidth(50);
  UD_Timebase =
      MakeUpDown(Ed_Timebase, 1, 10, "UD_Timebase", "Horizontal magnification (timebase)");
  row->addWidget(new QLabel("Vmag"));
  row->addWidget(Ed_YAmpl);
  row->addWidget(UD_YAmpl);
  row->addSpacing(8);
  row->addWidget(new QLabel("Hmag"));
  row->addWidget(Ed_Timebase);
  row->addWidget(UD_Timebase);
  row->addStretch(1);
  outer->addLayout(row);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Menu_StayOnTop = PopupMenu1->addAction("Stay on top");
  Menu_StayOnTop->setObjectName("Menu_StayOnTop");
  Menu_StayOnTop->setCheckable(true);
  Menu_Trigger = PopupMenu1->addAction("Trigger");
  Menu_Trigger->setObjectName("Menu_Trigger");
  Menu_Trigger->setCheckable(true);
  Menu_Help = PopupMenu1->addAction("Help");
  Menu_Help->setObjectName("Menu_Help");
  connect(Menu_StayOnTop, &QAction::triggered, this, &TMonitorScope::Menu_StayOnTopClick);
  connect(Menu_Trigger, &QAction::triggered, this, &TMonitorScope::Menu_TriggerClick);
  connect(Menu_Help, &QAction::triggered, this, &TMonitorScope::Menu_HelpClick);
  setProperty("HelpContext", HelpContext);

  FormCreate();
}

void TMonitorScope::FormCreate()
{
  AppendInstanceSuffix(this);
  IniFile ini(UserSettingsFullPath());
  ReadFormBounds(this, ini, m_section, false);
  const bool visible = ini.ReadInteger(m_section, "Visible", isVisible() ? 1 : 0) != 0;
  Ed_YAmpl->setText(QString::fromStdString(ini.ReadString(m_section, "YMagnify", "1")));
  Ed_Timebase->setText(QString::fromStdString(ini.ReadString(m_section, "XMagnify", "1")));
  Menu_Trigger->setChecked(ini.ReadInteger(m_section, "Trigger", 1) != 0);
  SetFormStyle(this, ini.ReadInteger(m_section, "FormStyle", GetFormStyle(this)));
  Menu_StayOnTop->setChecked(GetFormStyle(this) == FORM_STYLE_STAY_ON_TOP);
  Picture = QImage(std::max(Img_InputScope->width(), 64), std::max(Img_InputScope->height(), 64),
                   QImage::Format_RGB32);
  Picture.fill(Qt::black);
  Img_InputScope->setPixmap(QPixmap::fromImage(Picture));
  if (visible) show();
}

void TMonitorScope::FormClose()
{
  try {
    IniFile ini(UserSettingsFullPath());
    WriteFormBounds(this, ini, m_section, false);
    ini.WriteInteger(m_section, "FormStyle", GetFormStyle(this));
    ini.WriteInteger(m_section, "Visible", isVisible() ? 1 : 0);
    ini.WriteString(m_section, "YMagnify", Ed_YAmpl->text().toStdString());
    ini.WriteString(m_section, "XMagnify", Ed_Timebase->text().toStdString());
    ini.WriteInteger(m_section, "Trigger", Menu_Trigger->isChecked() ? 1 : 0);
    ini.UpdateFile();
  } catch (const EIniFileError& e) {
    DebugPrintf(10, 0, "%s", e.what());
  }
}

void TMonitorScope::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

void TMonitorScope::contextMenuEvent(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

void TMonitorScope::resizeEvent(QResizeEvent* e)
{
  QWidget::resizeEvent(e);
  const QSize s = Img_InputScope->size();
  if (s.width() >= 8 && s.height() >= 8 && s != Picture.size()) {
    Picture = QImage(s, QImage::Format_RGB32);
    Picture.fill(Qt::black);
    Img_InputScope->setPixmap(QPixmap::fromImage(Picture));
  }
}

void TMonitorScope::DrawScope(QImage& target, const int16_t* samples, int n)
{
  if (!samples || n < 51 || target.isNull()) return;
  const int W = target.width(), H = target.height();
  QImage bmp(W, H, QImage::Format_RGB32);
  bmp.fill(Qt::black);

  const int64_t M = StrToIntDef(Ed_YAmpl->text().toStdString(), 1);
  const int T = std::clamp(StrToIntDef(Ed_Timebase->text().toStdString(), 1), 1, 10);

  int64_t sum = 0;
  for (int i = 0; i < n; ++i) sum += samples[i];
  const int64_t mean = sum / n;
  const int64_t h = H / 2;
  const int P = std::min(W - 1, n);

  int s = 0;
  if (Menu_Trigger->isChecked()) {
    int prev = 0;
    int i = 0;
    for (; i < n - (W - 1); ++i) {
      if (prev < mean && samples[i] >= mean) break;
      prev = samples[i];
    }
    s = std::max(i, 0);
  }

  QPainter p(&bmp);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(ColorRefToQColor(kTraceColour));
  bool red = false;
  bool first = true;
  QPoint last;
  for (int x = 0; x < P && s < n; x += T) {
    const int64_t d = static_cast<int64_t>(samples[s]) - mean;
    ++s;
    if (!red && (d > kClipDistance || d < -kClipDistance)) {
      red = true;
      p.setPen(ColorRefToQColor(kClipColour));
    }
    // 64-bit: h x d x M overflows 32 bits for tall pictures and large magnifications.
    const int64_t y = std::clamp<int64_t>(h - (h * d * M) / 32768, 0, H - 1);
    const QPoint pt(x, static_cast<int>(y));
    if (!first) p.drawLine(last, pt);
    first = false;
    last = pt;
  }
  p.end();
  target = bmp;
  if (&target == &Picture) Img_InputScope->setPixmap(QPixmap::fromImage(Picture));
}

bool TMonitorScope::FeedFromSoundThread()
{
  CSoundThreadLink& link = SoundThreadLink();
  int count = 0;
  const int16_t* samples = link.ScopeSnapshot(m_channel, &count);
  if (!samples) return false;
  if (isVisible()) DrawScope(Picture, samples, count);
  link.AckScopeSnapshot(m_channel);
  return true;
}

void TMonitorScope::Menu_StayOnTopClick()
{
  const bool onTop = Menu_StayOnTop->isChecked();
  SetFormStyle(this, onTop ? FORM_STYLE_STAY_ON_TOP : FORM_STYLE_NORMAL);
}

void TMonitorScope::Menu_TriggerClick() {}  // the check mark toggles itself

void TMonitorScope::Menu_HelpClick() { HelpBrowser_ShowContext(HelpContext); }
