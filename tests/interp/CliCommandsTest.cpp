// Commands, macros, print, sound and click, object-word registration and the message lines.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CliFixture.h"
#include "interp/PeriodicActions.h"

namespace {

int g_Beeps = 0;
std::vector<int> g_Tones;
void FakeBeep() { ++g_Beeps; }
void FakeTone(int hz) { g_Tones.push_back(hz); }

// "hh:mm:ss " in front of the text, with a valid time of day.
bool HasTimeStamp(const std::string& line, const std::string& text)
{
  if (line.size() != 9 + text.size() || line.compare(9, std::string::npos, text) != 0) return false;
  int h = 0, m = 0, s = 0;
  char tail = 0;
  return std::sscanf(line.c_str(), "%2d:%2d:%2d%c", &h, &m, &s, &tail) == 4 && tail == ' ' && line[2] == ':' &&
         line[5] == ':' && h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60;
}

// A fake object word: records where it was called and how, then consumes one lowercase word.
struct HandlerCall {
  int source;
  bool hadResult;
  std::string rest;
};
std::vector<HandlerCall> g_Calls;

int ConsumeWord()
{
  while (*g_CliParsePtr >= 'a' && *g_CliParsePtr <= 'z') ++g_CliParsePtr;
  return 0;
}

// Function context: the value 21; command context: "=" expression stored in g_Assigned.
double g_Assigned = 0;
int FakeNumberWord(int source, double* result)
{
  g_Calls.push_back({source, result != nullptr, g_CliParsePtr});
  if (*g_CliParsePtr < 'a' || *g_CliParsePtr > 'z') return CLI_ERR_SYNTAX;
  ConsumeWord();
  while (*g_CliParsePtr == '.') {
    ++g_CliParsePtr;
    ConsumeWord();
  }
  if (result) {
    *result = 21;
    g_CliResultType = CLI_TYPE_NUMBER;
    return 0;
  }
  CLI_CheckAndSkipChar('=');
  return CLI_EvalExpression(source, &g_Assigned);
}

// A word that yields text in string context and stores nothing in function context.
int FakeTextWord(int source, double* result)
{
  g_Calls.push_back({source, result != nullptr, g_CliParsePtr});
  ConsumeWord();
  std::strcpy(g_CliStringResult, "Title 1");
  g_CliResultType = CLI_TYPE_STRING;
  return 0;
}

class CliCommandsTest : public CliTest {
protected:
  void SetUp() override
  {
    CliTest::SetUp();
    g_Beeps = 0;
    g_Tones.clear();
    g_Calls.clear();
    g_Assigned = 0;
    CLI_SetBeepFunc(FakeBeep);
    CLI_SetSpeakerToneFunc(FakeTone);
  }
};

}  // namespace

