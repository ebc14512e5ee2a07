#pragma once
// The machine part of the settings: what belongs to this PC and its hardware.
// Persisted as settings part 1 (SETTINGS_PART_MACHINE) by SettingsIni.h.
//
// Scalar fields are AtomicField (see AtomicField.h): the GUI thread writes them, the audio thread
// reads them without a lock. Only the GUI thread writes.
#include "engine/AtomicField.h"

// Nominal sample rates that have a calibration entry, in the order of the calibration arrays.
inline constexpr int kNrCalibRates = 6;
inline constexpr int kCalibNominalRates[kNrCalibRates] = {5512, 8000, 11025, 22050, 44100, 48000};

struct T_MachineConfig {
  // [PTT_CONTROL]
  AtomicField<int> PttPortNumber;    // "PttPortNumber": 0 none, 1..4 COM1..COM4; default 0
  AtomicField<int> PttLineNr;        // "PttLineNr": 0 none, 1 TXD, 2 RTS, 3 DTR; default 2
  AtomicField<int> KeyerLineNr;      // "KeyerLineNr": Morse keying line, same codes; default 3
  AtomicField<int> AlertBellLineNr;  // "AlertBellLineNr": alert bell line, same codes; default 1
  // [SOUNDCARD]
  AtomicField<int> AudioInputDevID;   // "AudioInputDevID": -1 default device; -1 when missing
  AtomicField<int> AudioOutputDevID;  // "AudioOutputDevID": -1 default device; -1 when missing
  // "Calib%05d" / "CalibDAC%05d" with the nominal rate (Calib05512 .. Calib48000): measured real
  // input / output sample rate per nominal rate of kCalibNominalRates; default the nominal rate.
  AtomicField<double> CalibADC[kNrCalibRates];
  AtomicField<double> CalibDAC[kNrCalibRates];
  // [MEMORY]
  AtomicField<int> BufferedSpcLines;  // "BufferedSpcLines": spectrum history lines; default 150
  // [SYSTEM]
  AtomicField<int> LocalMinusUTC;         // "LocalMinusUTC": hours; default 0
  AtomicField<double> DailyRtcError;      // "DailyRtcError": carried through load and save
  AtomicField<double> DailyRtcReference;  // "DailyRtcReference": carried through load and save
};

// The one machine settings record of the process.
extern T_MachineConfig MachineConfig;
