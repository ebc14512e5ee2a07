// String expressions: '+'-joined literals, str(...) and object words that yield text.
#include <algorithm>
#include <cstring>
#include <string>

#include "interp/CliEval.h"
#include "interp/CliInternal.h"
#include "interp/CmdWinMsg.h"

namespace {

struct NestingGuard {
  NestingGuard() { ++g_CliNestingDepth; }
  ~NestingGuard() { --g_CliNestingDepth; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

// str( ["format",] expression )
int EvalStrFunction(int source, char* dest, int maxLen)
{
  if (std::strncmp(g_CliParsePtr, "str", 3) != 0) return CLI_ERR_UNKNOWN_COMMAND;
  g_CliParsePtr += 3;
  if (*g_CliParsePtr != '(') return CLI_ERR_SYNTAX;
  ++g_CliParsePtr;
  CLI_SkipSpaces();
  char format[81] = "";
  if (*g_CliParsePtr == '"') {
    int rc = CLI_ParseStringLiteral(format, 80);
    if (rc < 0) return rc;
    if (!CLI_SkipComma()) return CLI_ERR_ARG_MISSING;
  }
  double value = 0.0;
  int rc = CLI_EvalExpression(source, &value);
  if (rc < 0) return rc;
  const int len = CLI_FormatValue(source, format, value, dest, maxLen);
  if (len < 0) return len;
  if (!CLI_CheckAndSkipChar(')')) return CLI_ERR_PARENTHESIS;
  return len;
}

// An object word in string context (such as export.title).
int EvalObjectString(int source, char* dest, int maxLen)
{
  int rc = CLI_EvalFactor(source, nullptr);
  if (rc < 0) return CLI_ERR_UNKNOWN_COMMAND;
  if (g_CliResultType != CLI_TYPE_STRING) return CLI_ERR_STRING_EXPECTED;
  g_CliStringResult[sizeof g_CliStringResult - 1] = '\0';
  int n = static_cast<int>(std::strlen(g_CliStringResult));
  if (n > maxLen) n = maxLen;
  std::memcpy(dest, g_CliStringResult, n);
  dest[n] = '\0';
  return n;
}

}  // namespace

int CLI_ParseStringLiteral(char* dest, int maxLen)
{
  CLI_SkipSpaces();
  if (*g_CliParsePtr != '"') return CLI_ERR_STRING_EXPECTED;
  ++g_CliParsePtr;
  int n = 0;
  while (*g_CliParsePtr != '"') {
    if (*g_CliParsePtr == '\0') {
      dest[n] = '\0';
      return CLI_ERR_STRING_EXPECTED;
    }
    if (n < maxLen) dest[n++] = *g_CliParsePtr;  // beyond the space: consumed and dropped
    ++g_CliParsePtr;
  }
  ++g_CliParsePtr;
  dest[n] = '\0';
  return n;
}

int CLI_EvalStringFactor(int source, char* dest, int maxLen)
{
  if (g_CliNestingDepth > CLI_MAX_STRING_NESTING) return CLI_ERR_STACK_DEPTH;
  NestingGuard guard;
  dest[0] = '\0';
  CLI_SkipSpaces();
  if (*g_CliParsePtr == '@') ++g_CliParsePtr;
  CLI_SkipSpaces();
  switch (*g_CliParsePtr) {
    case 'e': return EvalObjectString(source, dest, maxLen);
    case 's': return EvalStrFunction(source, dest, maxLen);
    default: return CLI_ParseStringLiteral(dest, maxLen);
  }
}

int CLI_EvalStringExpression(int source, char* dest, int maxLen)
{
  if (g_CliNestingDepth > CLI_MAX_STRING_NESTING) return CLI_ERR_STACK_DEPTH;
  if (maxLen < 0) maxLen = 0;
  NestingGuard guard;
  const int savedType = g_CliResultType;
  // The operands are joined in a buffer one character longer than the destination: a text
  // that reaches that extra character did not fit, while one of exactly maxLen characters did.
  std::string joined(static_cast<size_t>(maxLen) + 2, '\0');
  const int room = maxLen + 1;
  int len = 0;
  dest[0] = '\0';
  for (;;) {
    const int rc = CLI_EvalStringFactor(source, joined.data() + len, room - len);
    if (rc < 0) {
      g_CliResultType = savedType;
      std::memcpy(dest, joined.data(), static_cast<size_t>(std::min(len, maxLen)));
      dest[std::min(len, maxLen)] = '\0';
      if (CliMsgErrorsWanted()) {
        std::string line = CLI_ErrorCodeToString(rc);
        line += " in string expression";
        CmdWin_AddTimedMessage(source, CMDWIN_MSG_ERROR, line.c_str());
      }
      return rc;
    }
    len += rc;
    CLI_SkipSpaces();
    if (*g_CliParsePtr != '+') break;
    ++g_CliParsePtr;
    CLI_SkipSpaces();
    if (*g_CliParsePtr == '\0' || len > maxLen) break;
  }
  g_CliResultType = savedType;
  const int kept = std::min(len, maxLen);
  std::memcpy(dest, joined.data(), static_cast<size_t>(kept));
  dest[kept] = '\0';
  if (len > maxLen) return CLI_ERR_STRING_TOO_LONG;
  return len;
}
