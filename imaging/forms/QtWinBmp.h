#pragma once
// Qt side of the bitmaps: QImage <-> CWinBmp and drawing with QPainter.
#include "imaging/WinBmp.h"

#include <QImage>
#include <QRect>

class QPainter;

// Fills bmp from a picture of any QImage format (in place of a device bitmap): the result
// is always 32 bpp with alpha 255, so pictures never come out transparent. A null image
// gives a 0 x 0 bitmap. Throws CTextException 10 when the picture is over the size cap.
void CreateFromQImage(CWinBmp& bmp, const QImage& image);

// The picture as a QImage (Format_RGB32, alpha 255); palette bitmaps are expanded through
// their colour table.
QImage WinBmpToQImage(const CWinBmp& bmp);

// Draw: the whole bitmap at (x, y) at its natural size.
void DrawWinBmp(QPainter& painter, int x, int y, const CWinBmp& bmp);
// DrawScaled: width and height times factor, each truncated.
void DrawWinBmpScaled(QPainter& painter, int x, int y, double factor, const CWinBmp& bmp);
// StretchDraw: into the rectangle x, y, w, h.
void StretchDrawWinBmp(QPainter& painter, int x, int y, int w, int h, const CWinBmp& bmp);
// DrawExtract: the part `source` (top-down picture coordinates) at (x, y).
void DrawWinBmpExtract(QPainter& painter, int x, int y, const QRect& source, const CWinBmp& bmp);
