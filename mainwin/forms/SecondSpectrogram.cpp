// The second spectrogram window: its controls, the placeholder and the scales.
#include "mainwin/forms/SecondSpectrogram.h"

#include <QAction>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "engine/forms/ColorRefQt.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/RotatedText.h"
#include "interp/PlotScale.h"
#include "interp/forms/PlotDraw.h"
#include "mainwin/forms/SpecImage.h"

TSecondSpectrogram* SecondSpectrogram = nullptr;

namespace {

constexpr uint32_t kSilver = 0x00C0C0C0;
constexpr uint32_t kYellow = 0x0000FFFF;  // 0x00BBGGRR

void CopyText(char* dst, size_t size, const QString& text)
{
  const QByteArray b = text.toLatin1();
  std::strncpy(dst, b.constData(), size - 1);
  dst[size - 1] = '\0';
}

}  // namespace

TSecondSpectrogram::TSecondSpectrogram(QWidget* parent) : QMainWindow(parent)
{
  setObjectName("SecondSpectrogram");
  setWindowTitle("Second Spectrogram");
  resize(480, 360);

  Menu_File = menuBar()->addMenu("&File");
  Menu_File->setObjectName("Menu_File");
  Menu_Exit = Menu_File->addAction("E&xit");
  Menu_Exit->setObjectName("Menu_Exit");
  Menu_Mode = menuBar()->addMenu("&Mode");
  Menu_Mode->setObjectName("Menu_Mode");
  connect(Menu_Exit, &QAction::triggered, this, &TSecondSpectrogram::Menu_ExitClick);

  auto* central = new QWidget(this);
  PageControl1 = new QTabWidget(central);
  PageControl1->setObjectName("PageControl1");
  TS_Colors = new QWidget;
  TS_Colors->setObjectName("TS_Colors");
  PageControl1->addTab(TS_Colors, "Color");
  Pnl_BackgndColor = new QLabel("Backgnd", TS_Colors);
  Pnl_BackgndColor->setObjectName("Pnl_BackgndColor");
  Pnl_BackgndColor->setAlignment(Qt::AlignCenter);
  Pnl_BackgndColor->setFrameShape(QFrame::Panel);
  Pnl_BackgndColor->setAutoFillBackground(true);
  QFont font("Arial Narrow");
  font.setPointSize(8);
  Pnl_BackgndColor->setFont(font);
  SetBackgndColor(0);
  auto* pv = new QVBoxLayout(TS_Colors);
  pv->addWidget(Pnl_BackgndColor);
  pv->addStretch(1);
  PageControl1->setFixedWidth(90);

  Image1 = new TSpecImage("Image1", central);
  Image1->setMinimumSize(60, 60);
  HorzScroller = new QScrollBar(Qt::Horizontal, central);
  HorzScroller->setObjectName("HorzScroller");
  VertScroller = new QScrollBar(Qt::Vertical, central);
  VertScroller->setObjectName("VertScroller");
  auto* g = new QGridLayout(central);
  g->setContentsMargins(0, 0, 0, 0);
  g->setSpacing(0);
  g->addWidget(PageControl1, 0, 0, 2, 1);
  g->addWidget(Image1, 0, 1);
  g->addWidget(VertScroller, 0, 2);
  g->addWidget(HorzScroller, 1, 1);
  g->setColumnStretch(1, 1);
  g->setRowStretch(0, 1);
  setCentralWidget(central);
  AppendInstanceSuffix(this);
}

TSecondSpectrogram::~TSecondSpectrogram()
{
  if (SecondSpectrogram == this) SecondSpectrogram = nullptr;
}

uint32_t TSecondSpectrogram::BackgndColor() const
{
  return QColorToColorRef(Pnl_BackgndColor->palette().color(QPalette::Window));
}

void TSecondSpectrogram::SetBackgndColor(uint32_t color)
{
  QPalette pal = Pnl_BackgndColor->palette();
  pal.setColor(QPalette::Window, ColorRefToQColor(color));
  pal.setColor(QPalette::WindowText, ColorRefToQColor(kSilver));
  Pnl_BackgndColor->setPalette(pal);
}

void TSecondSpectrogram::PaintPlaceholder()
{
  Image1->Picture = QImage(std::max(1, Image1->width()), std::max(1, Image1->height()),
                           QImage::Format_RGB32);
  Image1->Picture.fill(ColorRefToQColor(BackgndColor()));
  QPainter p(&Image1->Picture);
  QFont f = p.font();
  f.setPointSize(16);
  p.setFont(f);
  p.setPen(ColorRefToQColor(kYellow));
  DrawRotatedText(p, "Coming soon...  ;-)", 10, -45.0, 10);
  p.end();
  Image1->update();
}

void TSecondSpectrogram::DrawScales()
{
  QImage& bmp = Image1->Picture;
  const int w = bmp.width(), h = bmp.height();
  const QFont font = Pnl_BackgndColor->font();
  T_PlotScale s{};
  CopyText(s.FontName, sizeof s.FontName, font.family());
  s.FontSize = font.pointSize() > 0 ? font.pointSize() : 8;
  // The scales take the scale font's colour: black lines would vanish on the black background.
  s.Color = QColorToColorRef(Pnl_BackgndColor->palette().color(QPalette::WindowText));
  std::strcpy(s.LabelFormat, "##0.# %");
  s.Min = 0.0;
  s.Max = 100.0;

  // One scale in the given box on the given side; its span keeps 8 pixels off both ends.
  const auto drawScale = [&](int left, int top, int right, int bottom, int side,
                             const char* title) {
    s.Left = left;
    s.Top = top;
    s.Right = right;
    s.Bottom = bottom;
    s.Side = side;
    std::strcpy(s.Title, title);
    s.SpanTop = top + 8;
    s.SpanBottom = bottom - 8;
    Plot_DrawVertScale(bmp, s);
  };
  // Intensity scale on the right (style 1), wide enough for its tick, its widest label
  // ("100 %") and the rotated title beside it.
  const QFontMetrics fm(QFont(font.family(), s.FontSize));
  const int scaleWidth = std::max(50, 8 + 2 + fm.horizontalAdvance("100 %") + fm.height() + 4);
  drawScale(w - scaleWidth, 0, w - 1, h - 1, 1, "Relative Intensity");
  // Frequency scale at the bottom (style 3): the scale function draws only styles 0 and 1, so
  // this leaves the picture as it is until a horizontal scale exists.
  drawScale(0, h - 50, w - scaleWidth, h - 1, 3, "Frequency");
  Image1->update();
}

void TSecondSpectrogram::FormShow()
{
  PaintPlaceholder();
  DrawScales();
}

void TSecondSpectrogram::FormResize()
{
  PaintPlaceholder();
  DrawScales();
}

void TSecondSpectrogram::Menu_ExitClick() { close(); }

void TSecondSpectrogram::showEvent(QShowEvent* e)
{
  QMainWindow::showEvent(e);
  FormShow();
}

void TSecondSpectrogram::resizeEvent(QResizeEvent* e)
{
  QMainWindow::resizeEvent(e);
  if (isVisible()) FormResize();
}
