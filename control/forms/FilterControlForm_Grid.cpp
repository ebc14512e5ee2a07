// The filter control window: coefficient grid, Apply, Undo, description and the file commands.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QComboBox>
#include <algorithm>
#include <cstring>

#include "control/FilterEditChannel.h"
#include "control/FilterHandover.h"
#include "control/forms/FilterControlForm.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

QTableWidgetItem* FixedItem(const QString& text)
{
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  return item;
}

}  // namespace

DigiFilterBlock& TFilterControlForm::EditedFilter()
{
  return g_EditedDigiFilters[CorrectFilterEditChannel()];
}

// ---- grid cells ----

QString TFilterControlForm::CoeffCell(int col, int row) const
{
  if (col < 0 || col > 2 || row < 0 || row > kDigiFilterCoeffs) return QString();
  if (row < SG_Coeff->rowCount() && col < SG_Coeff->columnCount()) {
    const QTableWidgetItem* item = SG_Coeff->item(row, col);
    return item ? item->text() : QString();
  }
  return m_coeffShadow[col][row];
}

void TFilterControlForm::SetCoeffCell(int col, int row, const QString& text)
{
  if (col < 0 || col > 2 || row < 0 || row > kDigiFilterCoeffs) return;
  if (row < SG_Coeff->rowCount() && col < SG_Coeff->columnCount()) {
    const bool fixed = row == 0 || col == 0;
    SG_Coeff->setItem(row, col, fixed ? FixedItem(text) : new QTableWidgetItem(text));
  } else {
    m_coeffShadow[col][row] = text;
  }
}

void TFilterControlForm::SetCoeffGridSize(int cols, int rows)
{
  // Cells that leave the grid keep their texts, cells that come back show them again.
  const int oldRows = SG_Coeff->rowCount(), oldCols = SG_Coeff->columnCount();
  for (int r = 0; r < oldRows && r <= kDigiFilterCoeffs; ++r)
    for (int c = 0; c < oldCols && c < 3; ++c)
      if (r >= rows || c >= cols) m_coeffShadow[c][r] = CoeffCell(c, r);
  SG_Coeff->setRowCount(rows);
  SG_Coeff->setColumnCount(cols);
  for (int r = 0; r < rows && r <= kDigiFilterCoeffs; ++r)
    for (int c = 0; c < cols && c < 3; ++c)
      if (r >= oldRows || c >= oldCols) SetCoeffCell(c, r, m_coeffShadow[c][r]);
}

// ---- grid refresh and read ----

void TFilterControlForm::UpdateCoeffGrid()
{
  RaiseUpdating();
  const int ch = CorrectFilterEditChannel();
  DigiFilterBlock& b = g_EditedDigiFilters[ch];
  b.MaxCoeff = std::clamp<int32_t>(b.MaxCoeff, 1, kDigiFilterMaxOrder);
  Lab_CurrFileName->setText(QString::fromLocal8Bit(SndConfig.CoeffFile[ch]));
  const bool iir = b.Is_IIR != 0;
  SetCoeffGridSize(iir ? 3 : 2, b.MaxCoeff + 2);
  if (iir) SG_Coeff->setColumnWidth(2, SG_Coeff->columnWidth(1));
  Ed_MaxCoeff->setText(QString::number(b.MaxCoeff));
  Ed_Cascaded->setText(QString::number(b.Cascaded));
  (iir ? Rbtn_TypeIIR : Rbtn_TypeFIR)->setChecked(true);
  SetCoeffCell(0, 0, "Coeff");
  SetCoeffCell(1, 0, "alpha");
  if (iir) SetCoeffCell(2, 0, "beta");
  for (int i = 0; i <= b.MaxCoeff; ++i) {
    SetCoeffCell(0, i + 1, QString::number(i));
    SetCoeffCell(1, i + 1, Q(FloatToStr(b.alpha[i])));
    if (iir) {
      // The first coefficient of each section has no recursive part.
      const bool noBeta = b.Cascaded > 0 ? i % b.Cascaded == 0 : i == 0;
      SetCoeffCell(2, i + 1, noBeta ? QString() : Q(FloatToStr(b.beta[i])));
    }
  }
  ShowDescription();
  LowerUpdating();
}

