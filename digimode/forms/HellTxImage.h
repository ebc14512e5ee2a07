#pragma once
// The Hellschreiber transmit image: in operating mode 3 the text to send is drawn with a screen
// font into this small black bitmap (white text) and handed to the engine one pixel column at a
// time through its Hellschreiber ring; the modulator turns the columns into tones. The left
// edge is always the next column to send: after each column the picture moves one pixel left.
// The write position (where the next character is drawn) equals the number of columns still
// to send.
//
// The terminal window embeds the widget as its Img_HellTx control (it stretches with the
// window's width) and gives it its Lab_TxMsg label for the measured font height. GUI thread
// only.
#include <QFont>
#include <QImage>
#include <QWidget>

#include "digimode/DigimodeSettings.h"

class QLabel;

class THellTxImage : public QWidget {
  Q_OBJECT
public:
  explicit THellTxImage(QWidget* parent = nullptr);

  // Bitmap := the control's size, all black; write position 0.
  void ClearHellTxImage();
  // Measures the font: h = height + internal leading (the height minus the font's pixel size,
  // not below 0); the label shows "h=" and h; control and bitmap get h rows, clamped to 8..32
  // (the bitmap keeps its width and content).
  void PrepareHellFont();
  // Draws the character at the write position, row DigimodeSettings.cut_top, when the bitmap
  // is wider than write position + 32, and advances by its width; false (nothing drawn)
  // otherwise.
  bool PutTxChar(int unicode);
  // True when the bitmap width is at most write position + 64.
  bool IsTxBufferFull() const;
  // Hands columns from the left edge to the engine's Hellschreiber ring: as many as the ring
  // holds records (10 attempts when it is empty), while there are columns to send and the
  // ring takes them. Brightness of a pixel = (red + green + blue) / 765.
  void SendHellColumns();

  // The font as section [HELL_FONT] stores it (height negative: character height in pixels).
  void SetHellFont(const T_DigimodeHellFont& font);
  T_DigimodeHellFont HellFont() const;
  // The font as a font dialog gives it (pixel size or point size).
  void SetHellQFont(const QFont& font);
  const QFont& HellQFont() const { return m_Font; }

  // Lab_TxMsg of the terminal: receives "h=" and the measured height.
  void SetHeightLabel(QLabel* label) { m_HeightLabel = label; }
  const QString& HeightText() const { return m_HeightText; }

  int WritePosition() const { return m_WritePos; }
  const QImage& Bitmap() const { return m_Bitmap; }
  // For tests and drawing: the bitmap to paint into (keep its size).
  QImage& Bitmap() { return m_Bitmap; }
  // Sets the write position (0..bitmap width), e.g. after pixels were set directly.
  void SetWritePosition(int x);

protected:
  void paintEvent(QPaintEvent* e) override;

private:
  QImage m_Bitmap;
  QFont m_Font;
  int m_WritePos = 0;
  QLabel* m_HeightLabel = nullptr;
  QString m_HeightText;
};
