// The command language as one table: operators and precedence, number syntaxes and units,
// function words, string expressions, str/val with patterns, and the error codes.
#include <cmath>
#include <cstring>
#include <ctime>

#include "CliFixture.h"

namespace {

struct NumCase {
  const char* text;
  int rc;           // expected result code
  double value;     // expected value (when rc == 0)
  const char* rest; // text left unparsed after the expression
};

// x = 3, y = 4, z = 5; the latest spectrum's time is 1234.5.
const NumCase kNumCases[] = {
    // precedence and operators
    {"2+3*4", 0, 14, ""},
    {"-2*3", 0, -6, ""},
    {"2*-3", 0, -6, ""},
    {"-x+1", 0, -2, ""},
    {"10-4-3", 0, 3, ""},
    {"16/4/2", 0, 2, ""},
    {"10/0", CLI_ERR_DIV_BY_ZERO, 0, ""},
    {"2*(3+4)", 0, 14, ""},
    {" ( 1 + 2 ) * 3 ", 0, 9, ""},
    {"(1+2", CLI_ERR_SYNTAX, 0, ""},
    {"1<2+1", 0, 2, ""},
    {"5<x+1", 0, 1, ""},
    {"x+1>3", 0, 1, ""},
    {"3=3", 0, 1, ""},
    {"3==3", 0, 1, ""},
    {"3=4", 0, 0, ""},
    {"1<>1", 0, 0, ""},
    {"1<>2", 0, 1, ""},
    {"2<=2", 0, 1, ""},
    {"3<=2", 0, 0, ""},
    {"2>=3", 0, 0, ""},
    {"3>=3", 0, 1, ""},
    {"3>2", 0, 1, ""},
    {"2<1", 0, 0, ""},
    {"0?5:6", 0, 6, ""},
    {"2?5:6", 0, 5, ""},
    {"1+0?5:6", 0, 7, ""},
    {"x>1?5:6", 0, 0, ""},    // x > (1?5:6)
    {"(x>1)?5:6", 0, 5, ""},
    {"1?0?7:8:9", 0, 8, ""},  // a '?' inside a branch nests to the right
    {"1?2", CLI_ERR_SYNTAX, 0, ""},
    {"2*3 junk", 0, 6, "junk"},
    // numbers and units
    {"$ff", 0, 255, ""},
    {"0xff", 0, 255, ""},
    {"$1A", 0, 26, ""},
    {"#255", 0, 255, ""},
    {"%101", 0, 5, ""},
    {"0XFF", 0, 0, "XFF"},
    {"12.5", 0, 12.5, ""},
    {".5", 0, 0.5, ""},
    {"5.", 0, 5, ""},
    {"1e3", 0, 1000, ""},
    {"2.5E-2", 0, 0.025, ""},
    {"1e+2", 0, 100, ""},
    {"7e", 0, 7, ""},
    {"1.5k", 0, 1500, ""},
    {"2MHz", 0, 2e6, ""},
    {"5ms", 0, 0.005, ""},
    {"3pF", 0, 3e-12, ""},
    {"3n", 0, 3e-9, ""},
    {"3u", 0, 3e-6, ""},
    {"3G", 0, 3e9, ""},
    {"3T", 0, 3e12, ""},
    {"3 k", 0, 3, "k"},
    {"4q", 0, 4, "q"},
    {"A", 0, 0, "A"},
    {"", 0, 0, ""},
    {"1e999", 0, HUGE_VAL, ""},
    // function words
    {"pi", 0, 3.141592653589793, ""},
    {"x*y+z", 0, 17, ""},
    {"xyz", 0, 3, "yz"},
    {"sqrt(16)", 0, 4, ""},
    {"sqrt 16", 0, 4, ""},
    {"sqrt(-4)", 0, 0, ""},
    {"sin 0", 0, 0, ""},
    {"cos(0)*2", 0, 2, ""},
    {"cos(0", CLI_ERR_PARENTHESIS, 0, ""},
    {"min(3,1,2)", 0, 1, ""},
    {"max(3)", 0, 3, ""},
    {"max(1, 7 ,2)", 0, 7, ""},
    {"max 3", CLI_ERR_PARENTHESIS, 0, ""},
    {"min(3,1", CLI_ERR_PARENTHESIS, 0, ""},
    {"time", 0, 1234.5, ""},
    {"timeout", 0, 1234.5, "out"},
    {"val(\"12.5\")", 0, 12.5, ""},
    {"val(\"$1F\")", 0, 31, ""},
    {"val(\"3\",\"0.0\")*2", 0, 6, ""},
    {"val(\"01:30\",\"hh:mm\")", 0, 5400, ""},
    {"val(\"2001-12-07\",\"YYYY-MM-DD\")", 0, 1007683200, ""},  // calendar.timegm
    {"val(\"1\",\"q\")", CLI_ERR_BAD_FORMAT, 0, ""},
    {"val (\"1\")", CLI_ERR_SYNTAX, 0, ""},
    {"val(\"1\"", CLI_ERR_PARENTHESIS, 0, ""},
    {"val(12)", CLI_ERR_STRING_EXPECTED, 0, ""},
    {"foo", CLI_ERR_UNKNOWN_FUNCTION, 0, ""},
    {"cx", CLI_ERR_UNKNOWN_FUNCTION, 0, ""},
    // object words without a registered handler
    {"circuit.osc.freq", CLI_ERR_UNKNOWN_COMMAND, 0, ""},
    {"generator.freq", CLI_ERR_UNKNOWN_COMMAND, 0, ""},
    {"export.x", CLI_ERR_UNKNOWN_COMMAND, 0, ""},
    {"di.x", CLI_ERR_UNKNOWN_COMMAND, 0, ""},
    {"plot.x", CLI_ERR_UNKNOWN_COMMAND, 0, ""},
    {"period.x", CLI_ERR_UNKNOWN_COMMAND, 0, ""},
};

}  // namespace