void TFilterControlForm::ReadCoeffGrid()
{
  DigiFilterBlock& b = EditedFilter();
  b.MaxCoeff = std::clamp(StrToIntDef(S(Ed_MaxCoeff->text()), b.MaxCoeff), 1,
                          kDigiFilterMaxOrder);
  b.Is_IIR = Rbtn_TypeIIR->isChecked() ? 1 : 0;
  SetCoeffGridSize(b.Is_IIR ? 3 : 2, SG_Coeff->rowCount());
  for (int i = 0; i <= b.MaxCoeff; ++i) {
    b.alpha[i] = StrToFloatDef(S(CoeffCell(1, i + 1)), 0.0);
    if (i >= 1) b.beta[i] = StrToFloatDef(S(CoeffCell(2, i + 1)), 0.0);
  }
}

void TFilterControlForm::ShowDescription()
{
  RaiseUpdating();
  QStringList lines;
  for (const std::string& l : g_FilterDescription) lines << QString::fromLocal8Bit(l.c_str());
  Mem_Description->setPlainText(lines.join('\n'));
  LowerUpdating();
}

void TFilterControlForm::Mem_DescriptionChange()
{
  if (UpdatingCount > 0) return;
  g_FilterDescription.clear();
  const QString text = Mem_Description->toPlainText();
  if (text.isEmpty()) return;
  for (const QString& l : text.split('\n')) g_FilterDescription.push_back(l.toLocal8Bit().toStdString());
}

// ---- commands ----

void TFilterControlForm::Btn_ApplyClick()
{
  const int c = CorrectFilterEditChannel();
  UndoFilter = g_EditedDigiFilters[c];
  ReadCoeffGrid();
  UpdateCoeffGrid();
  ActivateEditedFilter(c);
  UpdateStatusDisplay();
}

void TFilterControlForm::Btn_UndoClick()
{
  const int c = CorrectFilterEditChannel();
  std::swap(g_EditedDigiFilters[c], UndoFilter);
  UpdateCoeffGrid();
  ActivateEditedFilter(c);
  UpdateStatusDisplay();
}

// ---- files ----

bool TFilterControlForm::AskFilterFile(bool save, const QString& title, const QString& filter,
                                       const QString& suffix, const QString& initial,
                                       char (*field)[256], QString& name)
{
  name = initial;
  // F1 in the file dialogs shows the filter window's topic.
  constexpr uint32_t kFilterFileHelpContext = 800;
  if (!AskFileName(this, save, title, filter, name, suffix, kFilterFileHelpContext)) return false;
  const QByteArray bytes = name.toLocal8Bit();
  if (bytes.size() > 255) {
    // Stored cut short it would name another file at the next start.
    ReportError("The file name is longer than 255 characters and cannot be stored:\n" + name);
    return false;
  }
  char* dst = field[CorrectFilterEditChannel()];
  std::memset(dst, 0, 256);
  std::memcpy(dst, bytes.constData(), static_cast<size_t>(bytes.size()));
  return true;
}

void TFilterControlForm::LoadCoeffClick()
{
  const int c = CorrectFilterEditChannel();
  QString name;
  if (!AskFilterFile(false, "Load Filter Coefficients", "Filter Coefficient Files (*.flt *.FLT)",
                     "flt", QString::fromLocal8Bit(SndConfig.CoeffFile[c]), SndConfig.CoeffFile,
                     name))
    return;
  Lab_CurrFileName->setText(name);
  UndoFilter = g_EditedDigiFilters[c];
  ReadFilterFile(S(name), "", &g_EditedDigiFilters[c], &g_FilterDescription);
  UpdateCoeffGrid();
  ActivateEditedFilter(c);
  UpdateStatusDisplay();
}

void TFilterControlForm::Btn_LoadClick() { LoadCoeffClick(); }

void TFilterControlForm::SaveCoeffClick()
{
  const int c = CorrectFilterEditChannel();
  QString name;
  if (!AskFilterFile(true, "Save Filter Coefficients", "Filter Coefficient Files (*.flt *.FLT)",
                     "flt", QString::fromLocal8Bit(SndConfig.CoeffFile[c]), SndConfig.CoeffFile,
                     name))
    return;
  Lab_CurrFileName->setText(name);
  try {
    WriteFilterFile(S(name), "", &g_EditedDigiFilters[c], g_FilterDescription);
  } catch (const EIniFileError& e) {
    ReportError(e.what());
  }
}

