// The Hellschreiber transmit image: drawing text into the bitmap and handing its columns over.
#include "digimode/forms/HellTxImage.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

#include "digimode/DigimodeShared.h"

namespace {

constexpr int kInitialWidth = 341;
constexpr int kInitialHeight = 24;
constexpr int kMinRows = 8;
constexpr int kMaxRows = kHellColumnPixels;
constexpr int kDrawMargin = 32;  // a character is drawn only with more room than this
constexpr int kFullMargin = 64;  // the feeder stops with less room than this

// Pixel size of a font however it was given (pixels or points).
int PixelSizeOf(const QFont& f)
{
  if (f.pixelSize() > 0) return f.pixelSize();
  return QFontInfo(f).pixelSize();
}

}  // namespace

THellTxImage::THellTxImage(QWidget* parent) : QWidget(parent)
{
  setObjectName("Img_HellTx");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  resize(kInitialWidth, kInitialHeight);
  setMinimumHeight(kInitialHeight);
  setMaximumHeight(kInitialHeight);
  // 8-pixel characters; where Courier New is missing the monospace fallback serves.
  m_Font.setFamily("Courier New");
  m_Font.setStyleHint(QFont::TypeWriter);
  m_Font.setPixelSize(8);
  // Pixels are either lit or dark, as a receiving station prints them.
  m_Font.setStyleStrategy(QFont::NoAntialias);
  ClearHellTxImage();
}

void THellTxImage::ClearHellTxImage()
{
  m_Bitmap = QImage(std::max(1, width()), std::max(1, height()), QImage::Format_RGB32);
  m_Bitmap.fill(Qt::black);
  m_WritePos = 0;
  update();
}

void THellTxImage::PrepareHellFont()
{
  const QFontMetrics fm(m_Font);
  int h = 0;
  if (fm.height() > 0) {
    const int leading = std::max(0, fm.height() - PixelSizeOf(m_Font));
    h = fm.height() + leading;
  } else {
    h = std::abs(PixelSizeOf(m_Font));
  }
  m_HeightText = QString("h=%1").arg(h);
  if (m_HeightLabel) m_HeightLabel->setText(m_HeightText);
  h = std::clamp(h, kMinRows, kMaxRows);
  setMinimumHeight(h);
  setMaximumHeight(h);
  resize(width(), h);
  if (m_Bitmap.height() != h) {
    QImage resized(m_Bitmap.width(), h, QImage::Format_RGB32);
    resized.fill(Qt::black);
    QPainter p(&resized);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, m_Bitmap);
    p.end();
    m_Bitmap = resized;
  }
  update();
}

bool THellTxImage::PutTxChar(int unicode)
{
  if (m_Bitmap.width() <= m_WritePos + kDrawMargin) return false;
  const char32_t code = static_cast<char32_t>(unicode);
  const QString text = QString::fromUcs4(&code, 1);
  const QFontMetrics fm(m_Font);
  const int advance = std::max(0, fm.horizontalAdvance(text));
  const int top = DigimodeSettings.cut_top;
  QPainter p(&m_Bitmap);
  p.setFont(m_Font);
  // Opaque on the black brush: the character's cell is cleared first.
  p.fillRect(QRect(m_WritePos, top, advance, fm.height()), Qt::black);
  p.setPen(Qt::white);
  p.drawText(QPoint(m_WritePos, top + fm.ascent()), text);
  p.end();
  m_WritePos = std::min(m_WritePos + advance, m_Bitmap.width());
  update();
  return true;
}

bool THellTxImage::IsTxBufferFull() const { return m_Bitmap.width() <= m_WritePos + kFullMargin; }

void THellTxImage::SendHellColumns()
{
  int attempts = g_HellColumnRing.Head.load() - g_HellColumnRing.Tail.load();
  if (attempts <= 0) attempts += kHellColumnRingSize;
  if (m_Bitmap.format() != QImage::Format_RGB32) m_Bitmap = m_Bitmap.convertToFormat(QImage::Format_RGB32);
  bool moved = false;
  while (m_WritePos >= 1 && attempts >= 1) {
    HellColumn column{};
    column.PixelCount = std::min(m_Bitmap.height(), kHellColumnPixels);
    for (int y = 0; y < column.PixelCount; ++y) {
      const QRgb c = m_Bitmap.pixel(0, y);
      column.Pixel[y] = (qRed(c) + qGreen(c) + qBlue(c)) / 765.0;
    }
    if (!Digimode_PutHellColumn(&column)) break;
    // One pixel to the left; the rightmost column keeps its content.
    const int w = m_Bitmap.width();
    for (int y = 0; y < m_Bitmap.height(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(m_Bitmap.scanLine(y));
      std::copy(line + 1, line + w, line);
    }
    m_WritePos = std::max(0, m_WritePos - 1);
    --attempts;
    moved = true;
  }
  if (moved) update();
}

void THellTxImage::SetHellFont(const T_DigimodeHellFont& font)
{
  QFont f = m_Font;
  if (!font.name.empty()) f.setFamily(QString::fromStdString(font.name));
  const int size = HellFontPixelSize(font.height);
  if (size > 0) f.setPixelSize(size);
  f.setBold((font.style & 1) != 0);
  f.setItalic((font.style & 2) != 0);
  f.setUnderline((font.style & 4) != 0);
  m_Font = f;
}

T_DigimodeHellFont THellTxImage::HellFont() const
{
  T_DigimodeHellFont f;
  f.name = m_Font.family().toStdString();
  f.height = -PixelSizeOf(m_Font);
  f.style = (m_Font.bold() ? 1 : 0) | (m_Font.italic() ? 2 : 0) | (m_Font.underline() ? 4 : 0);
  return f;
}

void THellTxImage::SetHellQFont(const QFont& font)
{
  m_Font = font;
  m_Font.setStyleStrategy(QFont::NoAntialias);
}

void THellTxImage::SetWritePosition(int x) { m_WritePos = std::clamp(x, 0, m_Bitmap.width()); }

void THellTxImage::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  p.fillRect(rect(), Qt::black);
  p.drawImage(0, 0, m_Bitmap);
}
