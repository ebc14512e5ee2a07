#pragma once
// "Vartumo  Watch List and Plotter": the watch grid (expressions evaluated on the main timer),
// the history diagram and the pages that set up layout, time base, channels, colours, memory,
// plot file and import. One instance (WatchForm), created at start-up and closed at exit.
//
// Control names (objectName), for tests and the style of the other windows:
//   pages              PC_Watch (tabs "Watch List", "Plotter", "Layout", "Horizontal",
//                      "Channels && Colors", "Other Options")
//   watch list         SG_Watch, Lab_CellInfo, Lab_RowCount
//   plotter            Img_Plot, Pnl_Measure, Lab_Measure, Chk_ShowMin, Chk_ShowMax, Chk_ShowAvrg
//   layout             Btn_ApplyLayout, Cb_GridStyle, Pnl_VertAxisFont, Cb_LeftAxis, Cb_RightAxis,
//                      Ed_LeftAxisLabel, Ed_RightAxisLabel, Lab_LeftAxisChannel,
//                      Lab_RightAxisChannel, Cb_LegendPos, Cb_LegendDetails, Pnl_LegendFont
//   horizontal         Btn_ApplyHorizontal, Ed_SecPerStep, Ed_HorzMagn, Ed_SmallInterval,
//                      Ed_LargeInterval, Cb_SmallMarker, Cb_LargeMarker, Ed_TimeFormat,
//                      Ed_DateFormat, Pnl_HorzAxisFont
//   channels, colours  Btn_ApplyChannels, Pnl_GridColor, Pnl_BkgndColor, Pnl_LabelColor,
//                      Pnl_Pen1..Pnl_Pen10, Ed_ChannelNr, Cb_GraphStyle, Chk_MinValue,
//                      Chk_MaxValue, Chk_Average
//   other options      Btn_ApplyOther, Ed_PlotMaxSamples, Ed_PlotMaxChannels, Lab_ChannelsInUse, Lab_FileSize,
//                      Ed_PlotFileName, Ed_ImportFile, Ed_ColumnSeparator, Ed_TimeColumn,
//                      Ed_ImportTimeFormat, Chk_EnableDebugging
//   menus              Menu_File, Menu_ChangePlotFileName, Menu_Import, Menu_Export,
//                      Menu_LoadSettings, Menu_SaveSettings, Menu_Exit, Menu_Settings,
//                      Menu_Plotter, Menu_RunStop, Menu_RefreshDisplay, Menu_EraseData,
//                      Menu_Help, Menu_HelpIndex, Menu_HelpInterpreter
// Colour, font and message dialogs run through ExecDialog, file dialogs through AskFileName
// (engine/forms/DialogHooks.h), help through ShowHelpContext (1810, 1650).
#include <QImage>
#include <QMainWindow>

#include <functional>
#include <string>

#include "interp/WatchSampling.h"
#include "interp/WatchTable.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class TWatchPlotImage;

class TWatchForm : public QMainWindow {
  Q_OBJECT
public:
  explicit TWatchForm(QWidget* parent = nullptr);
  ~TWatchForm() override;

  // The watch sections of any settings or profile file.
  void LoadSettings(const std::string& fileName);
  void SaveSettings(const std::string& fileName);

  // One step of the main timer (100 ms) while the window is visible.
  void PeriodicUpdate();
  // The clock of the ticks (Unix seconds); GetPreciseUnixTime(false) unless a test sets it.
  std::function<double()> Clock;

  void UpdateWatchGrid(bool full);
  void ShowSettings();
  void ApplySettings();
  void SelectChannel(int channel);
  void OpenPlotData(const QString& fileName);
  void UpdatePlot(bool fullRedraw, bool drawNewest);
  void EvalMarkerIntervals();

  int Running() const { return m_Fields.Running; }
  int SelectedChannel() const { return m_Fields.SelectedChannel; }
  const T_WatchGrid& Grid() const { return m_Grid; }
  QImage& Diagram() { return m_Diagram; }

