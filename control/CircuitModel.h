#pragma once
// The signal-path window's logic without Qt: the states of the diagram's blocks from one record
// of the audio thread's live state, the table of the 15 parameters the slider can drive, the
// Hilbert-length rule and the interpreter word "circuit.osc.freq". GUI thread only.
#include <cstdint>
#include <string>

// Block states; the window colours them.
enum : int {
  CIRCUIT_PASSIVE = 0,    // not running
  CIRCUIT_ACTIVE = 1,     // running
  CIRCUIT_SLIDER = 2,     // connected to the slider
  CIRCUIT_ERROR = 3,      // failed or clipped
  CIRCUIT_MISMATCH = 4,   // running in another state than its setting
};

// The coloured blocks of the diagram.
enum CircuitBlock : int {
  CB_SOUND_IN, CB_SOUND_OUT, CB_IN_MONITOR, CB_OUT_MONITOR,
  CB_MIXER_LEFT, CB_MIXER_RIGHT, CB_FILTER_LEFT, CB_FILTER_RIGHT, CB_GENERATOR,
  CB_IN_ADDER_LEFT, CB_IN_ADDER_RIGHT, CB_OUT_ADDER_LEFT, CB_OUT_ADDER_RIGHT,
  CB_AMPLIFIER5,  // amplifiers 5 .. 12 follow (number n at CB_AMPLIFIER5 + n - 5; 8 has none)
  CB_SPECTRUM = CB_AMPLIFIER5 + 8, CB_DIGI_MODULATOR, CB_DIGI_DEMOD,
  CB_COUNT
};

constexpr int kCircuitNrFlags = 50;

// What the block states are computed from: the audio thread's state as the window reads it.
struct CircuitLiveState {
  bool threadExists = false;
  bool threadSuspended = false;
  bool threadFinished = false;  // its loop has ended
  bool soundExists = false;     // the sound-card object exists
  bool inputWanted = false, outputWanted = false;
  bool inputOpen = false, outputOpen = false;  // the card's open states
  bool soundError = false;      // the card reports an input error
  bool outputOk = true;         // the last output write worked
  uint32_t flags[kCircuitNrFlags] = {};  // activity flags of the last block
  bool mixerRunning[2] = {};    // the mixer chain runs
  bool mixerEnabled[2] = {};    // the channel's enabled setting
  bool inMonitorVisible = false, outMonitorVisible = false;
  bool filterEdited[2] = {};    // the filter control window is shown and edits this channel
  bool generatorOn = false;     // SndConfig.StartSignalGenerator
  int inClips[2] = {}, outClips[2] = {};  // clip counts of the adders since the last look
  double gain[8] = {};          // SndConfig.Gain
  bool spectrumOn = false;
  int digimodeActive = 0;
  bool digiTx = false, digiRx = false;
};

// The state of every block; `connected` is the slider's parameter number (-1 none).
void ComputeCircuitStates(const CircuitLiveState& s, int connected, int states[CB_COUNT]);

// ---- Slider parameters ----
enum CircuitSliderGroup : int {
  CSG_LO_FREQ,     // 0 .. half the processing rate, Hz
  CSG_GAIN_DB,     // -100 .. 100 dB of a linear gain
  CSG_GEN_FREQ,    // 0 .. half the processing rate, Hz
  CSG_GEN_AMPL_DB, // -100 .. 10 dB of an oscillator amplitude
  CSG_NOISE_DB,    // -150 .. -30 dB as is
};
struct CircuitSliderParam {
  int number;        // what SndConfig.ConnectSlider1 stores
  const char* name;  // shown in the combo
  const char* unit;
  CircuitSliderGroup group;
};
constexpr int kCircuitSliderRows = 15;
extern const CircuitSliderParam kCircuitSliderTable[kCircuitSliderRows];

// Row of the number, -1 when the table has none.
int CircuitSlider_Row(int number);
// Slider range in positions for the number at the processing rate; false for an unknown number.
bool CircuitSlider_Range(int number, double processingRate, int* min, int* max);
// Current value of the parameter in slider units (Hz or dB); 0 for an unknown number.
double CircuitSlider_Read(int number);
// Writes a value in slider units into the parameter (with its change flag); true when it is a
// generator parameter (the generator window wants a refresh). Unknown numbers write nothing.
bool CircuitSlider_Write(int number, double value);
// " Hz" or " dB": the value label's unit.
const char* CircuitSlider_LabelUnit(int number);

// The Hilbert length typed in the string editor: its integer (old when it is none), made 4k + 1
// at or below (n OR 1); 37 when the result is outside 7 .. 101.
int CircuitHilbertLength(const std::string& text, int oldLength);

// ---- "circuit" interpreter word ----
// After "circuit." : "osc" ["."] "freq" [ [=] expression ]. Read: mixer chain 0's oscillator
// frequency. Set: SndConfig.MixerFrequency and chain 0's oscillator. -1 syntax, -4 unknown word,
// -6 a value that is not finite (nothing changes), or the expression's code.
int CLI_EvalCircuitObject(int source, double* result);
int CLI_EvalCircuitOscFreq(int source, double* result);
// Registers CLI_EvalCircuitObject as the word "circuit" (for the whole run).
void Circuit_RegisterWords();
