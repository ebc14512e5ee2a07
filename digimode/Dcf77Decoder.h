#pragma once
// Time-signal decoder for DCF77 (and HBG, same format) and MSF: reads the envelope of the
// carrier tone in the receiver's audio, turns the length of each drop into a bit, finds the
// minute marks, locks onto the second marks and decodes date and time at every minute mark.
//
// Threads: the audio thread is the one writer of a Dcf77DecoderState (Dcf77Dec_Process). The
// GUI thread reads the fields marked "GUI" below, which are atomics; the decoded date and time
// form one snapshot (Dcf77Dec_ReadSnapshot) that is published under a sequence counter, so a
// reader never sees half of two minutes; the event ring has one writer (head) and one reader
// (tail). The GUI never writes decoder state except for clearing TimeState and SecondMarkSeen
// and for the reset request, which the next block carries out before it processes samples.
// Nothing here locks or throws; only the constructor allocates (the envelope delay for rates up
// to 1 MHz, about 3 MB).
//
// Sample positions are 64-bit sample counts at the rate of the samples passed in; durations are
// counted at that rate: R = the rate truncated to whole samples, k20 = R*20/1000,
// k150 = R*150/1000, k700 = R*700/1000, carrier period P = R / CarrierHz.
//
// Carrier presence: the receiver's audio is rarely clean, so the carrier's amplitude is measured
// in a narrow band around it. Every 1.375 s (once a line has been found eight times, every
// 4.375 s) a Hann-windowed FFT of about 0.2 to 0.4 s of audio adds to an averaged power
// spectrum; silent collections are skipped. Of its clear lines between 100 and 3,000 Hz the one
// whose level was seen to drop (the second marks) becomes CarrierHz, not a stronger steady beat
// note beside it; the strongest line only while none has dropped yet (unless CarrierHzSetting
// fixes the frequency). Per sample a complex mixer at CarrierHz and a two-stage low-pass give
// the envelope; the carrier counts as present while the envelope lies above the middle between
// the carrier's level around the sample and the drop level (a ratio to it). Once the phase is
// locked, the carrier's level is taken in the same second outside its drop window (before the
// mark and after the longest drop), so fading and shallow keying both hold; this needs the
// envelope up to 0.85 s after the sample, so the state machine runs that far behind the input
// (times are computed for the sample judged; the second-mark flash follows the input at
// once). Drops of 450 to 700 ms are MSF minute marks; a longer drop (silence, a lost signal)
// is no event and spoils the running minute. A short drop off the locked second is noise and
// no pulse.
//
// Phase and station: drops on the expected second mark lock the phase, drops off it wear the
// lock down, and with no lock left the next drop seeds the phase anew. The station is decided
// by the first minute mark after 100,000 samples that begins on the locked second; when the
// decided station gives no valid minute while marks of the other one arrive on the locked
// second a whole number of minutes apart, it changes to the other; when it has given valid
// minutes but none while the other station's marks kept fitting for three minutes (the
// receiver was retuned), too.
#include <atomic>
#include <cstdint>
#include <vector>

// Station values.
constexpr int DCF77_STATION_UNKNOWN = 0;
constexpr int DCF77_STATION_DCF77 = 1;
constexpr int DCF77_STATION_HBG = 2;  // DCF77 format; never chosen by the detection
constexpr int DCF77_STATION_MSF = 3;

constexpr int DCF77_EVENT_RING_SIZE = 10;  // at most 9 characters wait

// The decoded date and time of the last minute mark, as one consistent record.
struct Dcf77DecodedTime {
  int ZoneHours = 0;  // hours to subtract for UTC (DCF77: 1 CET, 2 CEST; MSF: 1 during BST)
  int Hour = 0, Minute = 0;
  int Second = 0;     // seconds since the last minute mark
  int Day = 0, Weekday = 0, Month = 0, Year = 0;
  double LastSecondTime = 0;  // Unix time of the first sample of the current second
  int Station = 0;            // station whose layout decoded the fields
  bool Valid = false;         // the fields come from a complete minute that passed every check
  int MinuteSerial = 0;       // counts decoded minutes since program start (new minute: changes)
  // The last minute that passed every check since the reset, to run on from while later ones
  // fail: its UTC (the time of its minute mark), the seconds (counted in samples) from that
  // mark to the first sample of the current second (whose time is LastSecondTime), its zone
  // hours and station. HasValidTime false: none since the reset.
  bool HasValidTime = false;
  double ValidMinuteUtc = 0;
  double ValidOffset = 0;
  int ValidZoneHours = 0;
  int ValidStation = 0;
};

