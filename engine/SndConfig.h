#pragma once
// The processing, display and user settings record SndConfig (everything but the machine part).
// Defaults, quick presets and the INI load/save are in SettingsIni.h.
//
// Field names follow their INI keys. Units: frequencies in Hz, amplitudes in dB, times of day in
// seconds since midnight, colours 0x00BBGGRR (red in the low byte).
//
// Threads: only the GUI thread writes the record; the audio thread reads its scalar fields
// without a lock. Scalar fields are therefore AtomicField (release stores, acquire loads; see
// AtomicField.h). Text fields (char arrays) are GUI-thread only: the audio thread never reads
// them. Every text field is zero-terminated within its array; writers copy at most the
// number of characters given beside it (SettingsCopyText does that).
//
// Defaults given here are those that SetDefaultSettings sets; fields marked "no key" are never
// stored. "missing: X" names the fixed value a load stores when the key is absent; all other
// keys keep the field's value when absent.
#include <cstddef>

#include "engine/AtomicField.h"

// Oscillator of the test-signal generator ([SIGNAL_GENERATOR], keys carry the index i).
struct SineGenSettings {
  AtomicField<double> SinFreq;  // "SinFreq"+i: default 900 + 100*i
  AtomicField<double> SinAmpl;  // "SinAmpl"+i: default 0.1
  AtomicField<bool> Enabled;    // "Enabled"+i: default 1
  AtomicField<bool> AmMod;      // "AmMod"+i: default 0
  AtomicField<bool> FmMod;      // "FmMod"+i: default 0
  AtomicField<int> Wave;        // "Wave"+i: 0 sine, 1 rectangle, 2 triangle, 3 sawtooth
  // no key: set to 1 by each load of the processing part after the entry's fields; the
  // generator re-reads an entry whose flag is set (the flag is the hand-over point).
  AtomicField<bool> ParamsChanged;
};

// Settings of one frequency mixer chain (same types and order as the first mixer's fields).
struct MixerSettings {
  AtomicField<bool> FreqMixerEnabled;
  AtomicField<bool> MixerDcReject;
  AtomicField<double> MixerFrequency;
  AtomicField<int> MixerSideband;
};

// Scheduled action ([SCHEDULE0] .. [SCHEDULE11]).
struct ScheduleEntry {
  AtomicField<int> Time;  // "Time": seconds of the day, -1 unused
  char ActionCmd[256];    // "ActionCmd": interpreter command; missing: "capture"
};

// User menu entry ([USER_MENU0] .. [USER_MENU9]); at most 32 characters of each text.
struct UserMenuEntry {
  char MenuText[33];     // "MenuText": default "My Menu #<i+1>"
  char ProfileName[33];  // "ProfileName": default "MyProf<i+1>"
};

// Frequency marker ([FREQ_MARKERS], keys carry the marker index); at most 80 characters each.
struct FreqMarkerEntry {
  char Name[81];     // "Name"+i
  char SetProc[81];  // "SetProc"+i: interpreter statement run with the marker frequency as x
  char GetFunc[81];  // "GetFunc"+i: interpreter expression giving the marker frequency
};

inline constexpr int kNrGains = 8;
inline constexpr int kNrSineGens = 3;
inline constexpr int kNrScheduleEntries = 12;
inline constexpr int kNrUserMenuEntries = 10;
inline constexpr int kNrFreqMarkers = 3;
inline constexpr int kNrFilterChannels = 2;
inline constexpr int kNrSpectrumPens = 4;

struct T_SndConfig {
  // [SOUNDCARD] (processing keys)
  AtomicField<int> SampleRate;               // "SampleRate": nominal rate; default 11025
  AtomicField<int> SampleRateDivisor;        // "SampleRateDivisor": default 1
  AtomicField<int> InputAntiAlias;           // no key: 0/1 anti-alias for the input divisor
  AtomicField<int> GetAudioFromServer;       // "GetAudioFromServer": 0/1; missing: 0
  AtomicField<int> SendAudioToServer;        // "SendAudioToServer": 0/1; missing: 0
  AtomicField<int> OwnAudioServerEnabled;    // "OwnAudioServerEnabled": 0/1; missing: 0
  AtomicField<int> RightADChannelForServer;  // "RightADChannelForServer": 0/1; missing: 0
  AtomicField<int> RightDAChannelForServer;  // "RightDAChannelForServer": 0/1; missing: 0
  char RemoteAudioServerName[256];           // "RemoteAudioServerName": missing: ""
  char OwnAudioServerName[256];              // "OwnAudioServerName": missing: ""

