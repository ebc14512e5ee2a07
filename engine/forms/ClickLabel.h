#pragma once
// A label that reports clicks (status labels that reset something when clicked).
#include <QLabel>
#include <QMouseEvent>

class TClickLabel : public QLabel {
  Q_OBJECT
public:
  using QLabel::QLabel;
signals:
  void clicked();

protected:
  void mousePressEvent(QMouseEvent* e) override
  {
    if (e->button() == Qt::LeftButton) emit clicked();
    QLabel::mousePressEvent(e);
  }
};