TEST_F(CliTest, NumericExpressionTable)
{
  for (const NumCase& c : kNumCases) {
    SCOPED_TRACE(c.text);
    g_CliArgX = 3;
    g_CliArgY = 4;
    g_CliArgZ = 5;
    g_LatestSpectrum.time = 1234.5;
    g_CliParsePtr = c.text;
    double v = -999;
    const int rc = CLI_EvalExpression(CLI_SRC_CMDWIN, &v);
    EXPECT_EQ(rc, c.rc);
    EXPECT_EQ(g_CliNestingDepth, 0);
    if (c.rc == 0) {
      if (std::isinf(c.value)) {
        EXPECT_EQ(v, c.value);
      } else {
        EXPECT_NEAR(v, c.value, std::fabs(c.value) * 1e-12 + 1e-15);
      }
      EXPECT_STREQ(g_CliParsePtr, c.rest);
    }
  }
}

TEST_F(CliTest, NowIsTheCurrentUnixTime)
{
  const double before = static_cast<double>(std::time(nullptr));
  const double v = CLI_CalcExpression(CLI_SRC_CMDWIN, "now", -1);
  EXPECT_GE(v, before - 2);
  EXPECT_LE(v, before + 5);
}

TEST_F(CliTest, NestingLimitIsTwentyParenthesesInsideOneExpression)
{
  const std::string twenty = std::string(20, '(') + "7" + std::string(20, ')');
  const std::string twentyOne = std::string(21, '(') + "7" + std::string(21, ')');
  EXPECT_EQ(CLI_CalcExpression(CLI_SRC_CMDWIN, twenty.c_str(), 1), 7);
  EXPECT_EQ(CLI_CalcExpression(CLI_SRC_CMDWIN, twentyOne.c_str(), 1), 1);  // failed: x comes back
  g_CliParsePtr = twentyOne.c_str();
  double v = 0;
  EXPECT_EQ(CLI_EvalExpression(CLI_SRC_CMDWIN, &v), CLI_ERR_STACK_DEPTH);
  EXPECT_EQ(g_CliNestingDepth, 0);
}

TEST_F(CliTest, ConditionalChainsCountAgainstTheNestingLimit)
{
  // "1?1?...:0:0": each '?' opens its branches one level deeper. Short chains evaluate; a chain
  // of tens of thousands ends with the depth error instead of overflowing the stack.
  auto chain = [](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += "1?";
    s += "5";
    for (int i = 0; i < n; ++i) s += ":0";
    return s;
  };
  const std::string shortChain = chain(5);
  EXPECT_EQ(CLI_CalcExpression(CLI_SRC_CMDWIN, shortChain.c_str(), -1), 5);
  const std::string longChain = chain(50000);
  g_CliParsePtr = longChain.c_str();
  double v = 0;
  EXPECT_EQ(CLI_EvalExpression(CLI_SRC_CMDWIN, &v), CLI_ERR_STACK_DEPTH);
  EXPECT_EQ(g_CliNestingDepth, 0);
}

