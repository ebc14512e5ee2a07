// Filter executor against scipy.signal reference vectors (data/make_filter_vectors.py), block-wise
// against sample-wise processing, and the edge cases of the record.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "engine/DigiFilter.h"

namespace {

struct VectorCase {
  std::string name, kind;
  int maxCoeff = 0, cascaded = 0;
  double gain = 1.0;
  std::vector<double> alpha, beta, in, out;
};

std::vector<double> ReadValues(std::istringstream& line) {
  std::vector<double> v;
  double x;
  while (line >> x) v.push_back(x);
  return v;
}

std::vector<VectorCase> LoadCases() {
  std::ifstream f(vt_test::TestDataDir() + "/engine/data/filter_vectors.txt");
  std::vector<VectorCase> cases;
  std::string text;
  while (std::getline(f, text)) {
    std::istringstream line(text);
    line.imbue(std::locale::classic());
    std::string tag;
    line >> tag;
    if (tag == "case") {
      VectorCase c;
      int n;
      line >> c.name >> c.kind >> c.maxCoeff >> c.cascaded >> c.gain >> n;
      cases.push_back(c);
    } else if (!cases.empty()) {
      auto values = ReadValues(line);
      if (tag == "alpha") cases.back().alpha = values;
      if (tag == "beta") cases.back().beta = values;
      if (tag == "in") cases.back().in = values;
      if (tag == "out") cases.back().out = values;
    }
  }
  return cases;
}

DigiFilterBlock MakeFilter(const VectorCase& c) {
  DigiFilterBlock f;
  DigiFilter_Reset(&f, true);
  f.MaxCoeff = c.maxCoeff;
  f.Is_IIR = c.kind == "iir";
  f.Cascaded = c.cascaded;
  for (std::size_t i = 0; i < c.alpha.size(); ++i) f.alpha[i] = c.alpha[i];
  for (std::size_t i = 0; i < c.beta.size(); ++i) f.beta[i] = c.beta[i];
  return f;
}

TEST(DigiFilter, MatchesScipyLfilterVectors) {
  DigiFilter_ResetGlobals();
  const auto cases = LoadCases();
  ASSERT_EQ(cases.size(), 5u);
  for (const auto& c : cases) {
    ASSERT_EQ(c.in.size(), c.out.size()) << c.name;
    DigiFilterBlock f = MakeFilter(c);
    std::vector<double> out(c.in.size());
    DigiFilter_Process(c.in.data(), out.data(), c.gain, static_cast<int>(c.in.size()), &f);
    double peak = 0;
    for (double v : c.out) peak = std::max(peak, std::fabs(v));
    for (std::size_t i = 0; i < out.size(); ++i)
      ASSERT_NEAR(out[i], c.out[i], 1e-9 * peak) << c.name << " sample " << i;
  }
  EXPECT_EQ(g_DigiFilterOverflows.load(), 0);
  EXPECT_EQ(g_DigiFilterExceptions.load(), 0);
}

TEST(DigiFilter, BlockWiseEqualsSampleWise) {
  for (const auto& c : LoadCases()) {
    DigiFilterBlock whole = MakeFilter(c), single = MakeFilter(c), chunks = MakeFilter(c);
    const int n = static_cast<int>(c.in.size());
    std::vector<double> a(n), b(n), d(n);
    DigiFilter_Process(c.in.data(), a.data(), c.gain, n, &whole);
    for (int i = 0; i < n; ++i) DigiFilter_Process(&c.in[i], &b[i], c.gain, 1, &single);
    for (int i = 0, step = 1; i < n; i += step, step = step * 3 % 67 + 1)
      DigiFilter_Process(&c.in[i], &d[i], c.gain, std::min(step, n - i), &chunks);
    EXPECT_EQ(a, b) << c.name;
    EXPECT_EQ(a, d) << c.name;
    // The state after the run is the same too (the FIR ring and its pointer included).
    EXPECT_EQ(0, std::memcmp(whole.z, single.z, sizeof whole.z)) << c.name;
    EXPECT_EQ(whole.pZ - whole.z, single.pZ - single.z) << c.name;
  }
}

TEST(DigiFilter, ResetKeepsTheResponseAndCopiedRecordsRunFromTheirOwnRing) {
  const auto c = LoadCases()[0];  // FIR
  DigiFilterBlock f = MakeFilter(c);
  const int n = static_cast<int>(c.in.size());
  std::vector<double> first(n), again(n);
  DigiFilter_Process(c.in.data(), first.data(), c.gain, n, &f);
  DigiFilter_Reset(&f, false);
  DigiFilter_Process(c.in.data(), again.data(), c.gain, n, &f);
  EXPECT_EQ(first, again);
  // A running copy made from an edited record: its pZ points into the other record's ring.
  DigiFilterBlock edited = MakeFilter(c);
  edited.pZ = &edited.z[7];
  DigiFilterBlock running;
  std::memcpy(&running, &edited, sizeof running);
  std::fill(std::begin(running.z), std::end(running.z), 0.0);
  DigiFilter_Process(c.in.data(), again.data(), c.gain, n, &running);
  EXPECT_EQ(first, again);
  EXPECT_TRUE(running.pZ >= running.z && running.pZ <= running.z + 128);
}

TEST(DigiFilter, EdgeCasesOfTheRecord) {
  DigiFilter_ResetGlobals();
  const double in[4] = {1.0, -2.0, 3.0, 4.0};
  double out[4];
  // FIR of order 0 with alpha 1: the input times the gain.
  DigiFilterBlock f;
  DigiFilter_Reset(&f, true);
  f.alpha[0] = 1.0;
  DigiFilter_Process(in, out, 2.5, 4, &f);
  EXPECT_EQ(out[3], 10.0);
  EXPECT_EQ(out[0], 2.5);
  // IIR of order 0: a plain gain, nothing written before the delay line.
  DigiFilter_Reset(&f, true);
  f.Is_IIR = 1;
  f.alpha[0] = 3.0;
  f.beta[0] = 5.0;
  DigiFilter_Process(in, out, 1.0, 4, &f);
  EXPECT_EQ(out[2], 9.0);
  EXPECT_EQ(f.beta[0], 5.0);
  EXPECT_EQ(f.z[0], 0.0);
  // MaxCoeff 200 runs as 128 and is stored back.
  f.MaxCoeff = 200;
  DigiFilter_Process(in, out, 1.0, 4, &f);
  EXPECT_EQ(f.MaxCoeff, 128);
  // Cascaded 1 or negative: out is not written.
  for (int cascaded : {1, -3}) {
    f.Cascaded = cascaded;
    out[0] = 123.0;
    DigiFilter_Process(in, out, 1.0, 4, &f);
    EXPECT_EQ(out[0], 123.0);
  }
  // n < 1 and a null record do nothing.
  out[0] = 7.0;
  DigiFilter_Process(in, out, 1.0, 0, &f);
  DigiFilter_Process(in, out, 1.0, 4, nullptr);
  EXPECT_EQ(out[0], 7.0);
}

TEST(DigiFilter, CascadeOf29CoefficientsRunsTenBiquads) {
  // Ten identical sections y = x + 0.5 x[-1] (no feedback): the impulse response is the
  // binomial series of (1 + 0.5 z^-1)^10.
  DigiFilterBlock f;
  DigiFilter_Reset(&f, true);
  f.MaxCoeff = 29;
  f.Is_IIR = 1;
  f.Cascaded = 3;
  for (int k = 0; k < 10; ++k) {
    f.alpha[3 * k] = 1.0;
    f.alpha[3 * k + 1] = 0.5;
  }
  std::vector<double> in(12, 0.0), out(12);
  in[0] = 1.0;
  DigiFilter_Process(in.data(), out.data(), 1.0, 12, &f);
  double binom = 1.0;
  for (int i = 0; i <= 10; ++i) {
    EXPECT_DOUBLE_EQ(out[i], binom * std::pow(0.5, i)) << i;
    binom = binom * (10 - i) / (i + 1);
  }
  EXPECT_EQ(out[11], 0.0);
}

TEST(DigiFilter, ClampsAreCountedAndNonFiniteValuesRecover) {
  DigiFilter_ResetGlobals();
  // Unstable first-order IIR: y = x + z, z = 2 y  (beta[1] = -2) grows until the clamp.
  DigiFilterBlock f;
  DigiFilter_Reset(&f, true);
  f.MaxCoeff = 1;
  f.Is_IIR = 1;
  f.alpha[0] = 1.0;
  f.beta[1] = -2.0;
  std::vector<double> in(200, 0.0), out(200);
  in[0] = 1.0;
  DigiFilter_Process(in.data(), out.data(), 1.0, 200, &f);
  EXPECT_EQ(out[199], 1e20);
  const int clamps = g_DigiFilterOverflows.load();
  EXPECT_EQ(clamps, 200 - 67);  // 2^67 > 1e20 > 2^66: held from sample 67 on, once per sample
  // Tighter limits from the filter window.
  g_DigiFilterClipMax = 32767.0;
  g_DigiFilterClipMin = -32767.0;
  in[0] = -1.0;
  DigiFilter_Reset(&f, false);
  DigiFilter_Process(in.data(), out.data(), 1.0, 200, &f);
  EXPECT_EQ(out[199], -32767.0);
  // A NaN input: counted, and the section restarts from silence instead of staying NaN.
  DigiFilter_ResetGlobals();
  DigiFilterBlock g;
  DigiFilter_Reset(&g, true);
  g.MaxCoeff = 1;
  g.Is_IIR = 1;
  g.alpha[0] = 1.0;
  g.beta[1] = -0.5;
  std::vector<double> x = {1.0, NAN, 0.0, 1.0, 0.0};
  std::vector<double> y(5);
  DigiFilter_Process(x.data(), y.data(), 1.0, 5, &g);
  EXPECT_EQ(g_DigiFilterExceptions.load(), 1);
  EXPECT_EQ(y[2], 0.0);
  EXPECT_EQ(y[3], 1.0);
  EXPECT_EQ(y[4], 0.5);
  for (double v : g.z) EXPECT_TRUE(std::isfinite(v));
}

}  // namespace
