#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>

#include "control/FilterDesigners.h"
#include "control/FilterRefTables.h"
#include "control/IIRChain.h"
#include "engine/DigiFilter.h"

using vt_test::RefNum;

namespace {
// |H| at f Hz of a block of biquads (Cascaded 3) at sample rate fs.
double ChainGain(const DigiFilterBlock& b, double f, double fs) {
  const std::complex<double> z1 = std::polar(1.0, -2.0 * M_PI * f / fs), z2 = z1 * z1;
  std::complex<double> h = 1.0;
  for (int k = 0; 3 * k + 2 <= b.MaxCoeff; ++k) {
    const double* a = &b.alpha[3 * k];
    const double* be = &b.beta[3 * k];
    h *= (a[0] + a[1] * z1 + a[2] * z2) / (1.0 + be[1] * z1 + be[2] * z2);
  }
  return std::abs(h);
}

DigiFilterBlock MarkedBlock() {
  DigiFilterBlock b{};
  DigiFilter_Reset(&b, true);
  b.MaxCoeff = 4;
  for (int i = 0; i < kDigiFilterCoeffs; ++i) b.alpha[i] = b.beta[i] = 0.25 * i;
  return b;
}

bool SameCoeffs(const DigiFilterBlock& a, const DigiFilterBlock& b) {
  return a.MaxCoeff == b.MaxCoeff && a.Is_IIR == b.Is_IIR && a.Cascaded == b.Cascaded &&
         std::memcmp(a.alpha, b.alpha, sizeof(a.alpha)) == 0 &&
         std::memcmp(a.beta, b.beta, sizeof(a.beta)) == 0;
}
}  // namespace

// The narrow-band band pass has (nearly) unit gain at its centre and its -3 dB width is the
// given bandwidth; the band reject is exactly 0 at its centre.
TEST(IIRChain, NarrowBandSectionAtCentre) {
  const double fs = 11025.0;
  for (double f : {100.0, 650.0, 2000.0, 5000.0}) {
    for (double bw : {10.0, 50.0}) {
      DigiFilterBlock b = MarkedBlock();
      b.MaxCoeff = 2;
      ASSERT_TRUE(CalcNarrowBandSection(f, bw, fs, false, &b.alpha[0], &b.alpha[1], &b.alpha[2],
                                        &b.beta[1], &b.beta[2]));
      b.beta[1] = -b.beta[1];
      b.beta[2] = -b.beta[2];
      EXPECT_NEAR(ChainGain(b, f, fs), 1.0, 0.01) << f << " " << bw;
      // -3 dB points about bw apart.
      double lo = f, hi = f;
      while (ChainGain(b, lo, fs) > std::sqrt(0.5)) lo -= 0.01;
      while (ChainGain(b, hi, fs) > std::sqrt(0.5)) hi += 0.01;
      EXPECT_NEAR(hi - lo, bw, 0.06 * bw) << f << " " << bw;

      ASSERT_TRUE(CalcNarrowBandSection(f, bw, fs, true, &b.alpha[0], &b.alpha[1], &b.alpha[2],
                                        &b.beta[1], &b.beta[2]));
      b.beta[1] = -b.beta[1];
      b.beta[2] = -b.beta[2];
      EXPECT_NEAR(ChainGain(b, f, fs), 0.0, 1e-9);
      EXPECT_NEAR(ChainGain(b, 0.0, fs), 1.0, 1e-9);
    }
  }
}

// Section frequencies and Q of the chain against scipy's lp2bp_zpk poles.
TEST(IIRChain, BandpassChainMatchesScipy) {
  int checked = 0;
  for (const auto& r : vt_test::ReadRefTable("bpchain.txt")) {
    if (r[0] == "BAND") continue;
    const int resp = static_cast<int>(RefNum(r[0]));
    const double fc = RefNum(r[1]), bw = RefNum(r[2]);
    const int n = static_cast<int>(RefNum(r[3]));
    SCOPED_TRACE(testing::Message() << "response " << resp << " fc " << fc << " bw " << bw);
    DigiFilterBlock b = MarkedBlock();
    FilterChainDesign table{};
    ASSERT_EQ(CalculateIIRBandpassChain(fc, bw, 44100.0, resp, &b, &table), IIR3_OK);
    ASSERT_EQ(table.NrOfStages, n);
    EXPECT_EQ(b.MaxCoeff, 3 * n - 1);
    EXPECT_EQ(b.Cascaded, 3);
    EXPECT_EQ(b.Is_IIR, 1);
    std::vector<std::pair<double, double>> got;
    for (int k = 0; k < n; ++k) {
      EXPECT_EQ(table.Stage[k].filter_type, 3);
      got.push_back({table.Stage[k].f_center, table.Stage[k].f_center / table.Stage[k].bandwidth});
      // Sections alternate below and above the centre, the lower one first.
      EXPECT_EQ(table.Stage[k].f_center < fc, k % 2 == 0) << k;
    }
    std::sort(got.begin(), got.end());
    for (int k = 0; k < n; ++k) {
      EXPECT_NEAR(got[k].first, RefNum(r[4 + 2 * k]), 1e-9 * fc);
      EXPECT_NEAR(got[k].second, RefNum(r[5 + 2 * k]), 1e-9 * got[k].second);
    }
    ++checked;
  }
  EXPECT_EQ(checked, 24);
}

