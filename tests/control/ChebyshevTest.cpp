#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>

#include "control/Chebyshev.h"
#include "control/FilterDesigners.h"
#include "control/FilterRefTables.h"
#include "engine/DigiFilter.h"

using vt_test::RefNum;

namespace {
// |H| of y = sum A x + sum B y at f (fraction of the sample rate).
double ChebGain(const double* a, const double* b, int order, double f) {
  std::complex<double> num = 0.0, den = 1.0;
  for (int k = 0; k <= order; ++k) {
    const std::complex<double> zk = std::polar(1.0, -2.0 * M_PI * f * k);
    num += a[k] * zk;
    if (k > 0) den -= b[k] * zk;
  }
  return std::abs(num / den);
}
}  // namespace

// Coefficients against scipy's cheby1 / butter (conversions in make_filter_refs.py).
TEST(Chebyshev, MatchesScipyUpToTwentyPoles) {
  const auto rows = vt_test::ReadRefTable("chebyshev.txt");
  ASSERT_GT(rows.size(), 50u);
  for (const auto& r : rows) {
    const int hp = static_cast<int>(RefNum(r[0]));
    const int poles = static_cast<int>(RefNum(r[1]));
    const double fc = RefNum(r[2]);
    const double ripple = RefNum(r[3]);
    ASSERT_EQ(r.size(), 4u + 2u * (poles + 1));
    SCOPED_TRACE(testing::Message() << "hp " << hp << " poles " << poles << " fc " << fc
                                    << " ripple " << ripple);
    ASSERT_TRUE(DesignChebyshevFilter(poles, fc, hp, ripple));
    std::vector<double> refA, refB;
    for (int k = 0; k <= poles; ++k) refA.push_back(RefNum(r[4 + k]));
    for (int k = 0; k <= poles; ++k) refB.push_back(RefNum(r[5 + poles + k]));
    // The unit-gain factor SA / (1 - SB) cancels badly for many poles near the unit circle
    // (1 - SB is tiny), so the two implementations' overall scale of A may differ by ~1e-7:
    // A is compared after scaling out that one factor (which must stay within 1e-6), B as is.
    double dot = 0.0, norm = 0.0;
    for (int k = 0; k <= poles; ++k) {
      dot += refA[k] * g_ChebyshevA[k];
      norm += g_ChebyshevA[k] * g_ChebyshevA[k];
    }
    const double s = dot / norm;
    EXPECT_NEAR(s, 1.0, 1e-6);
    const double scaleA = vt_test::MaxAbs(refA), scaleB = vt_test::MaxAbs(refB);
    for (int k = 0; k <= poles; ++k) {
      EXPECT_NEAR(g_ChebyshevA[k] * s, refA[k], 1e-9 * scaleA) << "A[" << k << "]";
      EXPECT_NEAR(g_ChebyshevB[k], refB[k], 1e-9 * scaleB) << "B[" << k << "]";
    }
    // Unit gain where the design normalises it.
    EXPECT_NEAR(ChebGain(g_ChebyshevA, g_ChebyshevB, poles, hp ? 0.5 : 0.0), 1.0, 1e-9);
  }
}

// The stated gains of the IIR-1 page's defaults: 800 Hz at 11025 Hz, 4 poles, 25 %:
// unit gain at 0 Hz (low pass) and at 5512.5 Hz (high pass). With an even pole count the
// response starts in a ripple trough: the pass band swings between 1 and 1/(1 - 0.25), and the
// cut-off lies 3 dB below the pass band's peak.
TEST(Chebyshev, StatedGains) {
  const double fc = 800.0 / 11025.0;
  for (int hp = 0; hp <= 1; ++hp) {
    ASSERT_TRUE(DesignChebyshevFilter(4, fc, hp, 25.0));
    EXPECT_NEAR(ChebGain(g_ChebyshevA, g_ChebyshevB, 4, hp ? 0.5 : 0.0), 1.0, 1e-12);
    const double peak = 1.0 / 0.75;
    EXPECT_NEAR(ChebGain(g_ChebyshevA, g_ChebyshevB, 4, fc), peak * std::sqrt(0.5), 1e-9);
    double lo = 2.0, hi = 0.0;
    for (int i = 0; i <= 200; ++i) {
      const double f = hp ? fc * 1.2 + (0.5 - fc * 1.2) * i / 200.0 : fc * 0.8 * i / 200.0;
      const double g = ChebGain(g_ChebyshevA, g_ChebyshevB, 4, f);
      lo = std::min(lo, g);
      hi = std::max(hi, g);
    }
    EXPECT_LE(hi, peak + 1e-9);
    EXPECT_GT(hi, peak - 0.01);  // the ripple is really there
    EXPECT_GE(lo, 1.0 - 1e-9);
  }
}