TEST_F(CliTest, CalcExpressionEntryPointsRestoreThePositionAndReportFailure)
{
  const char* outer = "outer text";
  g_CliParsePtr = outer;
  EXPECT_EQ(CLI_CalcExpression(CLI_SRC_DISPLAY, "x*2", 21), 42);
  EXPECT_EQ(CLI_CalcExpression(CLI_SRC_DISPLAY, "1/0", 7.5), 7.5);
  EXPECT_EQ(CLI_CalcExpression(CLI_SRC_DISPLAY, nullptr, 3), 0);
  EXPECT_EQ(CLI_CalcExpression2(CLI_SRC_MARKER, "x+y+z", 1, 2), 5);
  EXPECT_EQ(CLI_CalcExpression2(CLI_SRC_MARKER, "foo", 1, 2), 1e300);
  EXPECT_EQ(g_CliParsePtr, outer);
}

TEST_F(CliTest, ParseNumberAtLeavesTheParsePositionAlone)
{
  const char* text = " -$10 rest";
  const char* p = text;
  g_CliParsePtr = "untouched";
  EXPECT_EQ(CLI_ParseNumberAt(&p), -16);
  EXPECT_STREQ(p, " rest");
  EXPECT_STREQ(g_CliParsePtr, "untouched");
  const char* q = "3k";
  EXPECT_EQ(CLI_ParseNumberAt(&q), 3);  // no unit suffix here
  EXPECT_STREQ(q, "k");
}

namespace {

struct StrCase {
  const char* text;
  int maxLen;
  int rc;              // length or error code
  const char* result;  // expected text (when rc >= 0)
};

const StrCase kStrCases[] = {
    {"\"ab\"+\"cd\"", 255, 4, "abcd"},
    {" \"ab\" + \"cd\" ", 255, 4, "abcd"},
    {"@\"a\"+@ \"b\"", 255, 2, "ab"},
    {"\"a\"+", 255, 1, "a"},
    // A text of exactly maxLen characters fits; one character more does not (the destination
    // then holds the first maxLen).
    {"\"abc\"", 3, 3, "abc"},
    {"\"abcd\"", 3, CLI_ERR_STRING_TOO_LONG, "abc"},
    {"\"abc\"", 4, 3, "abc"},
    {"\"ab\"+\"c\"", 3, 3, "abc"},
    {"\"ab\"+\"cd\"", 3, CLI_ERR_STRING_TOO_LONG, "abc"},
    {"\"abc\"+\"\"", 3, 3, "abc"},
    {"\"abc\"+\"d\"", 3, CLI_ERR_STRING_TOO_LONG, "abc"},
    {"\"a\"+str(25)", 3, 3, "a25"},
    {"\"a\"+str(250)", 3, CLI_ERR_STRING_TOO_LONG, nullptr},
    {"\"\"", 0, 0, ""},
    {"\"x\"", 0, CLI_ERR_STRING_TOO_LONG, ""},
    {"\"abc", 255, CLI_ERR_STRING_EXPECTED, nullptr},
    {"123", 255, CLI_ERR_STRING_EXPECTED, nullptr},
    {"str(3.14159)", 255, 3, "3.1"},
    {"str(\"0.00\",2)", 255, 4, "2.00"},
    {"str( \"0.00\" , 1/3 )", 255, 4, "0.33"},
    {"str(\"+0.0\",-1.5)", 255, 4, "-1.5"},
    {"str(\"+0\",2)", 255, 2, "+2"},
    {"str(\"#,##0\",1234567)", 255, 9, "1,234,567"},
    {"str(\"hh:mm\",0)", 255, 5, "00:00"},
    {"str(\"YYYY-MM-DD hh:mm:ss\",1007683200+3723)", 255, 19, "2001-12-07 01:02:03"},
    {"\"t=\"+str(2*x)", 255, 4, "t=42"},
    {"str(\"0.0\" 2)", 255, CLI_ERR_ARG_MISSING, nullptr},
    {"str (1)", 255, CLI_ERR_SYNTAX, nullptr},
    {"str(1", 255, CLI_ERR_PARENTHESIS, nullptr},
    {"sx(1)", 255, CLI_ERR_UNKNOWN_COMMAND, nullptr},
    {"exec", 255, CLI_ERR_UNKNOWN_COMMAND, nullptr},
    {"export.title", 255, CLI_ERR_UNKNOWN_COMMAND, nullptr},
};

}  // namespace

TEST_F(CliTest, StringExpressionTable)
{
  for (const StrCase& c : kStrCases) {
    SCOPED_TRACE(c.text);
    g_CliArgX = 21;
    g_CliResultType = CLI_TYPE_NUMBER;
    g_CliParsePtr = c.text;
    char buf[256];
    EXPECT_EQ(CLI_EvalStringExpression(CLI_SRC_CMDWIN, buf, c.maxLen), c.rc);
    if (c.result) {
      EXPECT_STREQ(buf, c.result);
    }
    EXPECT_EQ(g_CliResultType, CLI_TYPE_NUMBER);  // the type from before the call
    EXPECT_EQ(g_CliNestingDepth, 0);
  }
}

