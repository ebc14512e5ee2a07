#pragma once
// TConfigDlg: the configuration dialog, where the user edits most of the settings (MachineConfig
// and SndConfig) on eleven pages. SettingsToControls fills the controls; only Btn_Apply writes
// them back, checked and corrected, and sets the redraw request mask so that the main loop
// reconfigures what changed. Live previews: the time zone (undone when the dialog is closed
// without Apply) and the dB-offset result. GUI thread only.
//
// The code of the one class is split by duty:
//   ConfigDlg.cpp         construction of the pages, activation, help, closing
//   ConfigDlg_Apply.cpp   SettingsToControls, Btn_ApplyClick, the rate and dB-offset texts
//   ConfigDlg_Audio.cpp   sound devices, audio-server options, calibration, time zone
//   ConfigDlg_Colors.cpp  colour panels and the reference spectrum page
#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QTableWidget;
class QTimer;
class TClickLabel;

class TConfigDlg : public QDialog {
  Q_OBJECT
public:
  static constexpr uint32_t HELP_CONTEXT = 200;
  static constexpr uint32_t HELP_INTERFACE = 210;
  static constexpr uint32_t HELP_AUDIO = 220;
  static constexpr uint32_t HELP_FFT = 230;
  static constexpr uint32_t HELP_DISPLAY = 240;
  static constexpr uint32_t HELP_REFERENCE_FILE = 250;

  explicit TConfigDlg(QWidget* parent = nullptr);
  ~TConfigDlg() override;

  // --- Members besides the controls ---
  int UpdateCount = 1;         // > 0 while code fills the controls
  bool DeviceChanged = false;  // input device or server channel option changed by the user
  bool ServerNamesOk = true;   // result of the last audio-server name check

  // --- Whole dialog ---
  void SettingsToControls();
  void UpdateRateInfo();
  void UpdateDbOffsetInfo();
  void Btn_ApplyClick();
  void Btn_CloseClick();
  void Btn_HelpClick();
  void FormActivate();
  // Shows the dialog (or brings it to the front) on the named page.
  void ShowPage(QWidget* page);
  // The help topic of the current page (F1).
  uint32_t CurrentHelpContext() const;

  // --- Devices, server, calibration, time zone (ConfigDlg_Audio.cpp) ---
  void FillSoundDeviceLists();
  void UpdateAudioServerControls();
  void SwitchToServer();
  void Combo_SoundInputDeviceChange();
  void Chk_StereoServerADCClick();
  void Chk_StereoServerDACClick();
  void UpdateCalibrationTable(int kind);  // 0 ADC, 1 DAC
  void Btn_CalibrateADCClick() { UpdateCalibrationTable(0); }
  void Btn_CalibrateDACClick() { UpdateCalibrationTable(1); }
  void Ed_LocalMinusUTC_hoursChange();
  void Timer1Timer();

  // --- Colours and reference spectrum (ConfigDlg_Colors.cpp) ---
  // Panel background = colour (0x00BBGGRR), text in the contrasting colour.
  static void SetColorPanel(QLabel* panel, uint32_t colour);
  static uint32_t PanelColor(const QLabel* panel);
  // The common colour dialog for the panel; on OK the panel shows the chosen colour.
  void PickPanelColor(QLabel* panel);
  void Btn_DefineRefClick();
  void Btn_LoadSpectrumRefClick();
  void Btn_SaveSpectrumRefClick();

  // --- Controls outside the pages ---
  QTabWidget* PC_Config;
  QPushButton* Btn_Apply;
  QPushButton* Btn_Close;
  QPushButton* Btn_Help;
  QPlainTextEdit* Memo_Messages;
  QTimer* Timer1;

  // --- Pages ---
  QWidget* TS_AudioSettings;
  QWidget* TS_AudioServer;
  QWidget* TS_Interface;
  QWidget* TS_Memory;
  QWidget* TS_FFT_Settings;
  QWidget* TS_SpectrumDisplay;
  QWidget* Ts_ExtDisplay;
  QWidget* TS_WaveFile;
  QWidget* Ts_Markers;
  QWidget* TS_System;
  QWidget* TS_FreqRespCalib;

