#pragma once
// The window "Second Spectrogram", reserved for a second spectrogram display: it paints a
// placeholder text and a relative-intensity scale into Image1, and repaints both whenever it is
// shown or resized. The colour of Pnl_BackgndColor is the background, its font the scales' font.
// One instance (SecondSpectrogram), created at start; GUI thread only.
#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;
class QScrollBar;
class QTabWidget;
class QWidget;
class TSpecImage;

class TSecondSpectrogram : public QMainWindow {
  Q_OBJECT
public:
  explicit TSecondSpectrogram(QWidget* parent = nullptr);
  ~TSecondSpectrogram() override;

  void PaintPlaceholder();
  void DrawScales();

  void FormShow();
  void FormResize();
  void Menu_ExitClick();

  // The background colour (0x00BBGGRR) held by Pnl_BackgndColor.
  uint32_t BackgndColor() const;
  void SetBackgndColor(uint32_t color);

  TSpecImage* Image1;
  QScrollBar* HorzScroller;
  QScrollBar* VertScroller;
  QTabWidget* PageControl1;
  QWidget* TS_Colors;
  QLabel* Pnl_BackgndColor;
  QMenu* Menu_File;
  QAction* Menu_Exit;
  QMenu* Menu_Mode;

protected:
  void showEvent(QShowEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
};

extern TSecondSpectrogram* SecondSpectrogram;