  // Handlers (menus, buttons, panels, grid, diagram).
  void RunStopClick();
  void RefreshDisplayClick();
  void EraseDataClick();
  void ChangePlotFileNameClick();
  void ImportClick();
  void LoadSettingsClick();
  void SaveSettingsClick();
  void ApplyClick();
  void PenPanelClick(int channel);
  void ColorPanelClick(int which);  // 0 grid, 1 background, 2 labels
  void FontPanelClick(QPushButton* panel);
  void ShowToggleClick(int bit);    // 1 min, 2 max, 4 average
  void MeasurePanelClick();
  void DiagramClick(int x, int y);
  void DiagramResized();

protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

private:
  void BuildPages();
  void BuildMenus();
  void GridToTable();
  void FieldsFromControls();
  void FieldsToControls();
  void UpdateRunStopCaptions();
  void UpdateFileSizeLabel();
  // "n rows" beside the cell info: n is the last grid row with an expression; when that lies
  // beyond the plot file's channels the label says those rows are not plotted.
  void UpdateRowCountLabel();
  void UpdateAxisChannelLabels();
  void SetPanelColor(QPushButton* panel, uint32_t colour, bool border);
  bool AskColor(uint32_t* colour);
  void ShowMessage(const QString& text);
  void ChannelSettingsChanged();
  void ReplayHistory();

  T_WatchGrid m_Grid;
  T_WatchFormFields m_Fields;
  T_WatchSampler m_Sampler;
  QImage m_Diagram;
  double m_TickTime = 0.0;
  int m_MouseX = 0, m_MouseY = 0;
  uint32_t m_PanelColors[3] = {0xCFCFCF, 0x000000, 0xFFFFFF};  // grid, background, labels

  QTabWidget* PC_Watch = nullptr;
  QTableWidget* SG_Watch = nullptr;
  QLabel* Lab_CellInfo = nullptr;
  QLabel* Lab_RowCount = nullptr;
  TWatchPlotImage* Img_Plot = nullptr;
  QPushButton* Pnl_Measure = nullptr;
  QLabel* Lab_Measure = nullptr;
  QCheckBox* Chk_ShowMin = nullptr;
  QCheckBox* Chk_ShowMax = nullptr;
  QCheckBox* Chk_ShowAvrg = nullptr;
  QComboBox* Cb_GridStyle = nullptr;
  QPushButton* Pnl_VertAxisFont = nullptr;
  QComboBox* Cb_LeftAxis = nullptr;
  QComboBox* Cb_RightAxis = nullptr;
  QLineEdit* Ed_LeftAxisLabel = nullptr;
  QLineEdit* Ed_RightAxisLabel = nullptr;
  QLabel* Lab_LeftAxisChannel = nullptr;
  QLabel* Lab_RightAxisChannel = nullptr;
  QComboBox* Cb_LegendPos = nullptr;
  QComboBox* Cb_LegendDetails = nullptr;
  QPushButton* Pnl_LegendFont = nullptr;
  QLineEdit* Ed_SecPerStep = nullptr;
  QLineEdit* Ed_SmallInterval = nullptr;
  QLineEdit* Ed_LargeInterval = nullptr;
  QComboBox* Cb_SmallMarker = nullptr;
  QComboBox* Cb_LargeMarker = nullptr;
  QLineEdit* Ed_TimeFormat = nullptr;
  QLineEdit* Ed_DateFormat = nullptr;
  QPushButton* Pnl_HorzAxisFont = nullptr;
  QPushButton* Pnl_Colors[3] = {};  // grid, background, labels
  QPushButton* Pnl_Pens[10] = {};
  QSpinBox* Ed_ChannelNr = nullptr;
  QComboBox* Cb_GraphStyle = nullptr;
  QCheckBox* Chk_MinValue = nullptr;
  QCheckBox* Chk_MaxValue = nullptr;
  QCheckBox* Chk_Average = nullptr;
  QLineEdit* Ed_PlotMaxSamples = nullptr;
  QLineEdit* Ed_PlotMaxChannels = nullptr;
  QLabel* Lab_ChannelsInUse = nullptr;
  QLabel* Lab_FileSize = nullptr;
  QLineEdit* Ed_PlotFileName = nullptr;
  QLineEdit* Ed_ImportFile = nullptr;
  QLineEdit* Ed_ColumnSeparator = nullptr;
  QLineEdit* Ed_TimeColumn = nullptr;
  QLineEdit* Ed_ImportTimeFormat = nullptr;
  QCheckBox* Chk_EnableDebugging = nullptr;
  QAction* Menu_RunStop = nullptr;
};

extern TWatchForm* WatchForm;