TEST_F(CliCommandsTest, MacroRules)
{
  CLI_RegisterObjectWord("period", CLI_ExecPeriodCommand);
  const struct {
    const char* macro;
    int rc;
    int beeps;
    const char* errorText;  // g_CliErrorText afterwards
    const char* unknown;    // the word the message names for -4
  } table[] = {
      {"click:click", 0, 2, "", nullptr},
      {"click: click", CLI_ERR_SYNTAX, 1, "Error near \" click\"", nullptr},
      {"click xyz", 0, 1, "", nullptr},
      {"click xyz:click", 0, 1, "", nullptr},  // text after a command ends the macro
      {"", 0, 0, "", nullptr},
      {":click", 0, 1, "", nullptr},
      {"click:", 0, 1, "", nullptr},
      {"click::click", CLI_ERR_SYNTAX, 1, "Error near \":click\"", nullptr},
      {"click:foo:click", CLI_ERR_UNKNOWN_COMMAND, 1, "Error near \"foo:click\"", "foo"},
      {"X=5", CLI_ERR_OUT_OF_MEMORY, 0, "Error near \"X=5\"", nullptr},
      {"X 5", CLI_ERR_SYNTAX, 0, "Error near \"X 5\"", nullptr},
      {"foo", CLI_ERR_UNKNOWN_COMMAND, 0, "Error near \"foo\"", "foo"},
      {"cx", CLI_ERR_SYNTAX, 0, "Error near \"cx\"", nullptr},
      {"ci.osc.freq=1", CLI_ERR_SYNTAX, 0, "Error near \"ci.osc.freq=1\"", nullptr},
      {"5", CLI_ERR_SYNTAX, 0, "Error near \"5\"", nullptr},
      {" click", CLI_ERR_SYNTAX, 0, "Error near \" click\"", nullptr},
      {"print 1 x yyyyyyyyyyyyyyyy", CLI_ERR_SYNTAX, 0, "Error near \"print 1 x yyyyyy\"", nullptr},
      {"wave.record", CLI_ERR_UNKNOWN_COMMAND, 0, "Error near \"wave.record\"", "wave"},
      {"click:period.xyz=1", CLI_ERR_UNKNOWN_COMMAND, 1, "Error near \"period.xyz=1\"", "xyz"},
      {"period.start(qork_2+1)", CLI_ERR_UNKNOWN_FUNCTION, 0, "Error near \"period.start(qor\"", nullptr},
      {"exec (\"x\")", CLI_ERR_ARG_MISSING, 0, "Error near \"exec (\"x\")\"", nullptr},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.macro);
    g_Beeps = 0;
    messages().clear();
    const char* outer = "outer";
    g_CliParsePtr = outer;
    EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, t.macro), t.rc);
    EXPECT_EQ(g_Beeps, t.beeps);
    EXPECT_STREQ(g_CliErrorText, t.errorText);
    EXPECT_EQ(g_CliParsePtr, outer);
    if (t.rc < 0) {
      // The error goes to the command window with a time stamp; the "Error near" text does not.
      ASSERT_EQ(messages().size(), 1u);
      EXPECT_EQ(messages()[0].msgClass, CMDWIN_MSG_ERROR);
      std::string want = std::string(CLI_ErrorCodeToString(t.rc)) + " in macro line";
      if (t.unknown) want += std::string(": \"") + t.unknown + "\"";
      EXPECT_TRUE(HasTimeStamp(messages()[0].line, want)) << messages()[0].line;
    } else {
      EXPECT_TRUE(messages().empty());
    }
  }
  CLI_RegisterObjectWord("period", nullptr);
}

TEST_F(CliCommandsTest, MacroErrorsStayQuietWithoutTheFilterBits)
{
  SndConfig.MsgDisplay = MSGDISP_HINTS | MSGDISP_SCHED_ACTIONS;
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "foo"), CLI_ERR_UNKNOWN_COMMAND);
  EXPECT_TRUE(messages().empty());
  SndConfig.MsgDisplay = MSGDISP_WARNINGS;
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_WATCH, "foo"), CLI_ERR_UNKNOWN_COMMAND);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].source, CLI_SRC_WATCH);
}

TEST_F(CliCommandsTest, PrintFormatsItemsAndJoinsThem)
{
  CLI_RegisterObjectWord("export", FakeTextWord);
  const struct {
    const char* macro;
    int rc;
    const char* line;  // nullptr: no line
  } table[] = {
      {"print \"a\",1;2", 0, "a 12"},
      {"print 1.23456", 0, "1.235"},
      {"print(1, 2)", 0, "1 2"},
      {"print (\"x=\";x):click", 0, "x=2.5"},
      {"print str(\"0.0\",1)+\"V\"", 0, "1.0V"},
      {"print export.title", 0, "Title 1"},
      {"print 1 2", CLI_ERR_SYNTAX, nullptr},
      {"print 1/0", CLI_ERR_DIV_BY_ZERO, nullptr},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.macro);
    messages().clear();
    g_CliArgX = 2.5;
    EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, t.macro), t.rc);
    if (t.line) {
      ASSERT_EQ(messages().size(), 1u);
      EXPECT_EQ(messages()[0].line, t.line);  // no time stamp
      EXPECT_EQ(messages()[0].msgClass, CMDWIN_MSG_INFO);
    }
  }
}

TEST_F(CliCommandsTest, PrintStaysWithinItsBuffer)
{
  // A number item is cut to the space left; the separator blank needs two characters of space.
  const std::string longText(250, 'a');
  const std::string macro = "print \"" + longText + "\",123456789";
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, macro.c_str()), 0);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].line, longText + " 1234");
}

