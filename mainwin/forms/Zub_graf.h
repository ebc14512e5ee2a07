#pragma once
// Drawing helpers shared by the windows: text drawn at an angle (the colour conversion lives
// in engine/forms/ColorRefQt.h, below every window).
#include "engine/forms/ColorRefQt.h"
#include <QColor>
#include <QString>
#include <cstdint>

class QPainter;

// Draws text turned by angle degrees counter-clockwise about its reference point (x, y), the
// top left corner of the text (as unrotated text drawn at (x, y) would stand), in the
// painter's font at normal weight and with its pen.
void DrawRotatedText(QPainter& canvas, const QString& text, int x, double angle, int y);
