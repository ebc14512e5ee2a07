#pragma once
// The watch window's diagram: shows the form's diagram bitmap and hands size changes, mouse
// moves and clicks to the form.
#include <QImage>
#include <QWidget>

#include <functional>

class TWatchPlotImage : public QWidget {
public:
  explicit TWatchPlotImage(const QImage* image, QWidget* parent = nullptr);
  std::function<void()> OnResized;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(int x, int y)> OnClick;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

private:
  const QImage* m_Image;
};
