// The generator word (read, set, errors, parse position, refresh) and the slider mapping.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "control/GeneratorSlider.h"
#include "control/GeneratorWords.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"

namespace {

struct GeneratorWordsTest : ::testing::Test {
  void SetUp() override
  {
    SetDefaultSettings();  // SinFreq 900, 1000, 1100; SinAmpl 0.1
    CLI_Init();
    for (auto& s : SndConfig.Sine) s.ParamsChanged = false;
    refreshes = 0;
    Generator_SetRefreshHook([this] { ++refreshes; });
  }
  void TearDown() override
  {
    Generator_SetRefreshHook({});
    CLI_RegisterObjectWord("generator", nullptr);
  }
  // Runs the handler on the text that follows "generator." as the dispatcher hands it over.
  int Eval(const char* text, double* result)
  {
    g_CliParsePtr = text;
    const int rc = CLI_EvalGeneratorObject(CLI_SRC_CMDWIN, result);
    rest = g_CliParsePtr;
    return rc;
  }
  std::string rest;
  int refreshes = 0;
};

TEST_F(GeneratorWordsTest, ReadsEachPropertyOfTheAddressedOscillator)
{
  SndConfig.Sine[2].SinAmpl = 0.0;
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"freq", 900.0},     {"[1].freq", 1000.0}, {"[1]freq", 1000.0},  {"[ 1 ].freq", 1000.0},
      {"[2.7].freq", 1100.0}, {"[1+1]freq", 1100.0}, {"ampl", 0.1},     {"[1].ampl", 0.1},
      {"level", -20.0},    {"[2].level", -100.0},  {"frequency", 900.0},
  };
  for (const Case& c : cases) {
    double v = -1.0;
    EXPECT_EQ(Eval(c.text, &v), 0) << c.text;
    EXPECT_NEAR(v, c.value, 1e-9) << c.text;
  }
  EXPECT_EQ(refreshes, 0);
  for (const auto& s : SndConfig.Sine) EXPECT_FALSE(s.ParamsChanged);
}

TEST_F(GeneratorWordsTest, SetsEachPropertyAndRaisesItsChangeFlag)
{
  struct Case {
    const char* text;
    int osc;
    double freq, ampl;
  } cases[] = {
      {"freq=1500", 0, 1500.0, 0.1},
      {"[1].freq = 2*700", 1, 1400.0, 0.1},
      {"[2]ampl 0.25", 2, 1100.0, 0.25},
      {"[2].level -6", 2, 1100.0, 0.501187233627272},
      {"level=0", 0, 900.0, 1.0},
  };
  for (const Case& c : cases) {
    SetDefaultSettings();
    for (auto& s : SndConfig.Sine) s.ParamsChanged = false;
    EXPECT_EQ(Eval(c.text, nullptr), 0) << c.text;
    EXPECT_EQ(rest, "") << c.text;
    for (int i = 0; i < 3; ++i) {
      const bool addressed = i == c.osc;
      EXPECT_EQ(SndConfig.Sine[i].ParamsChanged.load(), addressed) << c.text << " osc " << i;
      EXPECT_NEAR(SndConfig.Sine[i].SinFreq, addressed ? c.freq : 900.0 + 100.0 * i, 1e-9);
      EXPECT_NEAR(SndConfig.Sine[i].SinAmpl, addressed ? c.ampl : 0.1, 1e-12) << c.text;
    }
  }
  double level = 0.0;
  ASSERT_EQ(Eval("[2].level=-6", nullptr), 0);
  ASSERT_EQ(Eval("[2].level", &level), 0);
  EXPECT_NEAR(level, -6.0, 1e-9);
}

TEST_F(GeneratorWordsTest, FailuresReturnTheirCodeStopWhereFoundAndChangeNothing)
{
  struct Case {
    const char* text;
    int code;
    const char* rest;
  } cases[] = {
      {"[3].freq=1", CLI_ERR_BAD_INDEX, "].freq=1"},
      {"[-0.5].freq=1", CLI_ERR_BAD_INDEX, "].freq=1"},
      {"[1e999].freq=1", CLI_ERR_BAD_INDEX, "].freq=1"},  // not finite
      {"[1 x].freq=1", CLI_ERR_BRACKET, "x].freq=1"},
      {"[1", CLI_ERR_BRACKET, ""},
      {"[1/0].freq=1", CLI_ERR_DIV_BY_ZERO, nullptr},  // the expression's own code
      {"Freq=1", CLI_ERR_SYNTAX, "Freq=1"},
      {"fre=1", CLI_ERR_SYNTAX, "fre=1"},
      {"amp=1", CLI_ERR_SYNTAX, "amp=1"},
      {"=1", CLI_ERR_SYNTAX, "=1"},
      {"", CLI_ERR_SYNTAX, ""},
      {"xyz=1", CLI_ERR_UNKNOWN_COMMAND, "xyz=1"},
      {"[1].. freq=1", CLI_ERR_SYNTAX, ". freq=1"},
      {"freq=1e999", CLI_ERR_ILLEGAL_VALUE, ""},   // overflowing value
      {"level=1e6", CLI_ERR_ILLEGAL_VALUE, ""},    // 10^50000 is no amplitude
      {"ampl=1/0", CLI_ERR_DIV_BY_ZERO, nullptr},
      // An index behind the property word is misplaced: refused where it stands, never read
      // as the value 0.
      {"freq[0]=525", CLI_ERR_SYNTAX, "[0]=525"},
      {"freq [1]=525", CLI_ERR_SYNTAX, "[1]=525"},
      {"[1].level[2]=-6", CLI_ERR_SYNTAX, "[2]=-6"},
      {"ampl=[0]0.5", CLI_ERR_SYNTAX, "[0]0.5"},
      {"ampl= [0]", CLI_ERR_SYNTAX, "[0]"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Eval(c.text, nullptr), c.code) << c.text;
    if (c.rest) {
      EXPECT_EQ(rest, c.rest) << c.text;
    }
    // Failures before the value also fail a read, which then stores nothing.
    const bool inValue = c.code == CLI_ERR_ILLEGAL_VALUE || std::string(c.text).rfind("ampl", 0) == 0;
    if (!inValue) {
      double v = 42.0;
      EXPECT_EQ(Eval(c.text, &v), c.code) << "read " << c.text;
      EXPECT_EQ(v, 42.0) << c.text;
    }
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(SndConfig.Sine[i].SinFreq, 900.0 + 100.0 * i);
    EXPECT_EQ(SndConfig.Sine[i].SinAmpl, 0.1);
    EXPECT_FALSE(SndConfig.Sine[i].ParamsChanged);
  }
  EXPECT_EQ(refreshes, 0);
}

