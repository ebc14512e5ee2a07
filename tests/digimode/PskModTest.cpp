// PSK transmitter: Varicode table, symbol sequences, spectrum and level of the audio.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "digimode/CPSKMod.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "digimode/PskTables.h"
#include "engine/SampleRates.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string CodeBits(uint16_t code)
{
  std::string s;
  for (int i = 0; i < VaricodeLength(code); ++i) s += (code & (0x8000 >> i)) ? '1' : '0';
  return s;
}

class PskModTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    g_ProcessingSampleRate = 11025.0;
    Digimode_Init();
    DigimodeSettings.symbol_rate = 31.25;
    DigimodeSettings.fc_tx = 1000.0;
  }

  // Keeps the transmit ring topped up from text (from position *pos).
  static void Feed(const std::string& text, size_t* pos)
  {
    while (*pos < text.size() && !Digimode_IsTxBufferFull())
      Digimode_PutTxChar(static_cast<unsigned char>(text[(*pos)++]));
  }

  // BPSK symbols to characters: symbol 0 is a 1 bit, 2 a 0 bit; "00" ends a character.
  static std::string DecodeSymbols(const std::vector<int>& symbols)
  {
    std::string out;
    std::string bits;
    bool lastZero = false;
    for (int s : symbols) {
      if (s != PSK_SYM_HOLD && s != PSK_SYM_REVERSAL) continue;
      const bool one = s == PSK_SYM_HOLD;
      if (!one && lastZero && !bits.empty()) {
        bits.pop_back();  // the first separator bit
        for (int c = 0; c < 256; ++c)
          if (CodeBits(VaricodeTable[c]) == bits) out += static_cast<char>(c);
        bits.clear();
      } else if (one || !bits.empty()) {
        bits += one ? '1' : '0';
      }
      lastZero = !one;
    }
    return out;
  }

  // Average power at f (Hz) over Hann-windowed segments of 1024 samples.
  static double PowerAt(const std::vector<double>& y, double fs, double f)
  {
    constexpr int kSeg = 1024;
    double sum = 0.0;
    int count = 0;
    for (size_t start = 0; start + kSeg <= y.size(); start += kSeg / 2, ++count) {
      std::complex<double> acc = 0.0;
      for (int i = 0; i < kSeg; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * kPi * i / kSeg);
        acc += y[start + i] * w * std::polar(1.0, -2.0 * kPi * f * i / fs);
      }
      sum += std::norm(acc);
    }
    return count ? sum / count : 0.0;
  }

  // Random text through a fresh transmitter for the given seconds.
  static std::vector<double> Transmit(int modulation, int shaping, double seconds)
  {
    DigimodeSettings.Modulation = modulation;
    DigimodeSettings.pulse_shaping = shaping;
    std::mt19937 rng(1234);
    std::string text;
    for (int i = 0; i < 400; ++i) text += static_cast<char>('a' + rng() % 26);
    CPSKMod mod;
    mod.Init(11025.0);
    mod.StartTx();
    std::vector<double> y(static_cast<size_t>(seconds * 11025.0));
    size_t pos = 0;
    for (size_t i = 0; i < y.size(); i += 512) {
      Feed(text, &pos);
      mod.GenerateAudio(&y[i], static_cast<int>(std::min<size_t>(512, y.size() - i)));
    }
    return std::vector<double>(y.begin() + 11025, y.end());  // without the preamble
  }
};

// The PSK31 Varicode as published (G3PLX), characters 0..127, first bit left.
const char* const kPublishedVaricode[128] = {
    "1010101011", "1011011011", "1011101101", "1101110111", "1011101011", "1101011111", "1011101111", "1011111101",  // 0
    "1011111111", "11101111", "11101", "1101101111", "1011011101", "11111", "1101110101", "1110101011",  // 8
    "1011110111", "1011110101", "1110101101", "1110101111", "1101011011", "1101101011", "1101101101", "1101010111",  // 16
    "1101111011", "1101111101", "1110110111", "1101010101", "1101011101", "1110111011", "1011111011", "1101111111",  // 24
    "1", "111111111", "101011111", "111110101", "111011011", "1011010101", "1010111011", "101111111",  // 32
    "11111011", "11110111", "101101111", "111011111", "1110101", "110101", "1010111", "110101111",  // 40
    "10110111", "10111101", "11101101", "11111111", "101110111", "101011011", "101101011", "110101101",  // 48
    "110101011", "110110111", "11110101", "110111101", "111101101", "1010101", "111010111", "1010101111",  // 56
    "1010111101", "1111101", "11101011", "10101101", "10110101", "1110111", "11011011", "11111101",  // 64
    "101010101", "1111111", "111111101", "101111101", "11010111", "10111011", "11011101", "10101011",  // 72
    "11010101", "111011101", "10101111", "1101111", "1101101", "101010111", "110110101", "101011101",  // 80
    "101110101", "101111011", "1010101101", "111110111", "111101111", "111111011", "1010111111", "101101101",  // 88
    "1011011111", "1011", "1011111", "101111", "101101", "11", "111101", "1011011",  // 96
    "101011", "1101", "111101011", "10111111", "11011", "111011", "1111", "111",  // 104
    "111111", "110111111", "10101", "10111", "101", "110111", "1111011", "1101011",  // 112
    "11011111", "1011101", "111010101", "1010110111", "110111011", "1010110101", "1011010111", "1110110101",  // 120
};

}  // namespace

