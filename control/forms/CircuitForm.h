#pragma once
// The window "Vartumo  Components": the audio thread's processing chain as a block diagram.
// Each block is coloured by its live state (read every 500 ms), each block or switch toggles
// its setting or opens the window that edits it, a pop-up sets up either frequency mixer, and
// one slider drives one of 15 parameters. One instance (CircuitForm), created at start; GUI
// thread only. Windows of the main window's folder are reached through Upcalls, which the main
// window installs (each may be empty: the action then does nothing); the generator and filter
// windows of this folder are called directly (a filter call set in Upcalls takes precedence).
#include <QWidget>
#include <functional>

#include "control/CircuitModel.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QSlider;
class QTimer;
class TClickLabel;

struct CircuitUpcalls {
  std::function<void(int channel)> ShowScope;      // 0 input, 1 output monitor scope
  std::function<bool(int channel)> ScopeVisible;
  std::function<void()> ShowMainWindow;
  std::function<void()> ShowDigimodeTerminal;
  std::function<void(int channel)> ShowFilterControl;  // sets the edited channel, shows it
  std::function<bool(int channel)> FilterControlEdits; // shown and editing this channel
};

class TCircuitForm : public QWidget {
  Q_OBJECT
public:
  explicit TCircuitForm(QWidget* parent = nullptr);

  static CircuitUpcalls Upcalls;

  // State 0..4 of a block as last drawn.
  int BlockState(CircuitBlock b) const { return m_drawn[b]; }
  QWidget* BlockWidget(CircuitBlock b) const { return m_blocks[b]; }

  void FormCreate();
  void FormClose();
  void Timer1Timer();
  void UpdateCircuitDisplay();
  void ApplyMixerSettings(int channel);
  void SetupSliderForParameter(int number);
  void ApplySliderValue(bool write);

  // Diagram handlers.
  void Pnl_SoundInClick();
  void Pnl_SoundOutClick();
  void MonitorClick(int channel);
  void FilterClick(int channel);
  void Pnl_SpectrumClick();
  void Img_SpectrumSwitchClick();
  void SpectrumFromMouseDown(bool input);
  void GeneratorSwitchClick(int bit);
  void GeneratorToMouseDown(bool input);
  void Pnl_GeneratorClick();
  void DigimodeClick();
  void MixerClick(int channel, const QPoint& globalPos);
  // Mixer pop-up.
  void Popup_FreqMixerPopup();
  void Menu_MixerEnableClick();
  void Menu_MixDcRejectClick();
  void MixSidebandClick(int mode);
  void Menu_MixerHilbertLengthClick();
  void Pop_ConnectVfoToSlider1Click();
  // Oscillator edits and slider.
  void Ed_LoFreqChange(int channel);
  void TrackBar1Change();
  void Combo_ConnSlider1Change();
  void Menu_StayOnTopClick();

  int MixerChannel = 0;     // channel of the mixer pop-up
  int UpdateCount = 0;      // > 0: the edit and slider handlers do nothing
  int LoEditCountdown = 0;  // ticks until typed oscillator frequencies are applied
  int ConnectedNumber = -1; // slider parameter, -1 none
  double ConnectedValue = 0.0;

  TClickLabel* Pnl_SoundIn;
  TClickLabel* Pnl_SoundOut;
  TClickLabel* Pnl_InputMon;
  TClickLabel* Pnl_OutputMon;
  TClickLabel* Pnl_Filter1Left;
  TClickLabel* Pnl_Filter1Right;
  QLabel* Lab_Filter2Left;
  QLabel* Lab_Filter2Right;
  TClickLabel* Pnl_Spectrum;
  TClickLabel* Pnl_Generator;
  TClickLabel* Pnl_DigiModulator;
  TClickLabel* Pnl_DigiDemod;
  TClickLabel* Pnl_Mixer;
  TClickLabel* Pnl_Mixer2;
  TClickLabel* Pnl_LeftLO;
  TClickLabel* Pnl_RightLO;
  TClickLabel* Img_SpectrumSwitch;
  TClickLabel* Img_LeftGeneratorSwitch;
  TClickLabel* Img_RightGeneratorSwitch;
  TClickLabel* Shp_SpectrumFromInput;
  TClickLabel* Shp_SpectrumFromOutput;
  TClickLabel* Shp_GeneratorToInput;
  TClickLabel* Shp_GeneratorToOutput;
  TClickLabel* Img_Amplifier[8];  // amplifiers 5..12 (index n - 5; 8 has none)
  QLineEdit* Ed_LeftLoFreq;
  QLineEdit* Ed_RightLoFreq;
  QSlider* TrackBar1;
  QComboBox* Combo_ConnSlider1;
  QLabel* Lab_Slider1Value;
  QMenu* Popup_FreqMixer;
  QAction* Menu_MixerAndOscillator;
  QAction* Menu_MixerEnable;
  QAction* Menu_MixDcReject;
  QAction* Menu_MixSideband[5];  // Menu_MixBothBands, LSBOnly, USBOnly, LSBdown, USBdown
  QAction* Menu_MixerHilbertLength;
  QAction* Menu_LOfrequency;
  QAction* Pop_ConnectVfoToSlider1;
  QMenu* PopupMenu1;
  QAction* Menu_StayOnTop;
  QAction* Help1;
  TClickLabel* Btn_Menu;
  TClickLabel* Btn_Help;
  QTimer* Timer1;

  static constexpr int HelpContext = 900;
  static constexpr int MixerHelpContext = 750;
  // Colours of the states 0..4 (0x00BBGGRR).
  static constexpr uint32_t kStateColours[5] = {0xC0C0C0, 0x00FF00, 0xFFFF00, 0x0000FF, 0x00FFFF};

protected:
  void closeEvent(QCloseEvent* e) override;

private:
  CircuitLiveState GatherLiveState();
  void DrawBlock(CircuitBlock b, int state);
  void RenewLoEditColour(int channel);
  void SetSwitchPicture(TClickLabel* w, const char* picture);

  QWidget* m_blocks[CB_COUNT] = {};
  int m_drawn[CB_COUNT];
  int m_states[CB_COUNT] = {};
  int m_lastSpectrumToInput = -1, m_lastGenToInput = -1, m_lastGenMask = -1;
  double m_lastOscFreq[2] = {-1.0, -1.0};
  double m_lastRate = -1.0;
  bool m_generatorRefresh = false;
};

extern TCircuitForm* CircuitForm;