void TFilterControlForm::Btn_SaveClick() { SaveCoeffClick(); }

void TFilterControlForm::Btn_IIR2_LoadClick()
{
  QString name;
  if (!AskFilterFile(false, "Load Chain Filter Design", "Filter Chain Design Files (*.flc *.FLC)",
                     "flc", "*.flc", SndConfig.IIR2DesignFile, name))
    return;
  ReadFilterChainFile(S(name), &ChainDesign);
  Btn_IIR2_CalculateClick();
  IIR2PageUpdatePending = true;
}

void TFilterControlForm::Btn_IIR2_SaveClick()
{
  ChainDesign.NrOfStages = StrToIntDef(S(Ed_IIR2_TotalStages->text()), ChainDesign.NrOfStages);
  const int c = CorrectFilterEditChannel();
  QString name;
  if (!AskFilterFile(true, "Save Chain Filter Design", "Filter Chain Design Files (*.flc *.FLC)",
                     "flc", QString::fromLocal8Bit(SndConfig.IIR2DesignFile[c]),
                     SndConfig.IIR2DesignFile, name))
    return;
  try {
    WriteFilterChainFile(S(name), &ChainDesign);
  } catch (const EIniFileError& e) {
    ReportError(e.what());
  }
}

void TFilterControlForm::Btn_FIR2Des_LoadClick()
{
  QString name;
  if (!AskFilterFile(false, "Load Remez Filter Design", "FIR Filter Design Files (*.fir *.FIR)",
                     "fir", "*.fir", SndConfig.FIR2DesignFile, name))
    return;
  LoadRemezDesign(S(name));
  Btn_FIR2Des_CalculateClick();
}

void TFilterControlForm::Btn_FIR2Des_SaveClick()
{
  const int c = CorrectFilterEditChannel();
  QString name;
  if (!AskFilterFile(true, "Save Remez Filter Design", "FIR Filter Design Files (*.fir *.FIR)",
                     "fir", QString::fromLocal8Bit(SndConfig.FIR2DesignFile[c]),
                     SndConfig.FIR2DesignFile, name))
    return;
  try {
    SaveRemezDesign(S(name));
  } catch (const EIniFileError& e) {
    ReportError(e.what());
  }
}

namespace {

QString SpecCell(const QTableWidget* t, int row, int col)
{
  const QTableWidgetItem* item = t->item(row, col);
  return item ? item->text() : QString();
}

RemezDesignSpec RemezFromControls(const TFilterControlForm& f)
{
  RemezDesignSpec d;
  d.NrCoeffs = S(f.Ed_FIR2Des_NrCoeffs->text());
  d.NrBands = StrToIntDef(S(f.Ed_FIR2Des_NrBands->text()), 2);
  d.FltType = f.Combo_FIR2Des_Type->currentIndex();
  for (int r = 0; r < 10; ++r)
    for (int c = 0; c < 4; ++c) d.Bands[r][c] = S(SpecCell(f.SG_FIR2Dec_FilterSpec, r + 1, c + 1));
  return d;
}

}  // namespace

void TFilterControlForm::LoadRemezDesign(const std::string& file)
{
  RaiseUpdating();
  RemezDesignSpec d = RemezFromControls(*this);
  ReadRemezDesignFile(file, &d);
  Ed_FIR2Des_NrCoeffs->setText(Q(d.NrCoeffs));
  Ed_FIR2Des_NrBands->setText(QString::number(d.NrBands));
  Combo_FIR2Des_Type->setCurrentIndex(d.FltType >= 0 && d.FltType < Combo_FIR2Des_Type->count()
                                          ? d.FltType
                                          : -1);
  for (int r = 0; r < d.NrBands && r < 10; ++r)
    for (int c = 0; c < 4; ++c)
      SG_FIR2Dec_FilterSpec->setItem(r + 1, c + 1, new QTableWidgetItem(Q(d.Bands[r][c])));
  LowerUpdating();
}

void TFilterControlForm::SaveRemezDesign(const std::string& file)
{
  RaiseUpdating();
  const RemezDesignSpec d = RemezFromControls(*this);
  LowerUpdating();
  WriteRemezDesignFile(file, d);
}
