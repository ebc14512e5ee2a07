#include "imaging/forms/QtWinBmp.h"

#include <QPainter>

#include <cstring>

void CreateFromQImage(CWinBmp& bmp, const QImage& image)
{
  if (image.isNull()) {
    bmp.Create(0, 0, 32, 0);
    return;
  }
  // RGB32 is 0xffRRGGBB per pixel: in memory blue, green, red, 255, the bitmap's layout.
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  bmp.Create(rgb.width(), rgb.height(), 32, 0);
  uint8_t** lines = bmp.GetLineArray();
  for (int y = 0; y < rgb.height(); ++y) {
    const uchar* src = rgb.constScanLine(y);
    uint8_t* dst = lines[y];
    std::memcpy(dst, src, static_cast<size_t>(rgb.width()) * 4);
    for (int x = 0; x < rgb.width(); ++x) dst[4 * x + 3] = 255;
  }
}

QImage WinBmpToQImage(const CWinBmp& bmp)
{
  const int w = bmp.GetWidth();
  const int h = bmp.GetHeight();
  if (w <= 0 || h <= 0 || !bmp.GetLineArray()) return QImage();
  QImage img(w, h, QImage::Format_RGB32);
  if (img.isNull()) return img;
  const int bpp = bmp.GetBitsPerPixel();
  const PaletteEntry* pal = bmp.GetPalette();
  uint8_t** lines = bmp.GetLineArray();
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = lines[y];
    uint8_t* dst = img.scanLine(y);
    for (int x = 0; x < w; ++x, dst += 4) {
      if (bpp == 32) {
        std::memcpy(dst, src + 4 * x, 3);
      } else {
        unsigned index;
        if (bpp == 8) index = src[x];
        else if (bpp == 4) index = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
        else index = (src[x >> 3] >> (7 - (x & 7))) & 1;
        dst[0] = pal[index].Blue;
        dst[1] = pal[index].Green;
        dst[2] = pal[index].Red;
      }
      dst[3] = 255;
    }
  }
  return img;
}

void DrawWinBmp(QPainter& painter, int x, int y, const CWinBmp& bmp)
{
  painter.drawImage(QPoint(x, y), WinBmpToQImage(bmp));
}

void DrawWinBmpScaled(QPainter& painter, int x, int y, double factor, const CWinBmp& bmp)
{
  StretchDrawWinBmp(painter, x, y, static_cast<int>(bmp.GetWidth() * factor),
                    static_cast<int>(bmp.GetHeight() * factor), bmp);
}

void StretchDrawWinBmp(QPainter& painter, int x, int y, int w, int h, const CWinBmp& bmp)
{
  painter.drawImage(QRect(x, y, w, h), WinBmpToQImage(bmp));
}

void DrawWinBmpExtract(QPainter& painter, int x, int y, const QRect& source, const CWinBmp& bmp)
{
  painter.drawImage(QPoint(x, y), WinBmpToQImage(bmp), source);
}
