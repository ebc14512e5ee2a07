// The main window's colour-palette commands: load and save palette files, edit the palette in
// the palette editor (from the menu or a double click on the colour bar).
#include <QDialog>

#include "engine/forms/DialogHooks.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/forms/PaletteEditor.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"

namespace {

const QString kPaletteFilter = "Color Palettes (*.pal *.PAL)";

}  // namespace

void TSndMainForm::ApplyBasePalette()
{
  CalcWaterfallPalette();
  RealizePalettes();
  DrawColorBar();
  RestartWaterfallRedraw();
}

void TSndMainForm::LoadColorPalette1Click()
{
  QString name;
  if (!AskFileName(this, false, "Load Color Palette", kPaletteFilter, name, "pal")) return;
  LoadPaletteFromIniFile(name.toLocal8Bit().toStdString(), g_ColorPalette);
  ApplyBasePalette();
}

void TSndMainForm::SaveColorPalette1Click()
{
  QString name;
  if (!AskFileName(this, true, "Save Color Palette", kPaletteFilter, name, "pal")) return;
  if (!SavePaletteToIniFile(name.toLocal8Bit().toStdString(), g_ColorPalette))
    ShowMessage("Unable to write the color palette to " + name);
}

void TSndMainForm::EditColorPalette1Click()
{
  if (!PaletteEditorForm) return;
  PaletteEditorForm->Palette = g_ColorPalette;
  if (ExecDialog(PaletteEditorForm) != QDialog::Accepted) return;
  g_ColorPalette = PaletteEditorForm->Palette;
  ApplyBasePalette();
}

void TSndMainForm::Img_ColorLegendDblClick() { EditColorPalette1Click(); }