  // "Audio Settings"
  QComboBox* Combo_SoundInputDevice;
  QLabel* Lab_NrInputDevices;
  TClickLabel* Lab_AudioInDisabledBecause;
  QComboBox* Combo_SoundOutputDevice;
  QLabel* Lab_NrOutputDevices;
  TClickLabel* Lab_AudioOutDisabledBecause;
  QComboBox* Combo_InputSampleRate;
  QComboBox* Combo_InputSampleRateDivisor;
  QCheckBox* Chk_InputAntiAlias;
  QLineEdit* Ed_AntiAliasFilterLength;
  QTableWidget* SG_SampleRateCalib;
  QLineEdit* Ed_CorrectFreq;
  QLineEdit* Ed_DisplayedFreq;
  QPushButton* Btn_CalibrateADC;
  QPushButton* Btn_CalibrateDAC;
  QCheckBox* Chk_StereoProcessing;
  // "Client/Server"
  QCheckBox* Chk_InputFromServer;
  QCheckBox* Chk_OutputToServer;
  QLineEdit* Ed_RemoteAudioServerName;
  QCheckBox* Chk_OwnAudioServerEnabled;
  QLineEdit* Ed_OwnAudioServerName;
  QCheckBox* Chk_StereoServerADC;
  QCheckBox* Chk_StereoServerDAC;
  // "TRX Interface"
  QComboBox* Combo_PttPort;
  QListWidget* LBox_PTTLine;
  QListWidget* LBox_KeyerLine;
  QListWidget* LBox_AlertLine;
  // "Memory"
  QLineEdit* Ed_BufferedSpectrumLines;
  // "FFT"
  QComboBox* Combo_FftRateDivisor;
  QCheckBox* CHK_FftAntiAlias;
  QComboBox* Combo_InputFftSize;
  QRadioButton* RBtn_RealFFT;
  QRadioButton* RBtn_ComplexFFT;
  QComboBox* Combo_FftWindow;
  QLineEdit* Ed_FftCenterFreq;
  QLineEdit* Ed_FftAverage;
  QSpinBox* UD_InputFftAverage;
  QCheckBox* Chk_LogFftOutput;
  QLabel* Lab_FftInputInfo;
  QLabel* Lab_FftResolution;
  QLabel* Lab_FftBand;
  // "Spectrum display"
  QCheckBox* Chk_RotateSpectra;
  QCheckBox* Chk_MirrorForLSB;
  QComboBox* Combo_SpectrumStyleAndPosition;
  QCheckBox* Chk_DoubleWidthLines;
  QCheckBox* Chk_NoWaterScroll;
  QCheckBox* Chk_OptWaterAverage;
  QCheckBox* Chk_AmplGrid;
  QCheckBox* Chk_FreqGridGraph;
  QCheckBox* Chk_FreqGridWater;
  QCheckBox* Chk_FreqGridDotted;
  QCheckBox* Chk_TimeGrid;
  QCheckBox* Chk_TimeGridDotted;
  QComboBox* Combo_TimeLabelType;
  QLineEdit* Ed_WaterGridInterval;
  QRadioButton* Rbtn_WaterTGrid_sec;
  QRadioButton* Rbtn_WaterTGrid_min;
  QLineEdit* Ed_WaterfallScrollInterval;
  QRadioButton* Rbtn_WaterScroll_ms;
  QRadioButton* Rbtn_WaterScroll_sec;
  QRadioButton* Rbtn_WaterScroll_min;
  QLineEdit* Ed_AmplMin;
  QLineEdit* Ed_AmplMax;
  QLineEdit* Ed_dBOffsetExpr;
  QLineEdit* Ed_dBOffsetResult;
  // "Display Colors "
  TClickLabel* Pnl_SpectrumBackgndColor;
  TClickLabel* Pnl_SpectrumGridColor;
  TClickLabel* Pnl_SpectrumPen1Color;
  TClickLabel* Pnl_SpectrumPen2Color;
  TClickLabel* Pnl_SpectrumPen3Color;
  TClickLabel* Pnl_FreqScaleBgColor;
  TClickLabel* Pnl_FreqScaleFgColor;
  TClickLabel* Pnl_WaterGridColor;
  TClickLabel* Pnl_WaterLabelTextColor;
  QCheckBox* Chk_WaterLabelTransparent;
  // "Wave Files"
  QCheckBox* Chk_EndlessPlayLoop;
  QCheckBox* Chk_PlayWaveUpsampled;
  QCheckBox* Chk_PlayWaveDownsampled;
  QCheckBox* Chk_PlayWaveAntialiasing;
  QCheckBox* Chk_PlayWaveSpeedModify;
  QLineEdit* Ed_PlayWaveSpeedPercent;
  QCheckBox* Chk_SaveWaveDownsampled;
  QLineEdit* Ed_SaveWaveMinRate;
  QCheckBox* Chk_SaveWaveAntialiasing;
  QCheckBox* Chk_SaveWaveAsRawFile;
  QCheckBox* Chk_SaveWaveInfosInHeader;
  QLineEdit* Ed_SaveWaveMaxSize;
  // "Markers"
  QTableWidget* Sg_Markers;
  // "System"
  QLineEdit* Ed_LocalMinusUTC_hours;
  QLabel* Lab_UTC_Time;
  // "Ampl. calibration"
  TClickLabel* Pnl_SpectrumRef;
  QCheckBox* Chk_RefVisible;
  QCheckBox* Chk_RefSubtract;
  QLineEdit* Ed_SpecRefFilename;
  QPushButton* Btn_DefineRef;
  QPushButton* Btn_LoadSpectrumRef;
  QPushButton* Btn_SaveSpectrumRef;

protected:
  bool event(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

private:
  void CreatePages();
  QWidget* CreateAudioPage();
  QWidget* CreateServerPage();
  QWidget* CreateInterfacePage();
  QWidget* CreateMemoryPage();
  QWidget* CreateFftPage();
  QWidget* CreateDisplayPage();
  QWidget* CreateColorsPage();
  QWidget* CreateWavePage();
  QWidget* CreateMarkersPage();
  QWidget* CreateSystemPage();
  QWidget* CreateReferencePage();
  // Runs one of the dialog's own modal dialogs; the activation its closing causes does not
  // refill the controls.
  bool RunOwnDialog(const std::function<bool()>& f);
  void AddMessage(const QString& text);
  // Red background and the corrected flag (m_Corrected).
  void Mark(QWidget* w);
  void Unmark(QWidget* w);
  // Step 3 of Apply: time zone, devices, server, rates and calibration.
  void ApplyAudioControls();
  void CalibrationToControls();
  // Reads a real from an edit: the value last shown when the text is unchanged (so an
  // untouched edit keeps the exact setting), else the text's value or def.
  double ReadReal(QLineEdit* ed, double def) const;
  void ShowReal(QLineEdit* ed, const char* pattern, double value);

  bool m_Corrected = false;
  int m_OwnDialogs = 0;           // own modal dialogs running
  bool m_SkipActivation = false;  // the next activation comes from closing an own dialog
  QButtonGroup* m_TimeGridUnit = nullptr;
  QButtonGroup* m_ScrollUnit = nullptr;
};

extern TConfigDlg* ConfigDlg;
