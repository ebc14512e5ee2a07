#include "engine/forms/RotatedText.h"

#include <QFontMetrics>
#include <QPainter>

void DrawRotatedText(QPainter& canvas, const QString& text, int x, double angle, int y)
{
  canvas.save();
  QFont font = canvas.font();
  font.setWeight(QFont::Normal);
  canvas.setFont(font);
  canvas.translate(x, y);
  canvas.rotate(-angle);  // Qt turns clockwise for positive angles
  canvas.drawText(0, QFontMetrics(font).ascent(), text);
  canvas.restore();
}
