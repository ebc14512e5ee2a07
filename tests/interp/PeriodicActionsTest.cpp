// The schedule's time texts, the word period and the macro-running counter.
#include <cmath>
#include <string>

#include "CliFixture.h"
#include "interp/PeriodicActions.h"

namespace {

TEST(PeriSced, TimeTexts)
{
  const struct {
    const char* text;
    int seconds;
  } toSeconds[] = {
      {"07:05", 25500}, {"7:05", 300}, {"23:59", 86340}, {"00:00", 0}, {"ab:cd", 0},
      {"12", 43200},    {"12:3", 43380}, {"", 0},      {"1x:30", 1800},
  };
  for (const auto& c : toSeconds) EXPECT_EQ(PeriSced_HHMMToSeconds(c.text), c.seconds) << c.text;
  EXPECT_EQ(PeriSced_HHMMToSeconds(nullptr), 0);

  const struct {
    int seconds;
    const char* text;
  } toText[] = {{25500, "07:05"}, {0, "00:00"}, {86399, "23:59"}, {90000, "25:00"}, {-1, ""}};
  for (const auto& c : toText) EXPECT_STREQ(PeriSced_SecondsToHHMM(c.seconds), c.text) << c.seconds;
}

class PeriodWord : public CliTest {
protected:
  void SetUp() override
  {
    CliTest::SetUp();
    CLI_RegisterObjectWord("period", CLI_ExecPeriodCommand);
    SndConfig.TimerActive = false;
    SndConfig.TimeInterval = 900.0;
  }
  void TearDown() override
  {
    PeriSced_SetDialogHook(nullptr);
    CliTest::TearDown();
  }
};

TEST_F(PeriodWord, CommandTable)
{
  const struct {
    const char* macro;
    int rc;
    bool active;      // SndConfig.TimerActive after the command (starting inactive)
    double interval;  // SndConfig.TimeInterval after it (starting at 900)
  } table[] = {
      {"period.start(600)", CLI_OK, true, 600},
      {"period.start( 2*30 )", CLI_OK, true, 60},
      {"period.start(60", CLI_OK, true, 60},  // the ')' is optional
      {"period.start", CLI_OK, true, 900},
      {"period . start", CLI_ERR_SYNTAX, false, 900},  // a blank after the dot
      {"period.stop", CLI_OK, false, 900},
      {"period.go", CLI_ERR_UNKNOWN_COMMAND, false, 900},  // 'g' starts no word of period
      {"period.sx", CLI_ERR_SYNTAX, false, 900},          // 's' does, but not this one
      {"period.x", CLI_ERR_UNKNOWN_COMMAND, false, 900},
      {"period.Start", CLI_ERR_SYNTAX, false, 900},
      {"period.start(nix)", CLI_ERR_UNKNOWN_FUNCTION, false, 900},
      {"period.start(1e308*10)", CLI_ERR_ILLEGAL_VALUE, false, 900},   // not finite
      {"period.start(-1e308*10)", CLI_ERR_ILLEGAL_VALUE, false, 900},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.macro);
    SndConfig.TimerActive = false;
    SndConfig.TimeInterval = 900.0;
    EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, c.macro), c.rc);
    EXPECT_EQ(static_cast<bool>(SndConfig.TimerActive), c.active);
    EXPECT_EQ(SndConfig.TimeInterval, c.interval);
  }
  SndConfig.TimerActive = true;
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.stop"), CLI_OK);
  EXPECT_FALSE(SndConfig.TimerActive);
}

TEST_F(PeriodWord, InAnExpressionItYieldsZero)
{
  EXPECT_EQ(CLI_CalcExpression2(CLI_SRC_CMDWIN, "period.start(30)+5", 0, 0), 5.0);
  EXPECT_TRUE(SndConfig.TimerActive);
  EXPECT_EQ(SndConfig.TimeInterval, 30.0);
}

TEST_F(PeriodWord, DialogHookFollowsStartAndStop)
{
  std::vector<std::pair<bool, double>> calls;
  PeriSced_SetDialogHook([&](bool active, double interval) { calls.emplace_back(active, interval); });
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.start(120):period.stop:period.x");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], std::make_pair(true, 120.0));
  EXPECT_EQ(calls[1].first, false);
}

// The counter covers a macro's whole run: also inside a word's handler (where a dialog may
// wait) and for command texts; it is back to 0 after errors.
int g_DepthSeen = -1;
int DepthProbe(int, double* result)
{
  g_DepthSeen = g_CliMacroDepth;
  if (result) *result = 0;
  return *g_CliParsePtr == 'f' ? CLI_ERR_FAILED : CLI_OK;
}

TEST_F(CliTest, MacroCounterCoversTheWholeRun)
{
  CLI_RegisterObjectWord("plot", DepthProbe);
  EXPECT_EQ(g_CliMacroDepth, 0);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "plot.x"), CLI_OK);
  EXPECT_EQ(g_DepthSeen, 1);
  EXPECT_EQ(CLI_ExecuteCommandXY(CLI_SRC_MARKER, "plot.x", 1, 2), CLI_OK);
  EXPECT_EQ(g_DepthSeen, 1);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "plot.f"), CLI_ERR_FAILED);
  EXPECT_EQ(g_CliMacroDepth, 0);
  g_DepthSeen = -1;
  CLI_CalcExpression(CLI_SRC_DISPLAY, "plot.x", 0);  // an expression is no macro
  EXPECT_EQ(g_DepthSeen, 0);
}

}  // namespace