TEST_F(CliCommandsTest, SoundAndClick)
{
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "sound 1k:sound 0:sound(2*220.7):sound -5"), 0);
  EXPECT_EQ(g_Tones, (std::vector<int>{1000, 0, 441, -5}));
  g_Tones.clear();
  // Values that do not fit an int are refused instead of converted.
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "sound 1e30"), CLI_ERR_ILLEGAL_VALUE);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "sound -1e10"), CLI_ERR_ILLEGAL_VALUE);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "sound foo"), CLI_ERR_UNKNOWN_FUNCTION);
  EXPECT_TRUE(g_Tones.empty());
  EXPECT_EQ(CLI_ExecuteCommandXY(CLI_SRC_MARKER, "sound x+y", 400, 40), 0);  // one factor: x
  EXPECT_EQ(g_Tones, (std::vector<int>{400}));
  // Without hooks both are silent no-ops.
  CLI_SetBeepFunc(nullptr);
  CLI_SetSpeakerToneFunc(nullptr);
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "click:sound 1k"), 0);
  EXPECT_EQ(g_Beeps, 0);
}

TEST_F(CliCommandsTest, ObjectWordRegistration)
{
  EXPECT_FALSE(CLI_RegisterObjectWord("foo", FakeNumberWord));
  EXPECT_FALSE(CLI_RegisterObjectWord("ci", FakeNumberWord));
  EXPECT_FALSE(CLI_RegisterObjectWord(nullptr, FakeNumberWord));
  for (const char* w : {"wave", "capture", "circuit", "generator", "export", "plot", "period", "digimode"}) {
    EXPECT_EQ(CLI_GetObjectWordHandler(w), nullptr) << w;
    EXPECT_TRUE(CLI_RegisterObjectWord(w, FakeNumberWord)) << w;
    EXPECT_EQ(CLI_GetObjectWordHandler(w), FakeNumberWord) << w;
  }
  CLI_Init();  // keeps the registrations
  EXPECT_EQ(CLI_GetObjectWordHandler("plot"), FakeNumberWord);
  EXPECT_TRUE(CLI_RegisterObjectWord("plot", nullptr));
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, "plot.x"), CLI_ERR_UNKNOWN_COMMAND);
}

TEST_F(CliCommandsTest, ObjectWordsInFunctionContext)
{
  for (const char* w : {"circuit", "generator", "export", "plot", "period", "digimode"})
    CLI_RegisterObjectWord(w, FakeNumberWord);
  const struct {
    const char* text;
    const char* rest;  // where the handler starts reading
  } table[] = {
      {"circuit.osc.freq*2", "osc.freq*2"},  // circuit is tried before ci
      {"ci.osc.freq*2", "osc.freq*2"},
      {"ci .osc*2", "osc*2"},
      {"digimode.rxfreq*2", "rxfreq*2"},  // digimode before di
      {"di.rxfreq*2", "rxfreq*2"},
      {"generator.freq*2", "freq*2"},
      {"export.value*2", "value*2"},
      {"plot .chan*2", "chan*2"},
      {"period.next*2", "next*2"},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.text);
    g_Calls.clear();
    EXPECT_EQ(CLI_CalcExpression(CLI_SRC_WATCH, t.text, -1), 42);
    ASSERT_EQ(g_Calls.size(), 1u);
    EXPECT_EQ(g_Calls[0].source, CLI_SRC_WATCH);
    EXPECT_TRUE(g_Calls[0].hadResult);
    EXPECT_EQ(g_Calls[0].rest, t.rest);
  }
  // A handler that stores no number leaves a defined value (0) behind.
  CLI_RegisterObjectWord("export", FakeTextWord);
  g_CliParsePtr = "export.title";
  double v = 99;
  EXPECT_EQ(CLI_EvalFactor(CLI_SRC_CMDWIN, &v), 0);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(g_CliResultType, CLI_TYPE_STRING);
  // In string context the same word yields its text; a number-valued word is refused.
  char buf[32];
  g_CliParsePtr = "\"[\"+export.title+\"]\"";
  EXPECT_EQ(CLI_EvalStringExpression(CLI_SRC_CMDWIN, buf, 31), 9);
  EXPECT_STREQ(buf, "[Title 1]");
  CLI_RegisterObjectWord("export", FakeNumberWord);
  g_CliParsePtr = "export.value";
  EXPECT_EQ(CLI_EvalStringExpression(CLI_SRC_CMDWIN, buf, 31), CLI_ERR_STRING_EXPECTED);
}

