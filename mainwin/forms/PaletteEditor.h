#pragma once
// The window "Color Palette Editor": the red, green and blue curves of the base colour palette
// drawn with the mouse. The histogram shows each of the 256 levels as three bars (red, green,
// blue; one pixel column each, so 768 columns) standing on a base line, over a strip in the
// level's colour. The main window copies g_ColorPalette into Palette, runs the dialog modally
// and on OK copies Palette back. GUI thread only.
#include <QDialog>

#include "mainwin/ColorPalette.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollArea;
class TSpecImage;

class TPaletteEditorForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int HistogramWidth = 3 * PALETTE_ENTRIES;  // 768
  static constexpr int HistogramHeight = 275;
  static constexpr int HelpContext = 500;

  explicit TPaletteEditorForm(QWidget* parent = nullptr);
  ~TPaletteEditorForm() override;

  // The palette being edited (version, count, entries 0x00BBGGRR).
  TColorPalette Palette;

  // Row of the bars' base line: 20 rows above the bottom, at least 5.
  int BaseLine() const;
  // Redraws the histogram for levels first..last (limited to 0..255).
  void DrawPaletteImage(int first, int last);
  // Sets the checked channels of the level under (x, y) to 255 - y; redraws that level.
  void EditPaletteAt(int x, int y);

  void FormCreate();
  void FormActivate();
  void FormClose();
  void Img_HistogramMouseDown(int x, int y, int button);
  void Img_HistogramMouseMove(int x, int y, bool leftHeld);
  void Btn_OKClick();
  void Btn_CancelClick();
  void Btn_HelpClick();

  QGroupBox* GRP_Histogram;
  QScrollArea* ScrollBox1;
  TSpecImage* Img_Histogram;
  QCheckBox* CHK_Red;
  QCheckBox* CHK_Green;
  QCheckBox* CHK_Blue;
  QLabel* LAB_MouseX;
  QLabel* LAB_MouseY;
  QLabel* LAB_Red;
  QLabel* LAB_Green;
  QLabel* LAB_Blue;
  QPushButton* Btn_OK;
  QPushButton* Btn_Cancel;
  QPushButton* Btn_Help;

protected:
  void showEvent(QShowEvent* e) override;
  void done(int result) override;
};

extern TPaletteEditorForm* PaletteEditorForm;