TEST(Chebyshev, RippleLimitsAndOddPoles) {
  // Ripple 40 is designed as 29, a negative ripple as 0, 1 pole as 2.
  ASSERT_TRUE(DesignChebyshevFilter(6, 0.1, 0, 29.0));
  std::vector<double> a29(g_ChebyshevA, g_ChebyshevA + 7);
  ASSERT_TRUE(DesignChebyshevFilter(6, 0.1, 0, 40.0));
  EXPECT_EQ(a29, std::vector<double>(g_ChebyshevA, g_ChebyshevA + 7));
  ASSERT_TRUE(DesignChebyshevFilter(2, 0.1, 0, 0.0));
  std::vector<double> a2(g_ChebyshevA, g_ChebyshevA + 3);
  ASSERT_TRUE(DesignChebyshevFilter(1, 0.1, 0, -5.0));
  EXPECT_EQ(a2, std::vector<double>(g_ChebyshevA, g_ChebyshevA + 3));
  // 5 poles: the 2 pole pairs of a 5-pole prototype (angles from NP = 5), 4th order result.
  ASSERT_TRUE(DesignChebyshevFilter(5, 0.1, 0, 10.0));
  EXPECT_EQ(g_ChebyshevA[5], 0.0);
  EXPECT_TRUE(ChebyshevRecursionStable(g_ChebyshevB, 4));
}

// Refused designs leave the result arrays as they were.
TEST(Chebyshev, RefusedDesigns) {
  struct Case {
    int poles;
    double fc;
  } cases[] = {{4, 0.0}, {4, -0.1}, {4, 0.5}, {4, 0.7}, {4, NAN}, {22, 0.1}};
  ASSERT_TRUE(DesignChebyshevFilter(4, 0.2, 0, 5.0));
  const std::vector<double> before(g_ChebyshevA, g_ChebyshevA + kChebyshevCoeffs);
  for (const Case& c : cases) {
    EXPECT_FALSE(DesignChebyshevFilter(c.poles, c.fc, 0, 5.0)) << c.poles << " " << c.fc;
    EXPECT_FALSE(DesignChebyshevFilter(c.poles, c.fc, 1, 5.0)) << c.poles << " " << c.fc;
    EXPECT_EQ(before, std::vector<double>(g_ChebyshevA, g_ChebyshevA + kChebyshevCoeffs));
  }
}

// Pair numbers beyond poles/2 (the IIR-2 stage position) never give a pole outside the unit
// circle; positions 3 to 6 of each 8 mirror positions 2, 1, 1, 2.
TEST(Chebyshev, OutOfRangePairsAreStableMirrors) {
  auto section = [](int pair, int hp) {
    std::vector<double> s(5);
    CalcChebyshevPolePair(4, pair, 0.1, hp, 10.0, &s[0], &s[1], &s[2], &s[3], &s[4]);
    return s;
  };
  for (int hp = 0; hp <= 1; ++hp) {
    for (int pair = 0; pair < 24; ++pair) {
      const std::vector<double> s = section(pair, hp);
      const double b[3] = {0.0, s[3], s[4]};
      EXPECT_TRUE(ChebyshevRecursionStable(b, 2)) << "pair " << pair << " hp " << hp;
    }
    const int same[8] = {1, 1, 2, 2, 1, 1, 2, 2};
    for (int pos = 0; pos < 16; ++pos) {
      const std::vector<double> s = section(pos, hp), ref = section(same[pos % 8], hp);
      for (int i = 0; i < 5; ++i) EXPECT_NEAR(s[i], ref[i], 1e-12) << "position " << pos;
    }
  }
}

