#pragma once
// Drawing helpers shared by the windows: the one conversion between the program's colour
// values 0x00BBGGRR (red in the lowest byte, as stored in the settings) and Qt colours, and
// text drawn at an angle.
#include <QColor>
#include <QString>
#include <cstdint>

class QPainter;

inline QColor ColorRefToQColor(uint32_t c)
{
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                static_cast<int>((c >> 16) & 0xFF));
}

inline uint32_t QColorToColorRef(const QColor& c)
{
  return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
         (static_cast<uint32_t>(c.blue()) << 16);
}

// Draws text turned by angle degrees counter-clockwise about its reference point (x, y), the
// top left corner of the text (as unrotated text drawn at (x, y) would stand), in the
// painter's font at normal weight and with its pen.
void DrawRotatedText(QPainter& canvas, const QString& text, int x, double angle, int y);