  // [SOUND_THREAD]
  AtomicField<int> StereoProcessing;  // "StereoProcessing": 0/1 two channels; default 0

  // [FFT_INPUT], [FFT_OUTPUT], [DISPLAY] first group
  AtomicField<int> NrOfSamples;     // FFT_INPUT "NrOfSamples": FFT length; default 16384
  AtomicField<int> Average;         // FFT_INPUT "Average": FFTs per line; default 1
  AtomicField<int> WindowFunc;      // FFT_INPUT "WindowFunc": 0 rect, 1 Hamming, 2 Hann; default 2
  AtomicField<int> ComplexFFT;      // FFT_INPUT "ComplexFFT": 0/1; default 0
  AtomicField<int> LogSpectrum;     // FFT_OUTPUT "LogSpectrum": 0/1 dB output; default 1
  AtomicField<double> FreqMin;      // DISPLAY "FreqMin": lowest displayed freq (with offset); 0
  AtomicField<double> FreqMax;      // DISPLAY "FreqMax": highest displayed frequency; 1200
  AtomicField<double> FreqOffset;   // DISPLAY "FreqOffset": added to displayed freqs; 0
  AtomicField<double> AmplMin;      // DISPLAY "AmplMin": default -100
  AtomicField<double> AmplMax;      // DISPLAY "AmplMax": default 0
  char UserDbOffset[84];            // FFT_OUTPUT "UserDbOffset": expression, <= 80 chars; "0.0"
  AtomicField<int> RateDivisor;     // FFT_INPUT "RateDivisor": FFT ring decimation; default 1
  AtomicField<int> FftInputAntiAlias;  // FFT_INPUT "AntiAlias": 0/1; default 0

  // [DISPLAY] second group and [SPECTRUM_REF]
  AtomicField<int> SpectrumOrient;     // "SpectrumOrient": 0 horizontal, 1 vertical; 0
  AtomicField<int> SpectrumMirror;     // "SpectrumMirror": 0/1; 0
  AtomicField<int> SpectrumStyleNPos;  // "SpectrumStyleNPos": 0..3; 2
  AtomicField<int> AmplitudeGrid;      // "AmplitudeGrid": 0/1; 1
  AtomicField<int> FrequencyGrid;      // "FrequencyGrid": 0/1; 1
  AtomicField<int> FreqGridStyle;      // "FreqGridStyle": 1 dotted, 0 solid; 1
  char SpectrumRefFileName[256];       // SPECTRUM_REF "FileName": working dir + "spectrum.ref"
  AtomicField<int> SpectrumRefVisible;   // SPECTRUM_REF "Visible": 0/1; 0
  AtomicField<int> SpectrumRefSubtract;  // SPECTRUM_REF "Subtract": 0/1; 0
  AtomicField<int> SpectrumRefColor;     // SPECTRUM_REF "Color": 0xFF7F7F
  AtomicField<int> SpectrumBgColor;      // "SpectrumBgColor": 0x000000
  AtomicField<int> SpectrumGridColor;    // "SpectrumGridColor": 0x808080
  // "SpectrumPenColor0".."SpectrumPenColor3": 0x00FFFF, 0xFF7F7F, 0x00FF00, 0xFFFF00
  AtomicField<int> SpectrumPenColor[kNrSpectrumPens];
  AtomicField<int> FreqscaleBgColor;       // "FreqscaleBgColor": 0x60C0FF
  AtomicField<int> FreqscaleFgColor;       // "FreqscaleFgColor": 0x000000
  AtomicField<int> WaterFreqGrid;          // "WaterFreqGrid": 0/1; 1
  AtomicField<int> WaterGridColor;         // "WaterGridColor": 0xFFFFFF
  AtomicField<int> WaterLabelTextColor;    // "WaterLabelTextColor": 0xFFFFFF
  AtomicField<int> WaterLabelTransparent;  // "WaterLabelTransparent": 0/1; 1
  AtomicField<int> WaterTimeGrid;          // "WaterTimeGrid": 0/1; 1
  AtomicField<int> WaterTimeLabel;         // "WaterTimeLabel": 0..4; 3
  AtomicField<int> TimeGridStyle;          // "TimeGridStyle": 1 dotted, 0 solid; 1
  AtomicField<int> TimeGridSeconds;        // "TimeGridSeconds": 30
  AtomicField<int> WaterScrollTime;        // "WaterScrollTime": line interval in ms; 300
  AtomicField<int> WaterLineWidth;         // "WaterLineWidth": pixels per line; 1
  AtomicField<int> WaterScrollEnabled;     // "WaterScrollEnabled": 1
  AtomicField<int> WaterfallAveraging;     // "WaterfallAveraging": 0/1; 1
  AtomicField<int> SpectrumOn;             // no key: 0/1 spectrum calculation on; 1
  AtomicField<int> ColorPalContrast;       // "ColorPalContrast": 57
  AtomicField<int> ColorPalBrightness;     // "ColorPalBrightness": 88