struct Dcf77DecoderState {
  // GUI: smoothed RMS of the input (the carrier level), 16-bit scale.
  std::atomic<double> Amplitude{0.0};
  double BlockRms = 0;       // RMS of the last block
  double CarrierHz = 650;    // carrier tone (found or set); raised to 100 when below 100
  // Above 0: the carrier frequency to use instead of searching for it (any thread; read once per
  // block; a reset keeps it).
  std::atomic<double> CarrierHzSetting{0.0};
  // Envelope: mixer phasor, two low-pass stages (I, Q).
  double MixRe = 1, MixIm = 0;
  double Lp1Re = 0, Lp1Im = 0, Lp2Re = 0, Lp2Im = 0;
  double Envelope = 0;       // carrier amplitude in the narrow band
  double EnvHigh = 0;     // the carrier's level around the judged sample
  double EnvLow = 0.3;   // the drop level as a fraction of the carrier's (0 .. 1)
  double EnvHighNow = 0;  // the carrier's level before the newest sample (second-mark flash)
  bool QuickPresent = false;  // the newest sample lies above the threshold
  // The envelope of the last DelayLen samples (the sample judged is the oldest) and its means
  // over bins of BinLen samples (a ring; BinCount bins completed since EnvStart).
  std::vector<float> EnvDelay;
  std::vector<double> BinMean;
  double EnvRate = 0;  // the rate the bins and the delay were set up for
  int32_t BinLen = 1, DelayLen = 0, DelayPos = 0, BinFill = 0;
  double BinSum = 0;
  int64_t BinCount = 0;
  int64_t EnvStart = 0;  // SampleCounter when they were set up
  double EnvHz = 0;          // CarrierHz when the levels were started
  // Tone search: SearchLen samples collected from SearchNext, then transformed; the averaged
  // power spectrum of all searches since the reset or the last rate change.
  std::vector<double> SearchBuf, SearchRe, SearchIm, SearchAvg;
  std::vector<double> SearchKeyed;  // per bin: averaged evidence that the line dropped
  int32_t SearchLen = 0;     // transform length for SearchRate (0: not set up)
  double SearchRate = 0;
  int32_t SearchFill = 0;    // samples collected
  int64_t SearchNext = 0;    // SampleCounter at which the next collection starts
  int32_t SearchCount = 0;   // spectra averaged (silent collections do not count)
  int32_t SearchesFound = 0;  // searches that found a clear line
  uint8_t RawCarrier = 0;    // 1 when the last sample counted as carrier present
  int32_t Integrator = 0;    // debounce integrator, -k20 .. +k20
  std::atomic<uint8_t> SecondMarkSeen{0};  // GUI: set at a raw drop; the window clears it
  uint8_t CarrierState = 0;  // debounced carrier: 1 present, 0 absent
  uint8_t PrevCarrierState = 0;
  int32_t StateDuration = 0;  // samples since CarrierState last changed
  int64_t SampleCounter = 0;  // samples processed since the reset
  // Rate the positions and durations below are counted at (0 before the first block). When the
  // samples come at another rate, what lies behind SampleCounter is counted anew at that rate,
  // so the second and minute marks keep their places in time.
  double PositionRate = 0;
  int64_t LastDropPos = 0;    // SampleCounter at the last raw carrier drop
  int64_t SecondPhase = 0;    // position of the current (after 700 ms: the next) second mark
  int64_t MinuteMarkPos = 0;  // position of the last minute mark
  double LastSecondTime = 0;
  std::atomic<int32_t> Station{0};  // GUI
  int32_t Bits[60] = {};      // A bits (MSF) or the bits (DCF77) of the running minute
  int32_t BitsB[60] = {};     // MSF B bits of the running minute
  uint8_t Pulses[60] = {};    // second pulses received at each second of the running minute
  bool ExtraPulse = false;    // a pulse beyond second 59, or a doubtful one, in the running minute
  bool MinuteOpen = false;    // the running minute began at a minute mark
  bool BDrop = false;         // the running drop is an MSF B bit (not a second pulse)
  bool DropOnPhase = false;   // the running drop began at the expected second mark
  bool DropWhileLocked = false;  // the running drop began while the phase was locked
  // Drops that began on the expected second mark, less those that did not (0 .. 10). Only a
  // locked phase (3 or more) opens the window of the MSF B bit and decides the station; at 0
  // the next drop off the mark re-seeds the phase.
  int32_t OnPhaseCount = 0;
  bool ValidSinceDecision = false;  // a valid minute was decoded since the station was decided
  int64_t DropStartPos = 0;  // LastDropPos when the running (or last) drop began
  int64_t OtherMarkPos = 0;  // last mark that fits the other station (0: none)
  int64_t OtherChainStart = 0;  // first of the other station's marks fitting one after another
  // The last valid minute: decoded at a minute mark, published with the second that follows
  // (ValidPending until then); ValidMarkPos is the position of its mark.
  bool ValidPending = false, HasValidTime = false;
  double PendingMinuteUtc = 0;
  int32_t PendingZoneHours = 0, PendingStation = 0;
  int64_t ValidMarkPos = 0;
  std::atomic<int32_t> MinutesDecoded{0};  // GUI
  int32_t BitIndex = 0;       // second within the minute (0 at the minute mark)
  std::atomic<int32_t> PhaseAccuracy{0};   // GUI, 0..100
  std::atomic<char> EventRing[DCF77_EVENT_RING_SIZE] = {};
  std::atomic<int32_t> EventHead{0};       // written by the audio thread
  std::atomic<int32_t> EventTail{0};       // written by the reader
  std::atomic<int32_t> TimeState{0};       // GUI: 2 = new date/time to show; the window sets 0
  std::atomic<bool> ResetRequested{false};

