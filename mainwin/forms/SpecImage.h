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
  // Mouse callbacks (x, y in the picture; button as Qt::MouseButton).
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

// The group box Grp_Spectra: reports its resizes (the main window re-arranges the areas).
class TSpecGroup : public QGroupBox {
  Q_OBJECT
public:
  using QGroupBox::QGroupBox;
  std::function<void()> OnResize;

protected:
  void resizeEvent(QResizeEvent* e) override;
};
