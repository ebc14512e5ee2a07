// The watch window's logic: periodic update, settings shown and applied, channel selection,
// plot data, diagram drawing, dialogs and menu commands.
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>

#include "engine/ColorRef.h"
#include "engine/DebugU1.h"
#include "engine/MiscUtils.h"
#include "engine/SettingsFileNames.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "interp/CliEval.h"
#include "interp/PlotData.h"
#include "interp/PlotImport.h"
#include "interp/WatchSettings.h"
#include "interp/forms/PlotCommand.h"
#include "interp/forms/PlotDraw.h"
#include "interp/forms/WatchForm.h"
#include "interp/forms/WatchFormPlotImage.h"
#include "platform/NumText.h"

namespace {

constexpr int kPlotPage = 1;
constexpr int kOtherPage = 5;

// A field as a whole number: its value clamped into int, or def when it holds no number.
int FieldInt(const QLineEdit* e, int def)
{
  const std::string text = e->text().trimmed().toStdString();
  if (text.empty()) return def;
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), &end, 10);
  if (end == text.c_str() || *end != '\0') return def;
  if (errno == ERANGE || v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

// The label of the channels the plot data hold: an existing file keeps its own count, which
// may differ from the count asked for; with nothing open, the watch list's count.
QString ChannelsInUseText()
{
  const uint32_t n = g_PlotData.State != PLOT_STATE_CLOSED ? g_PlotData.Header.Channels : g_WatchList.ChannelCount;
  return QString("( %1 used in file)").arg(n);
}

// Reads a slot for drawing: the record is cleared first (the slots hold only the file's
// channels), and a slot never written (time 0) gives nothing to draw.
bool ReadRecordToDraw(int slot, T_PlotDataRecord* rec)
{
  PlotData_ClearRecord(rec);
  return PlotData_GetRecord(&g_PlotData, slot, rec) && rec->Time != 0.0;
}

class BusyScope {
public:
  explicit BusyScope(int& counter) : m_Counter(counter) { ++m_Counter; }
  ~BusyScope()
  {
    if (m_Counter > 0) --m_Counter;
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

private:
  int& m_Counter;
};

QFont PanelFont(const char* name, int size)
{
  QFont f(QString::fromLatin1(name));
  f.setPointSize(size > 0 ? size : 8);
  return f;
}

}  // namespace

void TWatchForm::LoadSettings(const std::string& fileName)
{
  FieldsFromControls();
  WatchSettings_Load(fileName, &g_WatchList, &m_Grid, &m_Fields);
  BusyScope busy(m_Fields.BusyCount);
  FieldsToControls();
  GridToTable();
  if (m_Fields.Width > 0 && m_Fields.Height > 0)
    PlaceWindowOnScreens(this, QPoint(m_Fields.Left, m_Fields.Top),
                         QSize(m_Fields.Width, m_Fields.Height));
}

void TWatchForm::SaveSettings(const std::string& fileName)
{
  FieldsFromControls();
  m_Fields.Visible = isVisible() ? 1 : 0;
  WatchSettings_Save(fileName, &g_WatchList, &m_Grid, &m_Fields);
}

void TWatchForm::FieldsFromControls()
{
  m_Fields.PlotMaxSamples = Ed_PlotMaxSamples->text().toStdString();
  m_Fields.PlotMaxChannels = Ed_PlotMaxChannels->text().toStdString();
  m_Fields.PlotFileName = Ed_PlotFileName->text().toStdString();
  m_Fields.PlotExportName = Ed_ImportFile->text().toStdString();
  m_Fields.PlotExportTimeColumn = Ed_TimeColumn->text().toStdString();
  m_Fields.PlotExportTimeFormat = Ed_ImportTimeFormat->text().toStdString();
  for (int c = 0; c < WATCH_GRID_COLS; ++c) m_Fields.ColWidths[c] = SG_Watch->columnWidth(c);
  // The frame's corner and the client size, as PlaceWindowOnScreens takes them.
  m_Fields.Left = pos().x();
  m_Fields.Top = pos().y();
  m_Fields.Width = width();
  m_Fields.Height = height();
}

void TWatchForm::FieldsToControls()
{
  BusyScope busy(m_Fields.BusyCount);
  Ed_PlotMaxSamples->setText(QString::fromStdString(m_Fields.PlotMaxSamples));
  Ed_PlotMaxChannels->setText(QString::fromStdString(m_Fields.PlotMaxChannels));
  Lab_ChannelsInUse->setText(ChannelsInUseText());
  Ed_PlotFileName->setText(QString::fromStdString(m_Fields.PlotFileName));
  Ed_ImportFile->setText(QString::fromStdString(m_Fields.PlotExportName));
  Ed_TimeColumn->setText(QString::fromStdString(m_Fields.PlotExportTimeColumn));
  Ed_ImportTimeFormat->setText(QString::fromStdString(m_Fields.PlotExportTimeFormat));
  for (int c = 0; c < WATCH_GRID_COLS; ++c) SG_Watch->setColumnWidth(c, m_Fields.ColWidths[c]);
}

void TWatchForm::GridToTable()
{
  BusyScope busy(m_Fields.BusyCount);
  const QSignalBlocker block(SG_Watch);
  for (int r = 0; r < WATCH_GRID_ROWS; ++r)
    for (int c = 0; c < WATCH_GRID_COLS; ++c) {
      const QString text = QString::fromStdString(m_Grid.Cells[r][c]);
      QTableWidgetItem* it = SG_Watch->item(r, c);
      if (!it) {
        it = new QTableWidgetItem(text);
        SG_Watch->setItem(r, c, it);
      } else if (it->text() != text) {
        it->setText(text);
      }
    }
}

void TWatchForm::EvalMarkerIntervals() { ::EvalMarkerIntervals(&g_WatchList); }

void TWatchForm::UpdateWatchGrid(bool full)
{
  // An open in-place editor keeps its row out of the pass.
  m_Grid.EditRow = m_Grid.EditCol = -1;
  QWidget* focus = QApplication::focusWidget();
  if (focus && SG_Watch->viewport()->isAncestorOf(focus)) {
    m_Grid.EditRow = SG_Watch->currentRow();
    m_Grid.EditCol = SG_Watch->currentColumn();
  }
  ::UpdateWatchGrid(&g_WatchList, &m_Grid, &m_Fields, g_WatchValues, full);
  BusyScope busy(m_Fields.BusyCount);
  const QSignalBlocker block(SG_Watch);
  for (int c = 0; c < WATCH_GRID_COLS; ++c) {
    QTableWidgetItem* it = SG_Watch->item(0, c);
    if (it) it->setText(QString::fromStdString(m_Grid.Cells[0][c]));
  }
  for (int r = 1; r < WATCH_GRID_ROWS; ++r) {
    QTableWidgetItem* it = SG_Watch->item(r, WATCH_COL_RESULT);
    if (it) it->setText(QString::fromStdString(m_Grid.Cells[r][WATCH_COL_RESULT]));
  }
  if (m_Fields.SelectedChannel >= 0) Lab_Measure->setText(QString::fromStdString(m_Fields.MeasureText));
  UpdateRowCountLabel();
}

void TWatchForm::UpdateRowCountLabel()
{
  int rows = 0;
  for (int r = 1; r < WATCH_GRID_ROWS; ++r) {
    const std::string& expr = m_Grid.Cells[r][WATCH_COL_EXPR];
    if (!expr.empty() && static_cast<unsigned char>(expr[0]) > ' ') rows = r;
  }
  // Rows are recorded only up to the channel count the plot data were opened with.
  const bool open = g_PlotData.Header.MaxRecords > 0;
  const int channels = static_cast<int>(open ? g_PlotData.Header.Channels : g_WatchList.ChannelCount);
  QString text = QString("%1 rows").arg(rows);
  if (rows > channels)
    text += QString(", plot file holds %1 channels: start a new plot file to plot them").arg(channels);
  Lab_RowCount->setText(text);
}

void TWatchForm::UpdateRunStopCaptions()
{
  Menu_RunStop->setChecked(m_Fields.Running != 0);
  Menu_RunStop->setText(m_Fields.Running ? "Stop (now running)" : "Run (now stopped)");
  PC_Watch->setTabText(kPlotPage, m_Fields.Running ? "Plotter" : "Plotter (stopped)");
}

void TWatchForm::PeriodicUpdate()
{
  m_TickTime = Clock();
  if (m_Fields.Running != m_Sampler.LastRunning) {
    m_Sampler.LastRunning = m_Fields.Running;
    UpdateRunStopCaptions();
  }
  const bool newStep = Watch_StepChange(&g_WatchList, m_TickTime);
  if (Watch_GridPassDue(&m_Sampler, &m_Fields, m_TickTime)) UpdateWatchGrid(false);
  // A plot file cut short by another program where no access faults is found here, once per
  // tick: the records and reads below make no system call.
  PlotData_CheckMapping(&g_PlotData);
  if (m_Fields.Running) RecordSample(&m_Sampler, &g_WatchList, &g_PlotData, &m_Grid, g_WatchValues, m_TickTime, newStep);
  if (m_Fields.ShowSettings) {
    {
      BusyScope busy(m_Fields.BusyCount);
      char buf[32] = {};
      CLI_FormatValue(CLI_SRC_WATCH, "##0.0##", g_WatchList.SecPerStep, buf, 30);
      Ed_SecPerStep->setText(QString::fromLatin1(buf));
    }
    if (m_Fields.SelectedChannel < 0) m_Fields.SelectedChannel = 0;
    ShowSettings();
    m_Fields.ShowSettings = false;
  }
  if (newStep && m_Fields.Running) {
    UpdatePlot(m_Fields.RedrawRequest, true);
    g_PlotCaptureBitmap = &m_Diagram;
    m_Fields.RedrawRequest = false;
  } else if (m_Fields.RedrawRequest) {
    EvalMarkerIntervals();
    UpdatePlot(true, false);
    m_Fields.RedrawRequest = false;
  }
}

void TWatchForm::SetPanelColor(QPushButton* panel, uint32_t colour, bool border)
{
  const QColor bg = ColorRefToQColor(colour);
  const QColor fg = ColorRefToQColor(GetContrastColor(colour));
  panel->setStyleSheet(QString("background-color: %1; color: %2; border: %3;")
                           .arg(bg.name(), fg.name(), border ? "1px solid black" : "none"));
  panel->setProperty("colorRef", static_cast<uint>(colour));
}

void TWatchForm::ShowSettings()
{
  BusyScope busy(m_Fields.BusyCount);
  T_WatchList& wl = g_WatchList;
  for (int k = 0; k < 10; ++k) SetPanelColor(Pnl_Pens[k], wl.Pens[k].PenColor, k == m_Fields.SelectedChannel);
  int sel = m_Fields.SelectedChannel;
  Plot_ClampInt(&sel, 0, WATCH_MAX_CHANNELS - 1);
  const T_WatchPen& pen = wl.Pens[sel];
  Ed_ChannelNr->setRange(1, WATCH_MAX_CHANNELS);
  Ed_ChannelNr->setValue(sel + 1);
  Cb_GraphStyle->setCurrentIndex(std::clamp(static_cast<int>(pen.PenDisplayStyle), 0, 3));
  Chk_MinValue->setChecked(pen.PenShowWhat & 1);
  Chk_MaxValue->setChecked(pen.PenShowWhat & 2);
  Chk_Average->setChecked(pen.PenShowWhat & 4);
  Chk_ShowMin->setChecked(pen.PenShowWhat & 1);
  Chk_ShowMax->setChecked(pen.PenShowWhat & 2);
  Chk_ShowAvrg->setChecked(pen.PenShowWhat & 4);
  Ed_PlotMaxChannels->setText(QString::number(wl.ChannelCount));
  Lab_ChannelsInUse->setText(ChannelsInUseText());
  Ed_TimeFormat->setText(QString::fromLatin1(wl.TimeLabelFormat));
  Ed_DateFormat->setText(QString::fromLatin1(wl.DateLabelFormat));
  Cb_SmallMarker->setCurrentIndex(std::clamp(static_cast<int>(wl.SmallMarker), 0, 6));
  Cb_LargeMarker->setCurrentIndex(std::clamp(static_cast<int>(wl.LargeMarker), 0, 6));
  Ed_SmallInterval->setText(QString::fromLatin1(wl.SmallInterval));
  Ed_LargeInterval->setText(QString::fromLatin1(wl.LargeInterval));
  m_PanelColors[0] = wl.GridColor;
  m_PanelColors[1] = wl.BkgndColor;
  m_PanelColors[2] = wl.LabelColor;
  for (int i = 0; i < 3; ++i) SetPanelColor(Pnl_Colors[i], m_PanelColors[i], false);
  Cb_LegendPos->setCurrentIndex(std::clamp(static_cast<int>(wl.LegendPos), 0, 4));
  Cb_LegendDetails->setCurrentIndex(std::clamp(static_cast<int>(wl.LegendDetails), 0, 2));
  Cb_GridStyle->setCurrentIndex(std::clamp(static_cast<int>(wl.VertScalePenStyle), 0, 3));
  Pnl_LegendFont->setFont(PanelFont(wl.LegendFontName, wl.LegendFontSize));
  Pnl_HorzAxisFont->setFont(PanelFont(wl.Axes[3].FontName, wl.Axes[3].FontSize));
  Pnl_VertAxisFont->setFont(PanelFont(wl.Axes[0].FontName, wl.Axes[0].FontSize));
  Plot_ClampInt(&wl.Axes[0].AxisAssign, -1, WATCH_MAX_CHANNELS);
  Plot_ClampInt(&wl.Axes[1].AxisAssign, -1, WATCH_MAX_CHANNELS);
  Cb_LeftAxis->setCurrentIndex(wl.Axes[0].AxisAssign + 1);
  Cb_RightAxis->setCurrentIndex(wl.Axes[1].AxisAssign + 1);
  Ed_LeftAxisLabel->setText(QString::fromLatin1(wl.Axes[0].AxisLabel));
  Ed_RightAxisLabel->setText(QString::fromLatin1(wl.Axes[1].AxisLabel));
  UpdateAxisChannelLabels();
}

void TWatchForm::UpdateAxisChannelLabels()
{
  const std::pair<QComboBox*, QLabel*> pairs[2] = {{Cb_LeftAxis, Lab_LeftAxisChannel}, {Cb_RightAxis, Lab_RightAxisChannel}};
  for (const auto& [list, label] : pairs) {
    const int ch = list->currentIndex() - 2;
    label->setText(ch >= 0 && ch < WATCH_MAX_CHANNELS ? "= " + QString::fromLatin1(g_WatchList.Titles[ch]) : QString());
  }
}

void TWatchForm::ApplySettings()
{
  T_WatchList& wl = g_WatchList;
  const int sel = m_Fields.SelectedChannel;
  if (sel >= 0 && sel < WATCH_MAX_CHANNELS) {
    wl.Pens[sel].PenDisplayStyle = Cb_GraphStyle->currentIndex();
    wl.Pens[sel].PenShowWhat = (Chk_MinValue->isChecked() ? 1u : 0u) | (Chk_MaxValue->isChecked() ? 2u : 0u) |
                               (Chk_Average->isChecked() ? 4u : 0u);
  }
  const int channels = FieldInt(Ed_PlotMaxChannels, static_cast<int>(wl.ChannelCount));
  if (channels != static_cast<int>(wl.ChannelCount)) {
    ShowMessage("You must start a new plot data file after changing the number of channels");
    Lab_ChannelsInUse->setText(ChannelsInUseText());
    wl.ChannelCount = static_cast<uint32_t>(std::clamp(channels, 1, WATCH_MAX_CHANNELS));
  }
  Watch_CopyText(wl.TimeLabelFormat, sizeof wl.TimeLabelFormat, Ed_TimeFormat->text().toLatin1().constData(), 80);
  Watch_CopyText(wl.DateLabelFormat, sizeof wl.DateLabelFormat, Ed_DateFormat->text().toLatin1().constData(), 80);
  wl.SmallMarker = Cb_SmallMarker->currentIndex();
  Watch_CopyText(wl.SmallInterval, sizeof wl.SmallInterval, Ed_SmallInterval->text().toLatin1().constData(), 79);
  wl.LargeMarker = Cb_LargeMarker->currentIndex();
  Watch_CopyText(wl.LargeInterval, sizeof wl.LargeInterval, Ed_LargeInterval->text().toLatin1().constData(), 80);
  wl.GridColor = m_PanelColors[0];
  wl.BkgndColor = m_PanelColors[1];
  wl.LabelColor = m_PanelColors[2];
  wl.LegendPos = Cb_LegendPos->currentIndex();
  wl.LegendDetails = Cb_LegendDetails->currentIndex();
  wl.VertScalePenStyle = Cb_GridStyle->currentIndex();
  auto copyFont = [](const QFont& f, T_WatchAxis* a) {
    Watch_CopyText(a->FontName, sizeof a->FontName, f.family().toLatin1().constData(), 80);
    a->FontSize = f.pointSize();
  };
  const QFont legend = Pnl_LegendFont->font();
  Watch_CopyText(wl.LegendFontName, sizeof wl.LegendFontName, legend.family().toLatin1().constData(), 80);
  wl.LegendFontSize = legend.pointSize();
  copyFont(Pnl_HorzAxisFont->font(), &wl.Axes[3]);
  copyFont(Pnl_HorzAxisFont->font(), &wl.Axes[2]);
  copyFont(Pnl_VertAxisFont->font(), &wl.Axes[0]);
  copyFont(Pnl_VertAxisFont->font(), &wl.Axes[1]);
  wl.Axes[0].AxisAssign = std::clamp(Cb_LeftAxis->currentIndex() - 1, -1, WATCH_MAX_CHANNELS);
  wl.Axes[1].AxisAssign = std::clamp(Cb_RightAxis->currentIndex() - 1, -1, WATCH_MAX_CHANNELS);
  Watch_CopyText(wl.Axes[0].AxisLabel, sizeof wl.Axes[0].AxisLabel, Ed_LeftAxisLabel->text().toLatin1().constData(), 79);
  Watch_CopyText(wl.Axes[1].AxisLabel, sizeof wl.Axes[1].AxisLabel, Ed_RightAxisLabel->text().toLatin1().constData(), 79);
}

void TWatchForm::SelectChannel(int channel)
{
  if (channel < 0 || channel >= WATCH_MAX_CHANNELS) return;
  ApplySettings();
  m_Fields.SelectedChannel = channel;
  ShowSettings();
  const uint32_t colour = g_WatchList.Pens[channel].PenColor;
  SetPanelColor(Pnl_Measure, colour, false);
  const int row = channel + 1;
  if (row < m_Grid.RowCount) {
    Pnl_Measure->setText(QString::fromLatin1(g_WatchList.Titles[channel]));
    Lab_Measure->setText(QString::fromStdString(m_Grid.Cells[row][WATCH_COL_RESULT]));
  } else {
    Pnl_Measure->setText("NoData");
    Lab_Measure->setText("--");
  }
}

void TWatchForm::ChannelSettingsChanged()
{
  if (m_Fields.BusyCount > 0) return;
  ApplySettings();
  ShowSettings();
}

bool TWatchForm::AskColor(uint32_t* colour)
{
  QColorDialog dlg(ColorRefToQColor(*colour), this);
  if (ExecDialog(&dlg) != QDialog::Accepted) return false;
  *colour = QColorToColorRef(dlg.currentColor());
  return true;
}

void TWatchForm::ShowMessage(const QString& text)
{
  QMessageBox box(QMessageBox::Information, windowTitle(), text, QMessageBox::Ok, this);
  box.setObjectName("WatchMessage");
  ExecDialog(&box);
}

void TWatchForm::PenPanelClick(int channel)
{
  if (channel < 0 || channel >= WATCH_MAX_CHANNELS) return;
  uint32_t colour = g_WatchList.Pens[channel].PenColor;
  SelectChannel(channel);
  if (!AskColor(&colour)) return;
  g_WatchList.Pens[channel].PenColor = colour;
  m_Fields.ShowSettings = true;
  if (!m_Diagram.isNull()) Plot_DrawLegend(m_Diagram, &g_WatchList);
  Img_Plot->update();
}

void TWatchForm::ColorPanelClick(int which)
{
  if (which < 0 || which > 2) return;
  uint32_t colour = m_PanelColors[which];
  if (!AskColor(&colour)) return;
  m_PanelColors[which] = colour;
  SetPanelColor(Pnl_Colors[which], colour, false);
  if (which == 1) g_WatchList.BkgndColor = colour;
  if (!m_Diagram.isNull()) {
    Plot_DrawLegend(m_Diagram, &g_WatchList);
    Plot_DrawBothScales(m_Diagram, &g_WatchList);
  }
  Img_Plot->update();
}

void TWatchForm::FontPanelClick(QPushButton* panel)
{
  QFontDialog dlg(panel->font(), this);
  if (ExecDialog(&dlg) != QDialog::Accepted) return;
  panel->setFont(dlg.currentFont());
}

void TWatchForm::ShowToggleClick(int bit)
{
  if (m_Fields.BusyCount > 0 || m_Fields.SelectedChannel < 0 || m_Fields.SelectedChannel >= WATCH_MAX_CHANNELS) return;
  g_WatchList.Pens[m_Fields.SelectedChannel].PenShowWhat ^= static_cast<uint32_t>(bit);
  ShowSettings();
  EvalMarkerIntervals();
  UpdatePlot(true, false);
}

void TWatchForm::MeasurePanelClick()
{
  int ch = m_Fields.SelectedChannel;
  for (int tries = 0; tries < WATCH_MAX_CHANNELS; ++tries) {
    ch = (ch + 1 + WATCH_MAX_CHANNELS) % WATCH_MAX_CHANNELS;
    const std::string& expr = m_Grid.Cells[ch + 1][WATCH_COL_EXPR];
    if (!expr.empty() && static_cast<unsigned char>(expr[0]) > 32) {
      SelectChannel(ch);
      return;
    }
  }
}

void TWatchForm::DiagramClick(int x, int y)
{
  m_MouseX = x;
  m_MouseY = y;
  for (int ch = 0; ch < WATCH_MAX_CHANNELS; ++ch) {
    const T_PlotRect& r = g_WatchList.LegendBoxes[ch];
    if (r.right > r.left && x >= r.left && x <= r.right && y >= r.top && y <= r.bottom) {
      SelectChannel(ch);
      return;
    }
  }
}

void TWatchForm::DiagramResized()
{
  const QSize size = Img_Plot->size();
  if (size.width() < 1 || size.height() < 1) return;
  m_Diagram = QImage(size, QImage::Format_RGB32);
  m_Diagram.fill(ColorRefToQColor(g_WatchList.BkgndColor));
  Plot_CalcLayout(m_Diagram, &g_WatchList);
  if (!g_PlotWindowClosed) g_PlotCaptureBitmap = &m_Diagram;
  m_Fields.RedrawRequest = true;
}

void TWatchForm::UpdateFileSizeLabel()
{
  if (m_Fields.BusyCount > 0) return;
  const int samples = std::max(0, FieldInt(Ed_PlotMaxSamples, 0));
  const int channels = std::max(0, FieldInt(Ed_PlotMaxChannels, 0));
  Lab_FileSize->setText(QString("-> filesize=%1 KB").arg(PlotData_CalcFileSize(samples, channels) / 1024));
}

void TWatchForm::OpenPlotData(const QString& fileName)
{
  int channels = FieldInt(Ed_PlotMaxChannels, static_cast<int>(g_WatchList.ChannelCount));
  if (channels == 0) channels = 1;
  if (channels > WATCH_MAX_CHANNELS || channels < 0) channels = WATCH_MAX_CHANNELS;
  int records = FieldInt(Ed_PlotMaxSamples, 2000);
  Plot_ClampInt(&records, 100, 10000);
  g_WatchList.ChannelCount = static_cast<uint32_t>(channels);
  PlotData_CloseFile(&g_PlotData);
  PlotData_FreeMemory(&g_PlotData);
  m_Fields.TakeOver = true;
  UpdateWatchGrid(true);
  const std::string name = fileName.toStdString();
  if (!PlotData_OpenFile(&g_PlotData, &g_WatchList, name.c_str(), records, channels, 1)) {
    g_PlotData.Header.Channels = static_cast<uint32_t>(channels);
    PlotData_AllocMemory(&g_PlotData, records);
  }
  Lab_ChannelsInUse->setText(ChannelsInUseText());
  ShowSettings();
  EvalMarkerIntervals();
  UpdatePlot(true, false);
  UpdateRowCountLabel();
}

void TWatchForm::ReplayHistory()
{
  T_WatchList& wl = g_WatchList;
  T_PlotData& pd = g_PlotData;
  const int cols = wl.PlotArea.right - wl.PlotArea.left + 1;
  const int start = PlotData_IndexFromAge(&pd, cols);
  int n = static_cast<int>(pd.Header.WriteIndex) - start;
  if (n < 0) n += static_cast<int>(pd.Header.MaxRecords);
  n = std::min(n, cols - 1);
  if (n < 0 || n > cols) return;
  if (wl.VertScalePenStyle > 0) Plot_DrawGridLines(m_Diagram, &wl, n, wl.VertScalePenStyle);
  wl.FirstDrawnTime = wl.FirstDrawnTime2 = 0.0;
  for (auto& row : wl.PrevValid)
    for (bool& v : row) v = false;
  int slot = start;
  bool first = true;
  // The finished records, oldest first; the newest finished one lands in the newest column. A
  // slot never written leaves its column empty.
  for (int age = n - 1; age >= 0; --age) {
    T_PlotDataRecord rec;
    if (slot < 0 || static_cast<uint32_t>(slot) >= pd.Header.MaxRecords) break;
    if (ReadRecordToDraw(slot, &rec)) {
      if (first) wl.FirstDrawnTime = wl.FirstDrawnTime2 = rec.Time;
      first = false;
      Plot_DrawTimeMarkers(m_Diagram, &wl, age, rec.Time);
      Plot_DrawNewSamples(m_Diagram, &wl, rec, age, static_cast<int>(pd.Header.Channels));
    }
    ++slot;
    if (slot >= static_cast<int>(pd.Header.MaxRecords) || slot > static_cast<int>(pd.Header.HighestIndex)) slot = 0;
  }
}

void TWatchForm::UpdatePlot(bool fullRedraw, bool drawNewest)
{
  T_WatchList& wl = g_WatchList;
  if (m_Diagram.isNull()) DiagramResized();
  if (g_PlotData.Header.MaxRecords == 0 || m_Diagram.isNull()) return;
  if (wl.PlotArea.right - wl.PlotArea.left + 1 < 10) {
    Plot_CalcLayout(m_Diagram, &wl);
    if (wl.PlotArea.right - wl.PlotArea.left + 1 < 10) return;
  }
  if (fullRedraw || m_Fields.RedrawRequest || Cb_GridStyle->currentIndex() != wl.VertScalePenStyle) {
    m_Fields.RedrawRequest = false;
    if (m_Diagram.size() != Img_Plot->size() && Img_Plot->width() > 0 && Img_Plot->height() > 0)
      m_Diagram = QImage(Img_Plot->size(), QImage::Format_RGB32);
    wl.Axes[3].DebugEnabled = Chk_EnableDebugging->isChecked() ? 1 : 0;
    Plot_CalcLayout(m_Diagram, &wl);
    Plot_ClearDiagram(m_Diagram, &wl);
    Plot_DrawLegend(m_Diagram, &wl);
    Plot_DrawBothScales(m_Diagram, &wl);
    ReplayHistory();
  }
  if (m_Fields.Running && drawNewest) {
    Plot_ScrollLeft(m_Diagram, &wl, 1);
    if (wl.VertScalePenStyle > 0) Plot_DrawGridLines(m_Diagram, &wl, 0, wl.VertScalePenStyle);
    Plot_DrawTimeMarkers(m_Diagram, &wl, 0, m_TickTime);
    const uint32_t w = g_PlotData.Header.WriteIndex;
    const int slot = w > 0 ? static_cast<int>(w) - 1 : static_cast<int>(g_PlotData.Header.MaxRecords) - 1;
    T_PlotDataRecord rec;
    if (ReadRecordToDraw(slot, &rec)) {
      wl.Axes[3].NewestColumn = wl.PlotArea.right - 1;
      Plot_DrawNewSamples(m_Diagram, &wl, rec, 0, static_cast<int>(g_PlotData.Header.Channels));
    } else {
      // Nothing in this column: the curves start again after it.
      for (auto& row : wl.PrevValid)
        for (bool& v : row) v = false;
    }
  }
  Img_Plot->update();
}

void TWatchForm::RunStopClick() { m_Fields.Running = m_Fields.Running ? 0 : 1; }

void TWatchForm::RefreshDisplayClick()
{
  PC_Watch->setCurrentIndex(kPlotPage);
  m_Fields.TakeOver = true;
  UpdateWatchGrid(false);
  EvalMarkerIntervals();
  UpdatePlot(true, false);
}

void TWatchForm::ApplyClick()
{
  PC_Watch->setCurrentIndex(kPlotPage);
  ApplySettings();
  EvalMarkerIntervals();
  UpdatePlot(true, false);
}

void TWatchForm::EraseDataClick()
{
  PlotData_CloseFile(&g_PlotData);
  PlotData_FreeMemory(&g_PlotData);
  const QString name = Ed_PlotFileName->text().left(255);
  const std::string path = name.toStdString();
  // Only a regular file is deleted: a device or directory named here is left alone.
  struct stat st{};
  int err = 0;
  if (lstat(path.c_str(), &st) != 0)
    err = errno;
  else if (!S_ISREG(st.st_mode))
    err = S_ISDIR(st.st_mode) ? EISDIR : EPERM;
  else if (unlink(path.c_str()) != 0)
    err = errno;
  if (err != 0) DebugPrintf(20, 0.0, "Can't delete \"%s\", Windoze says \"%s\".", path.c_str(), GetWinErrorText(err));
  OpenPlotData(name);
  UpdatePlot(true, false);
}

void TWatchForm::ChangePlotFileNameClick()
{
  const int before = PC_Watch->currentIndex();
  PC_Watch->setCurrentIndex(kOtherPage);
  QString name = Ed_PlotFileName->text();
  if (AskFileName(this, true, "Change plot data file",
                  "All plot files (*.plt *.tmp);;Temporary plot files (*.tmp);;Archive plot file (*.plt)", name, "plt")) {
    Ed_PlotFileName->setText(name);
    OpenPlotData(name);
  }
  PC_Watch->setCurrentIndex(before);
}

void TWatchForm::ImportClick()
{
  QString name = Ed_ImportFile->text();
  if (!AskFileName(this, false, "Import plot data from text file", "Text files (*.txt)", name, "txt")) return;
  Ed_ImportFile->setText(name);
  m_Fields.TakeOver = true;
  UpdateWatchGrid(true);
  int timeColumn = FieldInt(Ed_TimeColumn, 0);
  if (timeColumn < 0) timeColumn = 0;
  int sep = FieldInt(Ed_ColumnSeparator, 9);
  if (sep < 0 || sep > 255) sep = 9;
  PlotImportParams params;
  PlotImport_InitParams(&params, &g_WatchList, name.toLocal8Bit().constData(), static_cast<uint32_t>(sep), timeColumn,
                        Ed_ImportTimeFormat->text().toLatin1().constData());
  const int n = ImportTextFile(&params, &g_PlotData);
  QString text = n > 0 ? QString("%1 columns could be decoded from the import file.").arg(n)
                       : "No data imported: " + QString::fromLocal8Bit(g_PlotImportErrorText);
  if (params.UnknownCount > 0) {
    text += "\nIgnored data columns:";
    for (int i = 0; i < params.UnknownCount && i < WATCH_MAX_CHANNELS; ++i)
      text += "\n  " + QString::fromLatin1(params.UnknownTitles[i]);
  }
  ShowMessage(text);
  ShowSettings();
  EvalMarkerIntervals();
  UpdatePlot(true, false);
}

void TWatchForm::LoadSettingsClick()
{
  QString name = QString::fromStdString(UserSettingsFullPath());
  if (!AskFileName(this, false, "Load watch & plotter settings", "Configuration files (*.ini);;User profiles (*.usr)",
                   name, "ini"))
    return;
  LoadSettings(name.toStdString());
  m_Fields.TakeOver = true;
  UpdateWatchGrid(true);
  ShowSettings();
  EvalMarkerIntervals();
  UpdatePlot(true, false);
}

void TWatchForm::SaveSettingsClick()
{
  QString name = QString::fromStdString(UserSettingsFullPath());
  if (!AskFileName(this, true, "Save watch & plotter settings", "Configuration files (*.ini);;User profiles (*.usr)",
                   name, "ini"))
    return;
  SaveSettings(name.toStdString());
}
