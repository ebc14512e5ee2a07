// TConfigDlg: the colour panels and the reference spectrum page.
#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <cstring>

#include "control/forms/ConfigDlg.h"
#include "control/forms/RefSpectrumDialogs.h"
#include "engine/SndConfig.h"
#include "engine/forms/ClickLabel.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "interp/CliSpectrum.h"

void TConfigDlg::SetColorPanel(QLabel* panel, uint32_t colour)
{
  // The exact value is kept beside the look, so Apply stores what was shown or picked.
  panel->setProperty("colorRef", static_cast<qulonglong>(colour));
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, ColorRefToQColor(colour));
  pal.setColor(QPalette::WindowText, ColorRefToQColor(GetContrastColor(colour)));
  panel->setPalette(pal);
}

uint32_t TConfigDlg::PanelColor(const QLabel* panel)
{
  return static_cast<uint32_t>(panel->property("colorRef").toULongLong());
}

void TConfigDlg::PickPanelColor(QLabel* panel)
{
  QColor chosen;
  const bool ok = RunOwnDialog([&] {
    QColorDialog dlg(ColorRefToQColor(PanelColor(panel)), this);
    if (ExecDialog(&dlg) != QDialog::Accepted) return false;
    chosen = dlg.currentColor();
    return chosen.isValid();
  });
  if (ok) SetColorPanel(panel, QColorToColorRef(chosen));
}

void TConfigDlg::Btn_DefineRefClick()
{
  std::memcpy(&g_ReferenceSpectrum, &g_LatestSpectrum, sizeof g_ReferenceSpectrum);
}

void TConfigDlg::Btn_LoadSpectrumRefClick()
{
  TRefFileResult r = TRefFileResult::Cancelled;
  RunOwnDialog([&] {
    r = LoadReferenceSpectrumDialog(this);
    return true;
  });
  if (r == TRefFileResult::Cancelled) return;
  if (r == TRefFileResult::NameTooLong) {
    AddMessage(RefFileResultMessage(r, false));
    return;
  }
  Ed_SpecRefFilename->setText(QString::fromLocal8Bit(SndConfig.SpectrumRefFileName));
  if (r == TRefFileResult::Done)
    Chk_RefVisible->setChecked(true);
  else
    AddMessage(RefFileResultMessage(r, false));
}

void TConfigDlg::Btn_SaveSpectrumRefClick()
{
  TRefFileResult r = TRefFileResult::Cancelled;
  RunOwnDialog([&] {
    r = SaveReferenceSpectrumDialog(this);
    return true;
  });
  if (r == TRefFileResult::Cancelled) return;
  if (r != TRefFileResult::NameTooLong)
    Ed_SpecRefFilename->setText(QString::fromLocal8Bit(SndConfig.SpectrumRefFileName));
  if (r != TRefFileResult::Done) AddMessage(RefFileResultMessage(r, true));
}