TEST_F(PskModTest, VaricodeAgainstThePublishedTable)
{
  for (int c = 0; c < 128; ++c) EXPECT_EQ(CodeBits(VaricodeTable[c]), kPublishedVaricode[c]) << c;

  // The extension above 127.
  const struct {
    int c;
    const char* bits;
  } table[] = {
      {0, "1010101011"}, {10, "11101"},   {13, "11111"},     {' ', "1"},
      {'!', "111111111"}, {'.', "1010111"}, {'0', "10110111"}, {'9', "110110111"},
      {'A', "1111101"},  {'Z', "1010101101"}, {'a', "1011"}, {'e', "11"},
      {'t', "101"},      {'z', "111010101"}, {'~', "1011010111"}, {127, "1110110101"},
      {128, "1110111101"}, {129, "1110111111"}, {142, "1111111111"}, {143, "10101010101"},
  };
  for (const auto& t : table) EXPECT_EQ(CodeBits(VaricodeTable[t.c]), t.bits) << t.c;

  std::set<uint16_t> seen;
  for (int c = 0; c < 256; ++c) {
    const std::string bits = CodeBits(VaricodeTable[c]);
    SCOPED_TRACE(c);
    EXPECT_TRUE(seen.insert(VaricodeTable[c]).second);
    EXPECT_EQ(bits.find("00"), std::string::npos);
    ASSERT_FALSE(bits.empty());
    EXPECT_EQ(bits.front(), '1');
    EXPECT_EQ(bits.back(), '1');
    // Left-aligned: nothing after the last 1 bit.
    EXPECT_EQ(static_cast<uint16_t>(VaricodeTable[c] << bits.size()), 0);
  }
}

TEST_F(PskModTest, InitTransitionLength)
{
  const struct {
    double fs, rate, percent;
    int n;
    double percentAfter;
  } table[] = {
      {11025, 31.25, 100, 353, 100}, {11025, 31.25, 0, 1, 0},     {11025, 31.25, 150, 353, 100},
      {11025, 31.25, -5, 353, 100},  {11025, 0.2, 100, 22051, 100}, {48000, 0.5, 100, 22201, 100},
      {8000, 62.5, 50, 65, 50},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.n);
    DigimodeSettings.symbol_rate = t.rate;
    DigimodeSettings.shape_percent = t.percent;
    CPSKMod mod;
    mod.Init(t.fs);
    EXPECT_EQ(mod.TransitionLength(), t.n);
    EXPECT_EQ(DigimodeSettings.shape_percent, t.percentAfter);
    EXPECT_EQ(mod.PhaseState(), 4);
    EXPECT_EQ(mod.TxState(), PSKMOD_IDLE);
  }
}

TEST_F(PskModTest, SymbolSequences)
{
  CPSKMod mod;
  mod.Init(11025.0);
  EXPECT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_REVERSAL);  // idle: the character-finished flag
  EXPECT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_OFF);       // then the carrier stays off
  EXPECT_FALSE(mod.StopTx());
  ASSERT_TRUE(mod.StartTx());
  EXPECT_FALSE(mod.StartTx());
  for (int i = 0; i < 33; ++i) ASSERT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_REVERSAL) << i;
  EXPECT_EQ(mod.TxState(), PSKMOD_RING);
  g_DigimodeTxUnderrun = 0;
  Digimode_PutTxChar('e');
  EXPECT_EQ(g_DigimodeTxUnderrun.load(), 0);
  // "e" (11): fetched with a reversal, two bits, the separator, then the empty ring's fetch.
  for (int expected : {2, 0, 0, 2, 2}) EXPECT_EQ(mod.GetVaricodeSymbol(), expected);
  EXPECT_EQ(g_DigimodeTxUnderrun.load(), 1);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_REVERSAL);  // underrun

  ASSERT_TRUE(mod.StopTx());
  for (int i = 0; i < kPskBpskFlushSymbols; ++i) EXPECT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_REVERSAL);
  for (int i = 0; i < kPskAmbleLength; ++i) ASSERT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_STEADY) << i;
  EXPECT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_OFF);
  EXPECT_EQ(mod.TxState(), PSKMOD_IDLE);
  EXPECT_FALSE(mod.StopTx());

  // A stop during the preamble with nothing queued goes straight to the postamble.
  mod.Init(11025.0);
  mod.StartTx();
  for (int i = 0; i < 5; ++i) mod.GetVaricodeSymbol();
  ASSERT_TRUE(mod.StopTx());
  for (int i = 0; i < kPskAmbleLength; ++i) ASSERT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_STEADY) << i;
  EXPECT_EQ(mod.GetVaricodeSymbol(), PSK_SYM_OFF);
}