  // [WAVE_ANALYSIS], [WAVE_SAVE], [DIGIMODE], [DCF77]
  AtomicField<int> PlayInLoops;            // WAVE_ANALYSIS "PlayInLoops": 0
  AtomicField<int> PlayUpsampled;          // WAVE_ANALYSIS "PlayUpsampled": 1
  AtomicField<int> PlayDownsampled;        // WAVE_ANALYSIS "PlayDownsampled": 1
  AtomicField<int> WaveAnalysisAntiAlias;  // WAVE_ANALYSIS "AntiAlias": 1
  AtomicField<int> ModifySpeed;            // WAVE_ANALYSIS "ModifySpeed": 0
  AtomicField<int> SpeedPercent;           // WAVE_ANALYSIS "SpeedPercent": 100
  AtomicField<int> WaveSaveDownsampled;    // WAVE_SAVE "Downsampled": 0
  AtomicField<int> WaveSaveSampleRate;     // WAVE_SAVE "SampleRate": 4000
  AtomicField<int> WaveSaveAntiAlias;      // WAVE_SAVE "AntiAlias": 0
  AtomicField<int> WaveFileFormat;         // WAVE_SAVE "WaveFileFormat": 1 raw, 2 RIFF; 2
  AtomicField<int> InfoInHeader;           // WAVE_SAVE "InfoInHeader": 1
  AtomicField<int> MaxFileSize;            // WAVE_SAVE "MaxFileSize": kilobytes; 1400
  AtomicField<int> DigimodeActive;         // DIGIMODE "Active": > 0 runs the digimode hooks; 0
  AtomicField<int> Dcf77Active;            // DCF77 "Active": > 0 runs the time decoder; 0
  char TxIdText[256];                      // no key: digimode identification text; ""
  AtomicField<int> MetronomeOn;            // no key: 0/1; 0

  // [CIRCUIT]
  AtomicField<int> ConnectSpectrumToInput;   // "ConnectSpectrumToInput": 0/1; 1
  AtomicField<int> ConnectGeneratorToInput;  // "ConnectGeneratorToInput": channel bits; 3
  AtomicField<int> GeneratorChannelMask;     // no key: channel bits, generator after processing
  AtomicField<double> Gain[kNrGains];        // "Gain0".."Gain7" ("###0.####"): linear; 1.0 each
  AtomicField<int> ConnectSlider1;           // "ConnectSlider1": slider parameter number; 1

  // [SIGNAL_GENERATOR]
  AtomicField<double> NoiseLevel;      // "NoiseLevel": dB; -50
  AtomicField<int> NoiseOn;            // "NoiseOn": 0/1 (non-zero loads as 1); 0
  AtomicField<double> AmModFreq;       // "AmModFreq": 12.3
  AtomicField<double> AmModFactor;     // "AmModFactor": 1.0
  AtomicField<double> AmModCarrier;    // "AmModCarrier": 1.0
  AtomicField<int> AmModWave;          // "AmModWave": 0
  AtomicField<double> FmModFreq;       // "FmModFreq": 100.0
  AtomicField<double> FmModDeviation;  // "FmModDeviation": Hz; 240.5
  AtomicField<int> FmModWave;          // "FmModWave": 0
  SineGenSettings Sine[kNrSineGens];