TEST_F(CliCommandsTest, ObjectWordsInCommandContext)
{
  for (const char* w : {"wave", "capture", "circuit", "generator", "export", "plot", "period", "digimode"})
    CLI_RegisterObjectWord(w, FakeNumberWord);
  const struct {
    const char* macro;
    const char* rest;
    double assigned;
  } table[] = {
      {"circuit.osc.freq=1k", "osc.freq=1k", 1000},
      {"generator.freq = 2*x", "freq = 2*x", 6},
      {"digimode.txfreq=3", "txfreq=3", 3},
      {"export.start", "start", 0},
      {"wave.stop", "stop", 0},
      {"capture(x.bmp)", "(x.bmp)", 0},
      {"period . start", " start", 0},
      {"plot.start", "start", 0},
  };
  for (const auto& t : table) {
    SCOPED_TRACE(t.macro);
    g_Calls.clear();
    g_Assigned = 0;
    g_CliArgX = 3;
    const int rc = CLI_ExecuteMacro(CLI_SRC_CMDWIN, t.macro);
    ASSERT_EQ(g_Calls.size(), 1u);
    EXPECT_FALSE(g_Calls[0].hadResult);
    EXPECT_EQ(g_Calls[0].rest, t.rest);
    if (t.rest[0] >= 'a') {
      EXPECT_EQ(rc, 0);
      EXPECT_EQ(g_Assigned, t.assigned);
    } else {
      EXPECT_EQ(rc, CLI_ERR_SYNTAX);  // the handler's own answer is the command's result
    }
  }
}

TEST_F(CliCommandsTest, InitClearsTheState)
{
  g_CliArgX = 1;
  g_CliResultType = 2;
  std::strcpy(g_CliErrorText, "old");
  g_FreqMarkers[2].freq = 5;
  g_FreqMarkers[1].dragging = true;
  g_LatestSpectrum.nr_of_bins = 7;
  g_LatestSpectrum.bins[3] = 9;
  CLI_Init();
  EXPECT_EQ(g_CliArgX, 0);
  EXPECT_EQ(g_CliResultType, CLI_TYPE_NONE);
  EXPECT_STREQ(g_CliErrorText, "");
  EXPECT_EQ(g_CliNestingDepth, 0);
  EXPECT_EQ(g_FreqMarkers[2].freq, 0);
  EXPECT_FALSE(g_FreqMarkers[1].dragging);
  EXPECT_EQ(g_LatestSpectrum.nr_of_bins, 0);
  EXPECT_EQ(g_LatestSpectrum.bins[3], 0);
  EXPECT_EQ(g_LatestSpectrum.structSize, 65600);
  EXPECT_EQ(g_LatestSpectrum.bin_width_hz, 1.0);
  EXPECT_EQ(g_DiffSpectrum.bin_width_hz, 1.0);
  EXPECT_EQ(g_ReferenceSpectrum.bin_width_hz, 0.0);  // no reference in force
  EXPECT_EQ(g_ReferenceSpectrum.structSize, 65600);
}

TEST_F(CliCommandsTest, CommandWindowMessages)
{
  CmdWin_AddMessage(CLI_SRC_EXPORT, CMDWIN_MSG_INFO, "plain");
  CmdWin_AddTimedMessage(CLI_SRC_CAPTURE, CMDWIN_MSG_ERROR, "stamped");
  ASSERT_EQ(messages().size(), 2u);
  EXPECT_EQ(messages()[0].line, "plain");
  EXPECT_EQ(messages()[0].source, CLI_SRC_EXPORT);
  EXPECT_TRUE(HasTimeStamp(messages()[1].line, "stamped")) << messages()[1].line;
  EXPECT_EQ(messages()[1].source, CLI_SRC_CAPTURE);
  EXPECT_EQ(messages()[1].msgClass, CMDWIN_MSG_ERROR);
  // While the window is not shown every message is dropped.
  CmdWin_SetShown(false);
  EXPECT_FALSE(CmdWin_IsShown());
  CmdWin_AddMessage(0, 0, "lost");
  CmdWin_AddTimedMessage(0, 0, "lost");
  EXPECT_EQ(messages().size(), 2u);
}
