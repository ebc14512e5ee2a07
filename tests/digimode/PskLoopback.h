#pragma once
// Loop-back of the digimode engine for the receiver tests and the sensitivity benchmark: text
// goes through the transmit hook, optional white Gaussian noise is added, and the sum goes
// through the receive hook in blocks of the audio thread's size. No sound card.
#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/SampleRates.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"

struct PskLoopbackConfig {
  int modulation = 8;        // 8 BPSK, 9 QPSK
  double symbolRate = 31.25;
  double fcTx = 1000.0;      // Hz
  double fcRx = 1000.0;      // receive frequency given to the receiver, Hz
  int sampleRate = 11025;    // nominal card rate
  int divisor = 1;           // input divisor 1, 2, 4, 8
  bool useAfc = true;
  double snrDb = NAN;        // in 2,500 Hz; NaN: no noise
  unsigned seed = 1;
};

struct PskLoopbackResult {
  std::string received;
  double lastFreq = 0.0;       // g_DigimodeRxFreq after the last block
  double processingRate = 0.0;
};

// Starts the engine for the configuration (receiver built at half the processing rate).
inline void PskLoopbackStart(const PskLoopbackConfig& c)
{
  SetDefaultSettings();
  SndConfig.SampleRate = c.sampleRate;
  SndConfig.SampleRateDivisor = c.divisor;
  SetSoundInOutWanted(true, false);
  Digimode_Init();
  DigimodeSettings.Modulation = c.modulation;
  DigimodeSettings.symbol_rate = c.symbolRate;
  DigimodeSettings.fc_tx = c.fcTx;
  DigimodeSettings.fc_rx = c.fcRx;
  DigimodeSettings.use_afc = c.useAfc;
  Digimode_SetMode(DIGIMODE_OPMODE_CHARS);
}

inline int PskLoopbackBlock(const PskLoopbackConfig& c) { return 4096 / std::max(1, c.divisor); }

// The transmitted audio of text: preamble, text, postamble and the ramp.
inline std::vector<double> PskLoopbackTransmit(const PskLoopbackConfig& c, const std::string& text)
{
  std::vector<double> audio;
  const int block = PskLoopbackBlock(c);
  std::vector<double> y(static_cast<size_t>(block));
  size_t pos = 0;
  Digimode_SwitchRxTx(2);
  bool stopping = false;
  for (int guard = 0; guard < 1000000; ++guard) {
    while (pos < text.size() && !Digimode_IsTxBufferFull())
      Digimode_PutTxChar(static_cast<unsigned char>(text[pos++]));
    if (pos == text.size() && !stopping) {
      Digimode_SwitchRxTx(1);  // the rest and the postamble still go out
      stopping = true;
    }
    if (Digimode_GenerateTxAudio(y.data(), block, 0.0)) audio.insert(audio.end(), y.begin(), y.end());
    Digimode_PollDll();
    if (stopping && g_DigimodeDllParams.TxState.load() == 1) break;
  }
  return audio;
}

// Adds white Gaussian noise for snrDb: mean power of the clean signal over the noise power in
// 2,500 Hz (white noise of variance s^2 has s^2 x 2,500 / (rate / 2) there).
inline void PskLoopbackAddNoise(std::vector<double>& audio, double rate, double snrDb, unsigned seed)
{
  if (std::isnan(snrDb) || audio.empty()) return;
  double power = 0.0;
  for (double v : audio) power += v * v;
  power /= static_cast<double>(audio.size());
  const double sigma2 = power / std::pow(10.0, snrDb / 10.0) / (2500.0 / (rate / 2.0));
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, std::sqrt(sigma2));
  for (double& v : audio) v += noise(rng);
}

// The audio through the receive hook; the characters received.
inline PskLoopbackResult PskLoopbackReceive(const PskLoopbackConfig& c, const std::vector<double>& audio)
{
  PskLoopbackResult r;
  Digimode_SwitchRxTx(0);
  Digimode_SwitchRxTx(1);
  r.processingRate = g_ProcessingSampleRate;
  const int block = PskLoopbackBlock(c);
  for (size_t i = 0; i + static_cast<size_t>(block) <= audio.size(); i += static_cast<size_t>(block)) {
    Digimode_ProcessRxAudio(&audio[i], block, 0.0);
    for (int ch; (ch = Digimode_GetRxChar()) != 0;) r.received += static_cast<char>(ch);
  }
  r.lastFreq = g_DigimodeRxFreq.load();
  return r;
}

inline PskLoopbackResult RunPskLoopback(const PskLoopbackConfig& c, const std::string& text)
{
  PskLoopbackStart(c);
  std::vector<double> audio = PskLoopbackTransmit(c, text);
  PskLoopbackAddNoise(audio, g_ProcessingSampleRate, c.snrDb, c.seed);
  return PskLoopbackReceive(c, audio);
}

// Character error rate in percent: edit distance between the sent text and the best-matching
// stretch of the received text (junk before and after it is free), over the characters sent.
inline double PskCharErrorRate(const std::string& sent, const std::string& received)
{
  const size_t n = sent.size(), m = received.size();
  if (n == 0) return 0.0;
  std::vector<size_t> prev(m + 1, 0), cur(m + 1);  // row 0: a match may start anywhere
  for (size_t i = 1; i <= n; ++i) {
    cur[0] = i;
    for (size_t j = 1; j <= m; ++j)
      cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (sent[i - 1] == received[j - 1] ? 0 : 1)});
    std::swap(prev, cur);
  }
  const size_t best = *std::min_element(prev.begin(), prev.end());  // may end anywhere
  return 100.0 * static_cast<double>(best) / static_cast<double>(n);
}