// The digital chain's -3 dB band lies close to the analogue band pass's.
TEST(IIRChain, BandpassChainThreeDbBand) {
  const double fs = 11025.0;
  for (const auto& r : vt_test::ReadRefTable("bpchain.txt")) {
    if (r[0] != "BAND") continue;
    const int resp = static_cast<int>(RefNum(r[1]));
    const double fc = RefNum(r[2]), bw = RefNum(r[3]);
    DigiFilterBlock b = MarkedBlock();
    ASSERT_EQ(CalculateIIRBandpassChain(fc, bw, fs, resp, &b, nullptr), IIR3_OK);
    // The narrow-band sections approximate the analogue ones: about -1 to -2 dB at the centre.
    const double peak = ChainGain(b, fc, fs);
    EXPECT_GT(peak, 0.75);
    EXPECT_LT(peak, 1.05);
    double lo = fc, hi = fc;
    while (ChainGain(b, lo, fs) > peak * std::sqrt(0.5)) lo -= 0.01;
    while (ChainGain(b, hi, fs) > peak * std::sqrt(0.5)) hi += 0.01;
    EXPECT_NEAR(lo, RefNum(r[4]), 0.05 * bw) << "response " << resp << " fc " << fc;
    EXPECT_NEAR(hi, RefNum(r[5]), 0.05 * bw) << "response " << resp << " fc " << fc;
  }
}

TEST(IIRChain, ChebyshevPrototypesGiveEightSections) {
  for (int resp = 0; resp < kIIR3Responses; ++resp) {
    DigiFilterBlock b = MarkedBlock();
    ASSERT_EQ(CalculateIIRBandpassChain(650.0, 50.0, 11025.0, resp, &b, nullptr), IIR3_OK);
    EXPECT_EQ(b.MaxCoeff, (resp == 2 || resp == 3) ? 23 : 29) << IIR3ResponseName(resp);
  }
  EXPECT_STREQ(IIR3ResponseName(1), "Butterworth, n=10");
  EXPECT_STREQ(IIR3ResponseName(8), "");
}

// Every refused chain design leaves block and stage table as they were.
TEST(IIRChain, RefusedChainDesigns) {
  struct Case {
    double fc, bw, fs;
    int resp, code;
  } cases[] = {
      {650, 0, 11025, 1, IIR3_ERR_BANDWIDTH},   {650, -5, 11025, 1, IIR3_ERR_BANDWIDTH},
      {650, NAN, 11025, 1, IIR3_ERR_BANDWIDTH}, {0, 50, 11025, 1, IIR3_ERR_Q},
      {-650, 50, 11025, 1, IIR3_ERR_Q},         {650, 50, 11025, -1, IIR3_ERR_RESPONSE},
      {650, 50, 11025, 8, IIR3_ERR_RESPONSE},   {650, 50, 0, 1, IIR3_ERR_SAMPLERATE},
      {5450, 200, 11025, 1, IIR3_ERR_SECTION},  // upper sections beyond fs/2
      {3000, 4000, 11025, 1, IIR3_ERR_SECTION}, // section bandwidths beyond fs/3
  };
  for (const Case& c : cases) {
    DigiFilterBlock b = MarkedBlock();
    const DigiFilterBlock before = b;
    FilterChainDesign table{};
    table.NrOfStages = 5;
    EXPECT_EQ(CalculateIIRBandpassChain(c.fc, c.bw, c.fs, c.resp, &b, &table), c.code)
        << c.fc << " " << c.bw << " " << c.resp;
    EXPECT_TRUE(SameCoeffs(b, before));
    EXPECT_EQ(table.NrOfStages, 5);
  }
}