  // The decoded fields (written only through the sequence counter; read Dcf77Dec_ReadSnapshot).
  std::atomic<uint32_t> Seq{0};
  std::atomic<int> ZoneHours{0}, Hour{0}, Minute{0}, Second{0}, Day{0}, Weekday{0}, Month{0},
      Year{0};
  std::atomic<double> SnapSecondTime{0.0};
  std::atomic<int> SnapStation{0};
  std::atomic<bool> SnapValid{false};
  std::atomic<int> SnapMinuteSerial{0};
  std::atomic<bool> SnapHasValidTime{false};
  std::atomic<double> SnapValidMinuteUtc{0.0}, SnapValidOffset{0.0};
  std::atomic<int> SnapValidZoneHours{0}, SnapValidStation{0};

  Dcf77DecoderState();  // sizes the search buffers once: processing never allocates
};

// Processes one block of n samples (16-bit scale) taken at `rate` Hz, the first at Unix time
// tFirst. A pending reset request is carried out first. Returns at once when n < 1 or the rate
// is below 1 Hz or above 1 MHz. Blocks of any size; the audio thread passes up to 4,096.
void Dcf77Dec_Process(Dcf77DecoderState& s, const double* x, int n, double tFirst, double rate);

// The state machine alone, fed with the carrier presence of each sample (1 present, 0 absent)
// instead of audio: what follows the envelope, for tests of the drop and minute timing.
void Dcf77Dec_ProcessKeying(Dcf77DecoderState& s, const uint8_t* present, int n, double tFirst,
                            double rate);

// Back to the initial state (audio thread, or a state no other thread uses). Keeps the decoded
// fields and TimeState readable but marks them not valid and forgets the last valid minute
// (the running time base is gone).
void Dcf77Dec_ResetNow(Dcf77DecoderState& s);

// Asks the writer to reset before its next block (any thread).
void Dcf77Dec_RequestReset(Dcf77DecoderState& s);

// A consistent copy of the decoded fields.
Dcf77DecodedTime Dcf77Dec_ReadSnapshot(const Dcf77DecoderState& s);

// The oldest waiting event character ('0', '1', 'm'), 0 when none. One reader.
char Dcf77Dec_PopEvent(Dcf77DecoderState& s);