TEST_F(CliTest, StringOperandErrorsGoToTheCommandWindowWhenTheFilterAllows)
{
  char buf[64];
  g_CliParsePtr = "\"open";
  EXPECT_EQ(CLI_EvalStringExpression(CLI_SRC_EXPORT, buf, 63), CLI_ERR_STRING_EXPECTED);
  ASSERT_EQ(messages().size(), 1u);
  EXPECT_EQ(messages()[0].source, CLI_SRC_EXPORT);
  EXPECT_EQ(messages()[0].msgClass, CMDWIN_MSG_ERROR);
  EXPECT_EQ(messages()[0].line.substr(8), " string expected in string expression");

  SndConfig.MsgDisplay = MSGDISP_HINTS | MSGDISP_FILE_ACTIONS;  // bits 1 and 2 off
  g_CliParsePtr = "\"open";
  EXPECT_EQ(CLI_EvalStringExpression(CLI_SRC_EXPORT, buf, 63), CLI_ERR_STRING_EXPECTED);
  EXPECT_EQ(messages().size(), 1u);
}

TEST_F(CliTest, StringNestingIsLimited)
{
  // str() inside parentheses inside str(): the shared counter refuses strings past depth 5.
  char buf[64];
  g_CliParsePtr = "str(val(\"1\"))";
  EXPECT_EQ(CLI_EvalStringExpression(CLI_SRC_CMDWIN, buf, 63), 1);
  g_CliNestingDepth = 6;
  g_CliParsePtr = "\"a\"";
  EXPECT_EQ(CLI_EvalStringExpression(CLI_SRC_CMDWIN, buf, 63), CLI_ERR_STACK_DEPTH);
  g_CliNestingDepth = 0;
}

TEST_F(CliTest, FormatValueKindsAndLimits)
{
  char buf[16];
  EXPECT_EQ(CLI_GetFormatKind("0.0"), CLI_FMT_NUMERIC);
  EXPECT_EQ(CLI_GetFormatKind("+0"), CLI_FMT_NUMERIC);
  EXPECT_EQ(CLI_GetFormatKind("#"), CLI_FMT_NUMERIC);
  EXPECT_EQ(CLI_GetFormatKind(".0"), CLI_FMT_NUMERIC);
  EXPECT_EQ(CLI_GetFormatKind("hh"), CLI_FMT_DATETIME);
  EXPECT_EQ(CLI_GetFormatKind("YY"), CLI_FMT_DATETIME);
  EXPECT_EQ(CLI_GetFormatKind(""), CLI_FMT_DEFAULT);
  EXPECT_EQ(CLI_GetFormatKind("q"), CLI_FMT_DEFAULT);
  EXPECT_EQ(CLI_FormatValue(0, "", 3.14159, buf, 1), CLI_ERR_STRING_TOO_LONG);
  EXPECT_EQ(CLI_FormatValue(0, "0.000", 3.14159, buf, 3), 3);
  EXPECT_STREQ(buf, "3.1");
  EXPECT_EQ(CLI_FormatValue(0, "q", 2.26, buf, 15), 3);  // unknown kinds use "##0.#"
  EXPECT_STREQ(buf, "2.3");
}

TEST_F(CliTest, ErrorCodeTexts)
{
  const struct {
    int code;
    const char* text;
  } table[] = {
      {0, "no CLI error"},         {-1, "syntax error"},
      {-3, "function failed"},     {-4, "command unknown"},
      {-5, "argument missing"},    {-6, "illegal argument value"},
      {-7, "parenthesis missing"}, {-10, "CLI variable not found"},
      {-11, "out of CLI memory"},  {-14, "CLI type conflict"},
      {-15, "string expected"},    {-16, "string too long"},
      {-17, "exec failed"},        {-18, "stackdepth exceeded"},
      {-19, "bad format string"},  {-20, "bad frequency range"},
      {-2, "unknown CLI error code -2"},   {-8, "unknown CLI error code -8"},
      {-9, "unknown CLI error code -9"},   {-12, "unknown CLI error code -12"},
      {-13, "unknown CLI error code -13"}, {-21, "unknown CLI error code -21"},
      {5, "unknown CLI error code 5"},
  };
  for (const auto& t : table) EXPECT_STREQ(CLI_ErrorCodeToString(t.code), t.text) << t.code;
}
