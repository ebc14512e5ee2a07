#pragma once
// Text drawn at an angle, for every window's canvas (axis captions, time labels).
#include <QString>

class QPainter;

// Draws text turned by angle degrees counter-clockwise about its reference point (x, y), the
// top left corner of the text (as unrotated text drawn at (x, y) would stand), in the
// painter's font at normal weight and with its pen.
void DrawRotatedText(QPainter& canvas, const QString& text, int x, double angle, int y);