TEST_F(PskModTest, QueuedTextGoesOutBeforeThePostamble)
{
  CPSKMod mod;
  mod.Init(11025.0);
  mod.StartTx();
  mod.GetVaricodeSymbol();
  for (char c : std::string("hi 5")) Digimode_PutTxChar(c);
  ASSERT_TRUE(mod.StopTx());  // during the preamble, with text queued
  std::vector<int> symbols;
  for (int i = 0; i < 400 && mod.TxState() != PSKMOD_IDLE; ++i) symbols.push_back(mod.GetVaricodeSymbol());
  EXPECT_EQ(mod.TxState(), PSKMOD_IDLE);
  EXPECT_EQ(DecodeSymbols(symbols), "hi 5");
  EXPECT_EQ(Digimode_TxCharCount(), 0);
}

TEST_F(PskModTest, EveryByteIsSentAndTheTransmissionGoesOn)
{
  std::string text;
  for (int c = 0; c < 256; ++c) text += static_cast<char>(c);
  CPSKMod mod;
  mod.Init(11025.0);
  mod.StartTx();
  std::vector<int> symbols;
  size_t pos = 0;
  while (pos < text.size() || Digimode_TxCharCount() > 0) {
    Feed(text, &pos);
    symbols.push_back(mod.GetVaricodeSymbol());
    ASSERT_NE(mod.TxState(), PSKMOD_IDLE);
    ASSERT_LT(symbols.size(), 5000u);
  }
  for (int i = 0; i < 20; ++i) symbols.push_back(mod.GetVaricodeSymbol());
  EXPECT_EQ(DecodeSymbols(symbols), text);

  // The upper half as audio, in both modulations: the transmission never ends on its own.
  for (int modulation : {8, 9}) {
    DigimodeSettings.Modulation = modulation;
    mod.Init(11025.0);
    mod.StartTx();
    std::vector<double> y(4096);
    pos = 128;
    double peak = 0.0;
    for (int block = 0; block < 160 && Digimode_TxCharCount() + text.size() > pos; ++block) {
      Feed(text, &pos);
      mod.GenerateAudio(y.data(), 4096);
      for (double v : y) peak = std::max(peak, std::fabs(v));
      EXPECT_NE(mod.TxState(), PSKMOD_IDLE);
    }
    EXPECT_EQ(pos, text.size()) << modulation;
    EXPECT_GT(peak, 20000.0);
  }
}

TEST_F(PskModTest, SpectrumMainLobeAtTheCarrierAndLowerSideLobesWithShaping)
{
  for (int modulation : {8, 9}) {
    SCOPED_TRACE(modulation);
    const std::vector<double> shaped = Transmit(modulation, 1, 6.0);
    const std::vector<double> hard = Transmit(modulation, 0, 6.0);
    // Power-weighted centre within 300 Hz of the carrier.
    double sum = 0.0, moment = 0.0, inner = 0.0;
    for (double f = 700.0; f <= 1300.0; f += 5.0) {
      const double p = PowerAt(shaped, 11025.0, f);
      sum += p;
      moment += p * f;
      if (std::fabs(f - 1000.0) <= 50.0) inner += p;
    }
    EXPECT_NEAR(moment / sum, 1000.0, 5.0);
    EXPECT_GT(inner / sum, 0.95);
    // Side lobes 150..400 Hz away: far lower with the amplitude ramp than with hard keying.
    double sideShaped = 0.0, sideHard = 0.0;
    for (double d = 150.0; d <= 400.0; d += 10.0)
      for (double f : {1000.0 - d, 1000.0 + d}) {
        sideShaped += PowerAt(shaped, 11025.0, f);
        sideHard += PowerAt(hard, 11025.0, f);
      }
    EXPECT_LT(sideShaped * 100.0, sideHard);  // at least 20 dB
  }
}

TEST_F(PskModTest, PeakFollowsTheOutputLevel)
{
  const struct {
    int shaping;
    double level, peak;
  } table[] = {
      {1, 100.0, 23000.0 * std::sqrt(2.0)}, {1, 50.0, 11500.0 * std::sqrt(2.0)},
      {1, 10.0, 2300.0 * std::sqrt(2.0)},   {0, 100.0, 23000.0},
      {2, 40.0, 9200.0},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.level);
    DigimodeSettings.output_level = t.level;
    DigimodeSettings.pulse_shaping = t.shaping;
    CPSKMod mod;
    mod.Init(11025.0);
    mod.StartTx();
    std::vector<double> y(11025 * 2);
    mod.GenerateAudio(y.data(), static_cast<int>(y.size()));
    double peak = 0.0;
    for (double v : y) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(peak, t.peak, t.peak * 0.01);
  }
}