// Stage routine: bypass is the gain, section layout, refusals.
TEST(IIRChain, ChainStages) {
  DigiFilterBlock b = MarkedBlock();
  FilterChainStage bypass{0, 650.0, 30.0, 0.5};
  ASSERT_TRUE(CalcIIRChainStage(&bypass, 10.0, 11025.0, &b, 2));
  const double expect[6] = {0.5, 0, 0, 0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(b.alpha[6 + i], expect[i]);
    EXPECT_EQ(b.beta[6 + i], expect[3 + i]);
  }
  EXPECT_EQ(b.alpha[5], 0.25 * 5);  // neighbours untouched
  EXPECT_EQ(b.alpha[9], 0.25 * 9);

  struct Case {
    FilterChainStage st;
    int index;
    bool ok;
  } cases[] = {
      {{5, 650, 30, 1}, 0, false},     {{-1, 650, 30, 1}, 0, false},
      {{3, 650, 30, 1}, 41, true},     {{3, 650, 30, 1}, 42, false},
      {{3, 650, 30, 1}, -1, false},    {{3, 0, 30, 1}, 0, false},
      {{4, 5512.5, 30, 1}, 0, false},  {{3, 650, 0, 1}, 0, false},
      {{3, 650, 3675, 1}, 0, false},   {{1, 0, 30, 1}, 0, false},
      {{2, 6000, 30, 1}, 0, false},    {{1, 800, 0, 1}, 0, true},
      {{3, 650, 30, NAN}, 0, false},
  };
  for (const Case& c : cases) {
    DigiFilterBlock blk = MarkedBlock();
    const DigiFilterBlock before = blk;
    EXPECT_EQ(CalcIIRChainStage(&c.st, 10.0, 11025.0, &blk, c.index), c.ok)
        << c.st.filter_type << " " << c.st.f_center << " " << c.st.bandwidth << " @" << c.index;
    if (!c.ok) {
      EXPECT_TRUE(SameCoeffs(blk, before));
    }
  }
}

// IIR-2 "Calculate !" right after an IIR-3 design reproduces the same coefficients.
TEST(IIRChain, IIR2ReproducesIIR3) {
  DigiFilterBlock b3 = MarkedBlock();
  FilterChainDesign table{};
  ASSERT_EQ(CalculateIIRBandpassChain(650.0, 50.0, 11025.0, 1, &b3, &table), IIR3_OK);
  DigiFilterBlock b2 = MarkedBlock(), undo{};
  FilterDescription desc;
  std::string msg;
  ASSERT_EQ(DesignIIR2Filter(table, 11025.0, &b2, &undo, &desc, &msg), DESIGN_OK);
  EXPECT_EQ(undo.MaxCoeff, 4);
  EXPECT_EQ(b2.MaxCoeff, 29);
  for (int i = 0; i <= 29; ++i) {
    EXPECT_NEAR(b2.alpha[i], b3.alpha[i], 1e-15) << i;
    EXPECT_NEAR(b2.beta[i], b3.beta[i], 1e-15) << i;
  }
  EXPECT_EQ(desc, (FilterDescription{"Cascaded IIR-filter, 10 stages.",
                                     "Generated by \"IIR-Designer 2\"."}));
}

// IIR-2: counts outside the 33-entry table are ignored, an unknown stage type is reported in
// the description, a stage that defines no filter refuses the whole design.
TEST(IIRChain, IIR2Designer) {
  FilterChainDesign chain{};
  for (int i = 0; i < kFilterChainStages; ++i) chain.Stage[i] = {3, 700.0 + 10 * i, 30.0, 1.0};
  for (int n : {0, -3, 34, 42}) {
    chain.NrOfStages = n;
    DigiFilterBlock b = MarkedBlock(), undo = MarkedBlock();
    const DigiFilterBlock before = b;
    FilterDescription desc{"keep"};
    EXPECT_EQ(DesignIIR2Filter(chain, 11025.0, &b, &undo, &desc, nullptr), DESIGN_IGNORED) << n;
    EXPECT_TRUE(SameCoeffs(b, before));
    EXPECT_EQ(desc, FilterDescription{"keep"});
  }
  chain.NrOfStages = 33;  // uses entry 32
  DigiFilterBlock b = MarkedBlock();
  FilterDescription desc;
  ASSERT_EQ(DesignIIR2Filter(chain, 11025.0, &b, nullptr, &desc, nullptr), DESIGN_OK);
  EXPECT_EQ(b.MaxCoeff, 98);

  chain.NrOfStages = 3;
  chain.Stage[1].filter_type = 7;
  b = MarkedBlock();
  ASSERT_EQ(DesignIIR2Filter(chain, 11025.0, &b, nullptr, &desc, nullptr), DESIGN_OK);
  EXPECT_EQ(desc.back(), "Error in stage2");
  EXPECT_EQ(b.alpha[3], 0.25 * 3);  // section 1 left as it was

  chain.Stage[1] = {3, 6000.0, 30.0, 1.0};  // above fs/2
  b = MarkedBlock();
  const DigiFilterBlock before = b;
  std::string msg;
  EXPECT_EQ(DesignIIR2Filter(chain, 11025.0, &b, nullptr, &desc, &msg), DESIGN_ERR_RANGE);
  EXPECT_TRUE(SameCoeffs(b, before));
  EXPECT_NE(msg.find("Stage 2"), std::string::npos);
}

TEST(IIRChain, IIR3Texts) {
  const FilterDescription d = IIR3Description(10, "650.0", "50.0", "Butterworth, n=10");
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0], "Cascaded 2nd order IIR-bandpasses, 10 sections.");
  EXPECT_EQ(d[1], "Generated by \"IIR-Designer 3\", parameters:");
  EXPECT_EQ(d[2], "  fc=650.0, bw=50.0, rsp=Butterworth, n=10");
  EXPECT_EQ(IIR3ErrorText(-1), "Error in 'CalculateIIRBandpassChain', code=-1");
}
