// The watch window's diagram widget.
#include "interp/forms/WatchFormPlotImage.h"

#include <QMouseEvent>
#include <QPainter>

TWatchPlotImage::TWatchPlotImage(const QImage* image, QWidget* parent) : QWidget(parent), m_Image(image)
{
  setMouseTracking(true);
  setMinimumSize(60, 40);
}

void TWatchPlotImage::paintEvent(QPaintEvent*)
{
  QPainter p(this);
  if (m_Image && !m_Image->isNull()) p.drawImage(0, 0, *m_Image);
}

void TWatchPlotImage::resizeEvent(QResizeEvent*)
{
  if (OnResized) OnResized();
}

void TWatchPlotImage::mouseMoveEvent(QMouseEvent* event)
{
  if (OnMouseMove) OnMouseMove(event->position().toPoint().x(), event->position().toPoint().y());
}

void TWatchPlotImage::mousePressEvent(QMouseEvent* event)
{
  const QPoint p = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(p.x(), p.y());
  if (OnClick) OnClick(p.x(), p.y());
}
