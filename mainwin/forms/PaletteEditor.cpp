// The palette editor window: layout, placement, the histogram drawing and the mouse edits.
#include "mainwin/forms/PaletteEditor.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/DebugU1.h"
#include "engine/SettingsFileNames.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "mainwin/forms/SpecImage.h"
#include "platform/IniFile.h"

TPaletteEditorForm* PaletteEditorForm = nullptr;

namespace {

constexpr const char* kSection = "PaletteEditorForm";

int Red(uint32_t e) { return int(e & 0xFF); }
int Green(uint32_t e) { return int((e >> 8) & 0xFF); }
int Blue(uint32_t e) { return int((e >> 16) & 0xFF); }

QLabel* ReadOut(QWidget* parent, const char* name)
{
  auto* l = new QLabel("-----", parent);
  l->setObjectName(name);
  l->setMinimumWidth(48);
  return l;
}

// A control of type W with its caption and object name.
template <class W>
W* Named(QWidget* parent, const char* name, const char* caption)
{
  auto* w = new W(caption, parent);
  w->setObjectName(name);
  return w;
}

}  // namespace

TPaletteEditorForm::TPaletteEditorForm(QWidget* parent) : QDialog(parent)
{
  setObjectName("PaletteEditorForm");
  setWindowTitle("Color Palette Editor");

  GRP_Histogram = new QGroupBox("Color Histogram", this);
  GRP_Histogram->setObjectName("GRP_Histogram");
  GRP_Histogram->setMinimumSize(100, 100);
  ScrollBox1 = new QScrollArea(GRP_Histogram);
  ScrollBox1->setObjectName("ScrollBox1");
  Img_Histogram = new TSpecImage("Img_Histogram");
  Img_Histogram->setFixedSize(HistogramWidth, HistogramHeight);
  ScrollBox1->setWidget(Img_Histogram);
  ScrollBox1->setAlignment(Qt::AlignCenter);  // a window made wider keeps it in the middle
  auto* hv = new QVBoxLayout(GRP_Histogram);
  hv->addWidget(ScrollBox1);
  ScrollBox1->setMinimumSize(HistogramWidth + 4, HistogramHeight + 4);

  CHK_Red = Named<QCheckBox>(this, "CHK_Red", "Red");
  CHK_Green = Named<QCheckBox>(this, "CHK_Green", "Green");
  CHK_Blue = Named<QCheckBox>(this, "CHK_Blue", "Blue");
  for (QCheckBox* c : {CHK_Red, CHK_Green, CHK_Blue}) c->setChecked(true);
  LAB_MouseX = ReadOut(this, "LAB_MouseX");
  LAB_MouseY = ReadOut(this, "LAB_MouseY");
  LAB_Red = ReadOut(this, "LAB_Red");
  LAB_Green = ReadOut(this, "LAB_Green");
  LAB_Blue = ReadOut(this, "LAB_Blue");
  Btn_OK = Named<QPushButton>(this, "Btn_OK", "OK");
  Btn_Cancel = Named<QPushButton>(this, "Btn_Cancel", "Cancel");
  Btn_Help = Named<QPushButton>(this, "Btn_Help", "Help");

  auto* row = new QHBoxLayout;
  for (QCheckBox* c : {CHK_Red, CHK_Green, CHK_Blue}) row->addWidget(c);
  row->addSpacing(12);
  row->addWidget(new QLabel("Level:", this));
  row->addWidget(LAB_MouseX);
  row->addWidget(new QLabel("Value:", this));
  row->addWidget(LAB_MouseY);
  row->addWidget(new QLabel("R:", this));
  row->addWidget(LAB_Red);
  row->addWidget(new QLabel("G:", this));
  row->addWidget(LAB_Green);
  row->addWidget(new QLabel("B:", this));
  row->addWidget(LAB_Blue);
  row->addStretch(1);
  // The buttons get a row of their own: in one row with the read-outs they made the window
  // wider than the histogram, which then left an empty strip beside it.
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(Btn_OK);
  buttons->addWidget(Btn_Cancel);
  buttons->addWidget(Btn_Help);
  auto* v = new QVBoxLayout(this);
  v->addWidget(GRP_Histogram, 1);
  v->addLayout(row);
  v->addLayout(buttons);

  Img_Histogram->OnMouseDown = [this](int x, int y, int button) {
    Img_HistogramMouseDown(x, y, button);
  };
  Img_Histogram->OnMouseMove = [this](int x, int y) {
    Img_HistogramMouseMove(x, y, (Img_Histogram->MoveButtons & Qt::LeftButton) != 0);
  };
  connect(Btn_OK, &QPushButton::clicked, this, &TPaletteEditorForm::Btn_OKClick);
  connect(Btn_Cancel, &QPushButton::clicked, this, &TPaletteEditorForm::Btn_CancelClick);
  connect(Btn_Help, &QPushButton::clicked, this, &TPaletteEditorForm::Btn_HelpClick);
  InstallHelpShortcut(this, HelpContext);
  FormCreate();
}