  // [CIRCUIT] mixer; the first mixer's fields stand directly in the record
  AtomicField<int> MixerHilbertLength;  // "MixerHilbertLength": odd, <= 101; 37
  AtomicField<bool> FreqMixerEnabled;   // "FreqMixerEnabled": 0
  AtomicField<bool> MixerDcReject;      // "MixerDcReject": 0
  AtomicField<double> MixerFrequency;   // "MixerFrequency": 700
  AtomicField<int> MixerSideband;       // "MixerSideband": 0
  MixerSettings SecondMixer;            // no key: the second mixer chain; all 0

  // [SOUND_THREAD] start switches
  AtomicField<int> StartSoundThread;      // "StartSoundThread": 1
  AtomicField<int> StartSoundInput;       // "StartSoundInput": 1
  AtomicField<int> StartSoundOutput;      // "StartSoundOutput": 0
  AtomicField<int> StartSignalGenerator;  // "StartSignalGenerator": 0
  AtomicField<int> StartDigitalFilter;    // "StartDigitalFilter": channel bits of running filters
  AtomicField<int> DigitalFilterBypass;   // "DigitalFilterBypass": channel bits bypassed

  // [FILTER0], [FILTER1]; default "", missing: "default.flt" / "default.flc" / "default.fir"
  char CoeffFile[kNrFilterChannels][256];       // "CoeffFile"
  char IIR2DesignFile[kNrFilterChannels][256];  // "IIR2DesignFile"
  char FIR2DesignFile[kNrFilterChannels][256];  // "FIR2DesignFile"

  // [CAPTURE] and [SCHEDULE0] .. [SCHEDULE11]; the three times are stored as integers
  AtomicField<double> Time_From;     // "Time_From": 75600 (21:00:00)
  AtomicField<double> Time_To;       // "Time_To": 18000 (05:00:00)
  AtomicField<double> TimeInterval;  // "TimeInterval": seconds; 900
  AtomicField<bool> TimerActive;     // "TimerActive": periodic action on; 0
  char PeriodicAction[256];          // "PeriodicAction": "capture"
  AtomicField<bool> ScheduleActive;  // "ScheduleActive": 0
  ScheduleEntry Schedule[kNrScheduleEntries];  // Time 79200, 0, 14400, 21600, then -1
  AtomicField<int> CaptureOptions;   // "Options": 1 time/date label, 2 frequency label; 0
  AtomicField<int> SequenceNr;       // "SequenceNr": 0
  char SequenceName[256];            // "SequenceName": working dir + "capt"
  AtomicField<int> UseJpegFormat;    // "UseJpegFormat": 1; missing: 1

  // [EXPORT], [INTERPRETER], [ABOUT], [USER_MENU0..9], [FREQ_MARKERS]
  char DefinitionFileName[256];       // EXPORT "DefinitionFileName": working dir + "current.edf"
  AtomicField<double> NextWriteTime;  // EXPORT "NextWriteTime": 0
  AtomicField<int> MsgDisplay;        // INTERPRETER "MsgDisplay": 0; missing: 15
  char CommandFileName[256];          // INTERPRETER "CommandFileName": work dir + "testcmd.txt"
  char AboutMenuText[33];             // ABOUT "MenuText": <= 31 characters loaded; ""
  char AboutInfoText[256];            // ABOUT "InfoText": <= 254 characters loaded; ""
  AtomicField<int> AboutIncludes;     // ABOUT "Includes": profile content bits; 2; missing: 2
  UserMenuEntry UserMenu[kNrUserMenuEntries];
  FreqMarkerEntry FreqMarker[kNrFreqMarkers];
};

// The one processing/display settings record of the process.
extern T_SndConfig SndConfig;

// Copies at most maxChars characters of text into dest (an array of destSize bytes), fills
// the rest with zeros and always terminates. maxChars is clamped to destSize - 1.
void SettingsCopyText(char* dest, size_t destSize, const char* text, size_t maxChars);
template <size_t N>
inline void SettingsCopyText(char (&dest)[N], const char* text, size_t maxChars = N - 1)
{
  SettingsCopyText(dest, N, text, maxChars);
}
