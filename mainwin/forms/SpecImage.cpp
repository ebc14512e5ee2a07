// Picture areas of the main window.
#include "mainwin/forms/SpecImage.h"

#include <QMouseEvent>
#include <QPainter>

#include "mainwin/forms/Zub_graf.h"

TSpecImage::TSpecImage(const char* name, QWidget* parent) : QWidget(parent)
{
  setObjectName(name);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void TSpecImage::SetPictureSize(int w, int h, uint32_t fill)
{
  w = std::max(w, 1);
  h = std::max(h, 1);
  if (Picture.width() == w && Picture.height() == h && Picture.format() == QImage::Format_RGB32)
    return;
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(ColorRefToQColor(fill));
  if (!Picture.isNull()) {
    QPainter p(&img);
    p.drawImage(0, 0, Picture);
  }
  Picture = std::move(img);
}

void TSpecImage::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  if (!Picture.isNull()) p.drawImage(0, 0, Picture);
  const int w = Picture.isNull() ? 0 : Picture.width(), h = Picture.isNull() ? 0 : Picture.height();
  if (w < width()) p.fillRect(w, 0, width() - w, height(), palette().window());
  if (h < height()) p.fillRect(0, h, width(), height() - h, palette().window());
}

void TSpecImage::mousePressEvent(QMouseEvent* e)
{
  if (OnMouseDown) OnMouseDown(e->position().x(), e->position().y(), int(e->button()));
}

void TSpecImage::mouseMoveEvent(QMouseEvent* e)
{
  MoveButtons = int(e->buttons());
  if (OnMouseMove) OnMouseMove(e->position().x(), e->position().y());
}

void TSpecImage::mouseReleaseEvent(QMouseEvent* e)
{
  if (OnMouseUp) OnMouseUp(e->position().x(), e->position().y(), int(e->button()));
  if (OnClick && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
    OnClick();
}

void TSpecImage::mouseDoubleClickEvent(QMouseEvent*)
{
  if (OnDblClick) OnDblClick();
}

TMarkerImage::TMarkerImage(const char* name, int index, QWidget* parent)
    : TSpecImage(name, parent), m_Index(index)
{
  setAttribute(Qt::WA_OpaquePaintEvent, false);  // the parent paints what the mark leaves free
  setAutoFillBackground(false);
  setMouseTracking(false);
  setFixedSize(16, 16);
  setCursor(Qt::PointingHandCursor);
}

void TMarkerImage::paintEvent(QPaintEvent*)
{
  // A diamond in the marker's colour with its number; the corners stay transparent.
  static const QColor kColours[3] = {QColor(255, 64, 64), QColor(64, 200, 64), QColor(80, 120, 255)};
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QPolygon diamond({QPoint(8, 0), QPoint(15, 8), QPoint(8, 15), QPoint(0, 8)});
  p.setPen(Qt::black);
  p.setBrush(kColours[m_Index >= 0 && m_Index < 3 ? m_Index : 0]);
  p.drawPolygon(diamond);
  QFont f = p.font();
  f.setPixelSize(9);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(rect(), Qt::AlignCenter, Label());
}

QString TMarkerImage::Label() const { return QString::number(m_Index + 1); }

void TSpecGroup::resizeEvent(QResizeEvent* e)
{
  QGroupBox::resizeEvent(e);
  if (OnResize) OnResize();
}
