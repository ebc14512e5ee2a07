#pragma once
// Settings record of the digital-mode engine, and its file DIGIMODE.INI.
//
// One record for the process. The GUI thread (terminal window, configuration dialog, the
// "digimode" interpreter word) writes it; the audio thread's coders read it once per block, so
// every scalar field is an AtomicField. The plug-in name is read by the GUI thread only.
#include <string>

#include "engine/AtomicField.h"

// Operating modes (OperMode).
enum : int {
  DIGIMODE_OPMODE_UNKNOWN = 0,
  DIGIMODE_OPMODE_CHARS = 1,   // characters (PSK, FSK scope)
  DIGIMODE_OPMODE_BLOCKS = 2,  // data blocks
  DIGIMODE_OPMODE_HELL = 3,    // "HELL modes"
};

// Modulation codes the built-in coders act on (the others: 0 unknown, 1 other, 2 CW / OOK,
// 3 ASK, 4 PSK, 6 APK, 7 Parallel MT, 10 OQPSK, 11 MSK, 12 MPSK, 13 MFSK / SMT, 14 Chirped MT,
// 15 reserved).
enum : int {
  DIGIMODE_MOD_FSK = 5,
  DIGIMODE_MOD_BPSK = 8,
  DIGIMODE_MOD_QPSK = 9,
};

constexpr int kDigimodeDllNameSize = 256;  // name holds at most 255 characters

struct T_DigimodeSettings {
  AtomicField<int> OperMode{1};          // 0 unknown, 1 characters, 2 data blocks, 3 Hellschreiber
  AtomicField<int> Modulation{8};        // modulation code (above)
  AtomicField<int> CodesetNr{5};         // 1 Morse, 2 Baudot, 3 ASCII 7, 4 ASCII 8, 5 PSK31 Varicode
  AtomicField<int> ScopeMode{3};         // 0 off, 1 X/Y, 2 U(t), 3 bit phase vectors, 4 phase/time
  AtomicField<double> fc_rx{2200.0};     // receive centre frequency, Hz
  AtomicField<double> fc_tx{2200.0};     // transmit centre frequency, Hz
  AtomicField<double> f_shift{170.0};    // FSK shift, Hz
  AtomicField<double> symbol_rate{50.0}; // symbols per second
  AtomicField<bool> rev_keying{false};   // swaps the two FSK filters
  AtomicField<int> pulse_shaping{1};     // 0 off, 1 amplitude ramp, 2 slow phase transition
  AtomicField<double> shape_percent{100.0};  // transition length, percent of a symbol, 0..100
  AtomicField<double> output_level{100.0};   // transmit level, percent
  AtomicField<int> squelch_thrsh{25};    // squelch threshold on the 0..100 quality scale
  AtomicField<bool> use_afc{true};       // automatic frequency control
  AtomicField<bool> narrow_afc{false};   // narrow AFC capture range
  AtomicField<double> afc_tune_range{100.0};  // Hz, for a plug-in
  char name[kDigimodeDllNameSize] = "DemoDll.dll";  // mode plug-in file name (GUI thread)
  AtomicField<bool> use_it{false};       // load and use the mode plug-in
  AtomicField<int> cut_top{0};           // pixel row at which Hellschreiber text is drawn
};

// The one digimode settings record of the process.
inline T_DigimodeSettings DigimodeSettings;

// Font of the Hellschreiber transmit image as section [HELL_FONT] stores it.
struct T_DigimodeHellFont {
  std::string name;
  int height = -8;
  int style = 0;  // bit 0 bold, bit 1 italic, bit 2 underline
};

// Every field to its start value, one by one (name "DemoDll.dll", use_it off).
void DigimodeSettings_SetDefaults(T_DigimodeSettings& s);

// Sane ranges of the values read from DIGIMODE.INI; a value beyond its range is read as the
// nearest end of it (the file is the user's to edit, and nothing downstream has to guard).
inline constexpr int kDigimodeMaxOperMode = 6;      // 0..6 (4-6 reserved)
inline constexpr int kDigimodeMaxModulation = 15;   // 0..15, the modulation codes
inline constexpr int kDigimodeMaxCodeset = 5;       // 0..5
inline constexpr int kDigimodeMaxScopeMode = 4;     // 0..4
inline constexpr int kDigimodeMaxPulseShaping = 2;  // 0..2
inline constexpr double kDigimodeMaxAudioFreq = 100000.0;  // fc_rx, fc_tx, f_shift,
                                                           // afc_tune_range: 0..100 kHz
inline constexpr double kDigimodeMinSymbolRate = 0.1;      // symbols per second
inline constexpr double kDigimodeMaxSymbolRate = 10000.0;
inline constexpr int kDigimodeMaxPercent = 100;     // shape_percent, output_level, squelch_thrsh
inline constexpr int kDigimodeMaxCutTop = 32;       // cut_top: -32..32 rows (the image's height)
inline constexpr int kHellFontMaxPixels = 256;      // [HELL_FONT] height: -256..256

// Reads DIGIMODE.INI-style keys into s and, when font is not null, section [HELL_FONT] into
// *font. Absent or unreadable integers and doubles keep the current value (doubles also keep
// it for non-finite text); every value read is clamped to its range above; the booleans
// rev_keying, use_afc and narrow_afc are true for any non-zero integer; use_it is off when
// absent; an absent name leaves the name empty, a longer one is cut to 255 characters. A
// missing file reads as all keys absent.
// Font: "name" and "height" default to the font's current values, "style" to 0; cut_top to 0.
void DigimodeSettings_LoadFromIni(const std::string& fileName, T_DigimodeSettings& s,
                                  T_DigimodeHellFont* font);

// The pixel size of the Hellschreiber transmit image's font for the height [HELL_FONT] stores
// (negative: the character height, positive: the cell height, both in pixels):
// 1..kHellFontMaxPixels, or 0 when the height says nothing (0: the font keeps its size).
int HellFontPixelSize(int height);

// Writes the same sections and keys in the same order (booleans as 0 or 1, doubles with up to
// 15 significant digits). Section [HELL_FONT] only when font is not null, except cut_top, which
// is always written there. False when the file cannot be written.
bool DigimodeSettings_SaveToIni(const std::string& fileName, const T_DigimodeSettings& s,
                                const T_DigimodeHellFont* font);