TPaletteEditorForm::~TPaletteEditorForm()
{
  if (PaletteEditorForm == this) PaletteEditorForm = nullptr;
}

void TPaletteEditorForm::FormCreate()
{
  Palette.palVersion = PALETTE_VERSION;
  Palette.palNumEntries = 0;
  for (int i = 0; i < PALETTE_ENTRIES; ++i)
    Palette.entries[i] = uint32_t(i) | uint32_t(i) << 8 | uint32_t(i) << 16;
  AppendInstanceSuffix(this);
}

void TPaletteEditorForm::FormActivate()
{
  IniFile ini(UserSettingsFullPath());
  ReadFormBounds(this, ini, kSection, true);
  Img_Histogram->setFixedSize(HistogramWidth, HistogramHeight);
  Img_Histogram->SetPictureSize(HistogramWidth, HistogramHeight);
  DrawPaletteImage(0, PALETTE_ENTRIES - 1);
}

void TPaletteEditorForm::FormClose()
{
  try {
    IniFile ini(UserSettingsFullPath());
    if (WriteFormBounds(this, ini, kSection, true)) ini.UpdateFile();
  } catch (const EIniFileError& e) {
    DebugPrintf(10, 0, "%s", e.what());
  }
}

int TPaletteEditorForm::BaseLine() const
{
  return std::max(5, Img_Histogram->Picture.height() - 20);
}

void TPaletteEditorForm::DrawPaletteImage(int first, int last)
{
  first = std::max(first, 0);
  last = std::min(last, PALETTE_ENTRIES - 1);
  QImage& picture = Img_Histogram->Picture;
  if (first > last || picture.isNull()) return;
  const int h = picture.height();
  const int base = BaseLine();
  const int w = (last - first + 1) * 3;
  QImage bmp(w, h, QImage::Format_RGB32);
  bmp.fill(Qt::black);
  const QRgb pens[3] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
  for (int ch = 0; ch < 3; ++ch) {
    for (int level = first; level <= last; ++level) {
      const int x = (level - first) * 3 + ch;
      if (x > w - 1 || x > HistogramWidth) break;
      const uint32_t e = Palette.entries[level];
      const int value = ch == 0 ? Red(e) : ch == 1 ? Green(e) : Blue(e);
      // The bar covers `value` rows above the base line, never above row 0.
      for (int y = std::max(0, base - value); y < base && y < h; ++y)
        bmp.setPixel(x, y, pens[ch]);
    }
  }
  for (int level = first; level <= last; ++level) {
    const uint32_t e = Palette.entries[level];
    const QRgb c = qRgb(Red(e), Green(e), Blue(e));
    const int x0 = (level - first) * 3;
    for (int y = base; y < h; ++y)
      for (int dx = 0; dx < 3; ++dx) bmp.setPixel(x0 + dx, y, c);
  }
  QPainter p(&picture);
  p.drawImage(first * 3, 0, bmp);
  p.end();
  Img_Histogram->update();
}

void TPaletteEditorForm::EditPaletteAt(int x, int y)
{
  // Positions left of the image are outside (x / 3 would truncate -1 and -2 to level 0).
  if (x < 0) return;
  const int value = 255 - y;
  const int level = x / 3;
  if (value < 0 || value > 255 || level > PALETTE_ENTRIES - 1) return;
  uint32_t& e = Palette.entries[level];
  const uint32_t old = e;
  const uint32_t v = uint32_t(value);
  if (CHK_Red->isChecked()) e = (e & ~0x0000FFu) | v;
  if (CHK_Green->isChecked()) e = (e & ~0x00FF00u) | v << 8;
  if (CHK_Blue->isChecked()) e = (e & ~0xFF0000u) | v << 16;
  if (e != old) DrawPaletteImage(level, level);
}

void TPaletteEditorForm::Img_HistogramMouseDown(int x, int y, int button)
{
  (void)button;
  EditPaletteAt(x, y);
}

void TPaletteEditorForm::Img_HistogramMouseMove(int x, int y, bool leftHeld)
{
  const int level = std::clamp(x < 0 ? -1 : x / 3, 0, PALETTE_ENTRIES - 1);
  const int value = std::clamp(255 - y, 0, 255);
  LAB_MouseX->setText(QString::number(level));
  LAB_MouseY->setText(QString::number(value));
  if (leftHeld) EditPaletteAt(x, y);
  const uint32_t e = Palette.entries[level];
  LAB_Red->setText(QString::number(Red(e) * 100 / 255) + "%");
  LAB_Green->setText(QString::number(Green(e) * 100 / 255) + "%");
  LAB_Blue->setText(QString::number(Blue(e) * 100 / 255) + "%");
}

void TPaletteEditorForm::Btn_OKClick() { accept(); }
void TPaletteEditorForm::Btn_CancelClick() { reject(); }
void TPaletteEditorForm::Btn_HelpClick() { ShowHelpContext(HelpContext); }

void TPaletteEditorForm::showEvent(QShowEvent* e)
{
  QDialog::showEvent(e);
  FormActivate();
}

void TPaletteEditorForm::done(int result)
{
  FormClose();
  QDialog::done(result);
}
