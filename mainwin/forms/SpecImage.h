#pragma once
// A picture area of the main window (the spectrum graph, the frequency scale, the waterfall,
// the colour bar and its dB scale): it shows its Picture, a 32-bit image that the display code
// draws into, and reports mouse events through callbacks (markers and read-outs hook in there).
#include <QGroupBox>
#include <QImage>
#include <QWidget>
#include <functional>

class TSpecImage : public QWidget {
  Q_OBJECT
public:
  explicit TSpecImage(const char* name, QWidget* parent = nullptr);

  // Makes Picture w x h pixels (Format_RGB32), keeping what fits of the old one; the rest is
  // filled with `fill` (0x00BBGGRR). Nothing when the size is already right.
  void SetPictureSize(int w, int h, uint32_t fill = 0);

  QImage Picture;
  // Mouse callbacks (x, y in the picture; button as Qt::MouseButton). OnClick: the left
  // button released over the image.
  std::function<void(int x, int y, int button)> OnMouseDown, OnMouseUp;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void()> OnClick, OnDblClick;
  // The buttons held during the last mouse move (Qt::MouseButtons as int), for drag handlers.
  int MoveButtons = 0;

protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
};

// A frequency marker's image over the frequency scale (16 x 16 pixels): transparent around
// its mark, so the scale shows through; mouse callbacks as TSpecImage's.
class TMarkerImage : public TSpecImage {
  Q_OBJECT
public:
  // index: 0..2, chooses the colour and the number drawn.
  TMarkerImage(const char* name, int index, QWidget* parent = nullptr);
  // The number drawn in the diamond: 1..3 for index 0..2, as the scale's pop-up menu ("Set
  // Marker 1"), the configuration dialog's marker grid and the messages count the markers.
  QString Label() const;

protected:
  void paintEvent(QPaintEvent* e) override;

private:
  int m_Index;
};

// The group box Grp_Spectra: reports its resizes (the main window re-arranges the areas).
class TSpecGroup : public QGroupBox {
  Q_OBJECT
public:
  using QGroupBox::QGroupBox;
  std::function<void()> OnResize;

protected:
  void resizeEvent(QResizeEvent* e) override;
};