TEST(Chebyshev, StabilityTest) {
  const double stable[3] = {0.0, 1.8, -0.81};  // double pole at 0.9
  const double unstable[3] = {0.0, 2.2, -1.21};  // double pole at 1.1
  EXPECT_TRUE(ChebyshevRecursionStable(stable, 2));
  EXPECT_FALSE(ChebyshevRecursionStable(unstable, 2));
}

// The IIR-1 designer: block, undo copy and description.
TEST(Chebyshev, IIR1Designer) {
  DigiFilterBlock edited{}, undo{};
  DigiFilter_Reset(&edited, true);
  edited.alpha[30] = 7.0;
  edited.MaxCoeff = 30;
  FilterDescription desc{"old"};
  std::string msg;
  IIR1DesignInput in;
  in.CutoffText = "2205";
  in.RippleText = "25";
  in.PolesText = "30";  // designed as 20
  ASSERT_EQ(DesignIIR1Filter(in, &edited, &undo, &desc, &msg), DESIGN_OK);
  EXPECT_EQ(undo.MaxCoeff, 30);
  EXPECT_EQ(edited.MaxCoeff, 20);
  EXPECT_EQ(edited.Is_IIR, 1);
  EXPECT_EQ(edited.Cascaded, 0);
  EXPECT_EQ(edited.alpha[30], 7.0);  // above the order: untouched
  for (int k = 0; k <= 20; ++k) {
    EXPECT_EQ(edited.alpha[k], g_ChebyshevA[k]);
    EXPECT_EQ(edited.beta[k], -g_ChebyshevB[k]);
  }
  ASSERT_GE(desc.size(), 3u);
  EXPECT_EQ(desc[0], "IIR-lowpass, 20 poles, 25% ripple.");
  EXPECT_EQ(desc[1], "Generated with an algorithm from");
  EXPECT_EQ(desc[desc.size() - 2], " f_cutoff = 2205 Hz");
  EXPECT_EQ(desc.back(), " f_sample = 11025 Hz");

  in.HighPass = true;
  in.PolesText = "abc";  // 4 poles
  ASSERT_EQ(DesignIIR1Filter(in, &edited, &undo, &desc, &msg), DESIGN_OK);
  EXPECT_EQ(desc[0], "IIR-highpass,4 poles, 25% ripple.");
  EXPECT_EQ(undo.MaxCoeff, 20);
}

// Refused IIR-1 inputs: nothing changes (block, undo copy, description).
TEST(Chebyshev, IIR1Refusals) {
  struct Case {
    const char* cutoff;
    const char* poles;
    int rate;
    int code;
  } cases[] = {
      {"800", "3", 11025, DESIGN_IGNORED},   {"800", "0", 11025, DESIGN_IGNORED},
      {"800", "-4", 11025, DESIGN_IGNORED},  {"0", "4", 11025, DESIGN_ERR_RANGE},
      {"-50", "4", 11025, DESIGN_ERR_RANGE}, {"5513", "4", 11025, DESIGN_ERR_RANGE},
      {"800", "4", 0, DESIGN_ERR_RANGE},     {"800", "20", 11025, DESIGN_ERR_UNSTABLE},  // a pole at radius 1.1
  };
  for (const Case& c : cases) {
    DigiFilterBlock edited{}, undo{};
    DigiFilter_Reset(&edited, true);
    DigiFilter_Reset(&undo, true);
    edited.MaxCoeff = 2;
    edited.alpha[1] = 0.5;
    const DigiFilterBlock before = edited;
    FilterDescription desc{"keep"};
    std::string msg;
    IIR1DesignInput in;
    in.CutoffText = c.cutoff;
    in.PolesText = c.poles;
    in.SampleRate = c.rate;
    EXPECT_EQ(DesignIIR1Filter(in, &edited, &undo, &desc, &msg), c.code) << c.cutoff << " " << c.poles;
    EXPECT_EQ(std::memcmp(&edited.alpha, &before.alpha, sizeof(before.alpha)), 0);
    EXPECT_EQ(edited.MaxCoeff, 2);
    EXPECT_EQ(undo.MaxCoeff, 0);
    EXPECT_EQ(desc, FilterDescription{"keep"});
    EXPECT_EQ(msg.empty(), c.code == DESIGN_IGNORED);
  }
}