TEST_F(GeneratorWordsTest, RefreshOnlyWhenTheValueChanged)
{
  ASSERT_EQ(Eval("[1].freq=1000", nullptr), 0);  // already stored
  EXPECT_TRUE(SndConfig.Sine[1].ParamsChanged);
  EXPECT_EQ(refreshes, 0);
  ASSERT_EQ(Eval("[1].freq=1001", nullptr), 0);
  EXPECT_EQ(refreshes, 1);
  ASSERT_EQ(Eval("[1].level=-20", nullptr), 0);  // 0.1 again, up to rounding
  EXPECT_LE(refreshes, 2);
}

TEST_F(GeneratorWordsTest, ServedByTheInterpreterOnlyWhileRegistered)
{
  CLI_RegisterObjectWord("generator", nullptr);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "generator[1].freq=1234"), CLI_ERR_UNKNOWN_COMMAND);
  EXPECT_EQ(SndConfig.Sine[1].SinFreq, 1000.0);

  Generator_RegisterWords();
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "generator[1].freq=1234:generator.level=-6"), 0);
  EXPECT_EQ(SndConfig.Sine[1].SinFreq, 1234.0);
  EXPECT_NEAR(CLI_CalcExpression2(CLI_SRC_CMDWIN, "generator[1].freq*2", 0, 0), 2468.0, 1e-9);
  EXPECT_NEAR(CLI_CalcExpression2(CLI_SRC_CMDWIN, "generator.level", 0, 0), -6.0, 1e-9);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "generator.xyz=1"), CLI_ERR_UNKNOWN_COMMAND);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "generator[5].freq=1"), CLI_ERR_BAD_INDEX);
  // A misplaced index stops the macro with a syntax error; oscillator 0 keeps its frequency.
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "generator.freq[0]=525:generator[2].freq=1"),
            CLI_ERR_SYNTAX);
  EXPECT_EQ(SndConfig.Sine[0].SinFreq, 900.0);
  EXPECT_EQ(SndConfig.Sine[2].SinFreq, 1100.0);
  EXPECT_EQ(CLI_CalcExpression2(CLI_SRC_CMDWIN, "generator.freq[1]", 0, 0), CLI_INVALID_VALUE);
}

TEST(GeneratorSliderTest, FrequencyToPositionForATableOfRanges)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double fmin, fmax;
    int maxPos;
    double freq;
    int pos;
  } cases[] = {
      {0, 5000, 50000, 1234.5, 12345}, {0, 5000, 50000, 0, 0},      {0, 5000, 50000, 5000, 50000},
      {1000, 2000, 20000, 1500, 10000}, {1000, 2000, 20000, 500, 0}, {1000, 2000, 20000, 3000, 20000},
      {1000, 2000, 20000, 1000.09, 1},  // truncated toward zero
      {100, 100, 1000, 100, 0},        // empty range
      {2000, 1000, 10000, 1500, 0},    // inverted range
      {0, 5000, 50000, nan, 0},
      {0, 5000, 50000, -1e300, 0},     {0, 5000, 50000, 1e300, 50000},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FreqToSliderPos(c.freq, c.fmin, c.fmax, c.maxPos), c.pos)
        << c.fmin << ".." << c.fmax << " f=" << c.freq;
}

TEST(GeneratorSliderTest, PositionToFrequencyForATableOfRanges)
{
  struct Case {
    double fmin, fmax;
    int maxPos, pos;
    double freq;
  } cases[] = {
      {0, 5000, 50000, 12345, 1234.5}, {1000, 2000, 20000, 10000, 1500}, {1000, 2000, 20000, 0, 1000},
      {1000, 2000, 20000, 20000, 2000},
      {100, 100, 1000, 500, 100},     // empty range: always its one frequency
      {2000, 1000, 10000, 5000, 1500}, // inverted range runs downwards
      {0, 0, 0, 7, 0},                // maximum 0 counts as 1
      {10, 20, 0, 1, 20},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(SliderPosToFreq(c.pos, c.fmin, c.fmax, c.maxPos), c.freq, 1e-9)
        << c.fmin << ".." << c.fmax << " p=" << c.pos;
  EXPECT_EQ(SliderMaxForRange(5000), 50000);
  EXPECT_EQ(SliderMaxForRange(5512.55), 55125);
  EXPECT_EQ(SliderMaxForRange(0), 0);
  EXPECT_EQ(SliderMaxForRange(-3), 0);
}

}  // namespace
