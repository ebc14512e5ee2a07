#pragma once
// The window "Test Tone Generators": three oscillators (waveform, frequency with a slider over a
// range of the user's choice, level in dB, AM and FM switches), the shared AM and FM
// modulators, the noise generator, the sine-table switch, the generator's on/off panel and the
// PTT line. Every control writes its SndConfig field at once; the audio thread takes frequency
// and level over through the oscillator's ParamsChanged flag and the noise through
// g_NoiseParamsChanged. One instance (GeneratorForm), created at start; GUI thread only.
#include <QWidget>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QScrollBar;
class QSpinBox;
class QMenu;
class QAction;
class TClickLabel;

class TGeneratorForm : public QWidget {
  Q_OBJECT
public:
  explicit TGeneratorForm(QWidget* parent = nullptr);
  ~TGeneratorForm() override;

  // Fills every control from the settings (the handlers stay quiet meanwhile); the modulator
  // waveforms are clamped to 0..3 and stored back.
  void SettingsToControls();

  // Slider mapping with the window's range and the maximum of ScrBar_freq.
  int FreqToSliderPos(double freq) const;
  double SliderPosToFreq(int pos) const;

  void FormCreate();
  void FormShow();
  void FormClose();
  void PopupMenu1Popup();
  void Menu_StayOnTopClick();
  void HelpClick();
  void Btn_StopClick();
  void Pnl_OnOffClick();
  void SineGeneratorChange();
  void Ed_FreqChange(int osc);
  void ScrBar_freqChange(int osc);
  void Ed_SinAmplChange(int osc);
  void Ed_NoiseLevelChange();
  void Chk_NoiseOnClick();
  void Combo_AmplModWaveformChange();
  void Combo_FreqModWavefrmChange();
  void Ed_FreqMinChange();
  void Ed_FreqMaxChange();
  void Chk_UseTableClick();
  void Chk_PttOnClick();

  int UpdateCount = 1;
  double FSliderMin = 0.0;     // Hz at slider position 0
  double FSliderMax = 5000.0;  // Hz at the slider maximum

  QCheckBox* Chk_Enable[3];
  QCheckBox* Chk_AM[3];
  QCheckBox* Chk_FM[3];
  QComboBox* Cb_Waveform[3];
  QLineEdit* Ed_Freq[3];
  QScrollBar* ScrBar_freq[3];
  QLineEdit* Ed_SinAmpl[3];
  QSpinBox* UD_SinAmpl[3];
  QLineEdit* Ed_AmplModFreq;
  QLineEdit* Ed_AmplModFactor;
  QLineEdit* Ed_AmplModCarrier;
  QComboBox* Combo_AmplModWaveform;
  QLineEdit* Ed_FreqModFreq;
  QLineEdit* Ed_FreqModIndex;
  QComboBox* Combo_FreqModWavefrm;
  QCheckBox* Chk_NoiseOn;
  QLineEdit* Ed_NoiseLevel;
  QSpinBox* UD_NoiseLevel;
  QLineEdit* Ed_FreqMin;
  QLineEdit* Ed_FreqMax;
  QCheckBox* Chk_UseTable;
  TClickLabel* Pnl_OnOff;
  QCheckBox* Chk_PttOn;
  TClickLabel* Pnl_Help;
  QMenu* PopupMenu1;
  QAction* Menu_StayOnTop;
  QAction* Menu_Help;

  static constexpr int HelpContext = 700;
  static constexpr uint32_t kOnColour = 0x00FF00;     // lime, 0x00BBGGRR
  static constexpr uint32_t kRangeRed = 0x0000FF;     // range edit limited
  static constexpr uint32_t kRangeYellow = 0x00FFFF;  // range empty or inverted

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

private:
  void SetSlidersMaximum();
  // New range: maximum and positions of the three sliders from the oscillator frequencies
  // (the fields stay as they are).
  void RescaleSliders();
};

extern TGeneratorForm* GeneratorForm;
