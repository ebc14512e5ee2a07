// The numeric grammar of the command language: expression, term, factor, function words.
#include "interp/CliEval.h"

#include <cmath>
#include <cstring>

#include "interp/CliCommands.h"
#include "interp/CliInternal.h"
#include "interp/CliSpectrum.h"

namespace {
const char kEmptyText[] = "";
}

const char* g_CliParsePtr = kEmptyText;
int g_CliNestingDepth = 0;
int g_CliResultType = CLI_TYPE_NONE;
char g_CliStringResult[256] = {};
char g_CliErrorText[256] = {};
double g_CliArgX = 0.0, g_CliArgY = 0.0, g_CliArgZ = 0.0;

namespace {

// Raises the shared nesting counter for the lifetime of the object.
struct NestingGuard {
  NestingGuard() { ++g_CliNestingDepth; }
  ~NestingGuard() { --g_CliNestingDepth; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;
};

// Consumes the word when the text at the parse position starts with it (only as many
// characters as the word has; what follows is not examined).
bool TakeWord(const char* word)
{
  const size_t n = std::strlen(word);
  if (std::strncmp(g_CliParsePtr, word, n) != 0) return false;
  g_CliParsePtr += n;
  return true;
}

void SkipDirectDot()
{
  if (*g_CliParsePtr == '.') ++g_CliParsePtr;
}

void SkipDotAfterBlanks()
{
  CLI_SkipSpaces();
  SkipDirectDot();
}

// Calls a registered object-word handler; the value is defined (0) even when the handler
// stores none. A word without a handler is "command unknown".
int CallObjectWord(CliObjectWordId id, int source, double* result)
{
  CLI_ObjectHandler handler = CLI_GetObjectHandler(id);
  if (!handler) return CLI_ERR_UNKNOWN_COMMAND;
  if (result) *result = 0.0;
  return handler(source, result);
}

// cos, sin, sqrt: an expression with optional parentheses around it.
int EvalMathArgument(int source, double* value)
{
  CLI_SkipSpaces();
  const bool paren = (*g_CliParsePtr == '(');
  if (paren) ++g_CliParsePtr;
  *value = 0.0;
  int rc = CLI_EvalExpression(source, value);
  if (rc < 0) return rc;
  if (paren && !CLI_CheckAndSkipChar(')')) return CLI_ERR_PARENTHESIS;
  return CLI_OK;
}

int EvalMathFunction(int source, double* result, double (*fn)(double))
{
  double arg = 0.0;
  int rc = EvalMathArgument(source, &arg);
  if (rc < 0) return rc;
  if (!result) return CLI_ERR_UNKNOWN_FUNCTION;  // no number wanted (string context)
  *result = fn(arg);
  g_CliResultType = CLI_TYPE_NUMBER;
  return CLI_OK;
}

double SafeSqrt(double v) { return v < 0.0 ? 0.0 : std::sqrt(v); }

int EvalMinMax(int source, double* result, bool isMax)
{
  if (!CLI_CheckAndSkipChar('(')) return CLI_ERR_PARENTHESIS;
  double best = 0.0;
  bool first = true;
  do {
    double v = 0.0;
    int rc = CLI_EvalExpression(source, &v);
    if (rc < 0) return rc;
    if (first || (isMax ? v > best : v < best)) best = v;
    first = false;
  } while (CLI_SkipComma());
  if (!CLI_CheckAndSkipChar(')')) return CLI_ERR_PARENTHESIS;
  if (result) *result = best;
  g_CliResultType = CLI_TYPE_NUMBER;
  return CLI_OK;
}

// avrg, noise, peak over the latest spectrum. kind: 0 avrg, 1 noise, 2 peak level, 3 peak freq.
int EvalSpectrumFunction(int source, double* result, int kind, bool perHz)
{
  int first = 0, last = 0;
  int rc = CLI_ParseFreqRange(source, &g_LatestSpectrum, &first, &last);
  if (rc < 0) return rc;
  const SpectrumBuffer& sb = g_LatestSpectrum;
  double v = CLI_INVALID_VALUE;
  switch (kind) {
    case 0: v = CLI_CalcAverageLevel(source, perHz, &sb, first, last); break;
    case 1: v = CLI_CalcNoiseLevel(source, perHz, &sb, first, last); break;
    default: {
      const int i = CLI_FindPeakBin(&sb, first, last);
      if (i >= 0) v = (kind == 2) ? sb.bins[i] * sb.scale_factor : (i + 1) * sb.bin_width_hz;
      break;
    }
  }
  if (result) *result = v;
  g_CliResultType = CLI_TYPE_NUMBER;
  return CLI_OK;
}

int EvalVal(int source, double* result)
{
  if (*g_CliParsePtr != '(') return CLI_ERR_SYNTAX;
  ++g_CliParsePtr;
  char text[81];
  char format[81] = "";
  int rc = CLI_EvalStringExpression(source, text, 80);
  if (rc < 0) return rc;
  if (CLI_SkipComma()) {
    rc = CLI_EvalStringExpression(source, format, 80);
    if (rc < 0) return rc;
  }
  double v = 0.0;
  rc = CLI_ValueFromString(text, format, &v);
  if (rc < 0) return rc;
  g_CliResultType = CLI_TYPE_NUMBER;
  if (!CLI_CheckAndSkipChar(')')) return CLI_ERR_PARENTHESIS;
  if (result) *result = v;
  return CLI_OK;
}

// A factor that starts with a lowercase letter: function and object words.
int EvalWord(int source, double* result)
{
  auto number = [&](double v) {
    if (result) *result = v;
    g_CliResultType = CLI_TYPE_NUMBER;
    return CLI_OK;
  };
  switch (*g_CliParsePtr) {
    case 'a':
      if (TakeWord("avrg")) return EvalSpectrumFunction(source, result, 0, TakeWord("_n"));
      break;
    case 'c':
      if (TakeWord("cos")) return EvalMathFunction(source, result, static_cast<double (*)(double)>(std::cos));
      // "circuit" before "ci": the short form would otherwise swallow the long one.
      if (TakeWord("circuit") || TakeWord("ci")) {
        SkipDotAfterBlanks();
        return CallObjectWord(CliObjectWordId::Circuit, source, result);
      }
      break;
    case 'd':
      if (TakeWord("digimode") || TakeWord("di")) {
        SkipDirectDot();
        return CallObjectWord(CliObjectWordId::Digimode, source, result);
      }
      break;
    case 'e':
      if (TakeWord("export")) {
        SkipDirectDot();
        return CallObjectWord(CliObjectWordId::Export, source, result);
      }
      break;
    case 'g':
      if (TakeWord("generator")) {
        SkipDirectDot();
        return CallObjectWord(CliObjectWordId::Generator, source, result);
      }
      break;
    case 'm':
      if (TakeWord("min")) return EvalMinMax(source, result, false);
      if (TakeWord("max")) return EvalMinMax(source, result, true);
      break;
    case 'n':
      if (TakeWord("noise")) return EvalSpectrumFunction(source, result, 1, TakeWord("_n"));
      if (TakeWord("now")) return number(CliNowUnixTime());
      break;
    case 'p':
      if (TakeWord("pi")) return number(3.141592653589793);
      if (TakeWord("peak")) {
        int kind = 2;
        if (*g_CliParsePtr == '_') {
          ++g_CliParsePtr;
          if (*g_CliParsePtr == 'f') {
            kind = 3;
            ++g_CliParsePtr;
          } else if (*g_CliParsePtr == 'a') {
            ++g_CliParsePtr;
          }
        }
        return EvalSpectrumFunction(source, result, kind, false);
      }
      if (TakeWord("period")) {
        SkipDotAfterBlanks();
        return CallObjectWord(CliObjectWordId::Period, source, result);
      }
      if (TakeWord("plot")) {
        SkipDotAfterBlanks();
        return CallObjectWord(CliObjectWordId::Plot, source, result);
      }
      break;
    case 's':
      if (TakeWord("sin")) return EvalMathFunction(source, result, static_cast<double (*)(double)>(std::sin));
      if (TakeWord("sqrt")) return EvalMathFunction(source, result, SafeSqrt);
      break;
    case 't':
      if (TakeWord("time")) return number(g_LatestSpectrum.time);
      break;
    case 'v':
      if (TakeWord("val")) return EvalVal(source, result);
      break;
    case 'x': ++g_CliParsePtr; return number(g_CliArgX);
    case 'y': ++g_CliParsePtr; return number(g_CliArgY);
    case 'z': ++g_CliParsePtr; return number(g_CliArgZ);
    default: break;
  }
  return CLI_ERR_UNKNOWN_FUNCTION;
}

// A number with an optional unit suffix directly after it.
double ParseNumberWithUnit()
{
  double v = CLI_ParseNumberAt(&g_CliParsePtr);
  double scale = 0.0;
  switch (*g_CliParsePtr) {
    case 'p': scale = 1e-12; break;
    case 'n': scale = 1e-9; break;
    case 'u': scale = 1e-6; break;
    case 'm': scale = 1e-3; break;
    case 'k': scale = 1e3; break;
    case 'M': scale = 1e6; break;
    case 'G': scale = 1e9; break;
    case 'T': scale = 1e12; break;
    default: return v;
  }
  ++g_CliParsePtr;
  while ((*g_CliParsePtr >= 'a' && *g_CliParsePtr <= 'z') ||
         (*g_CliParsePtr >= 'A' && *g_CliParsePtr <= 'Z'))
    ++g_CliParsePtr;
  return v * scale;
}

// term := factor { '*' factor | '/' factor | '?' term ':' term }
int EvalTerm(int source, double* value)
{
  double v = 0.0;
  int rc = CLI_EvalFactor(source, &v);
  if (rc < 0) return rc;
  *value = v;
  if (g_CliResultType == CLI_TYPE_STRING) return CLI_OK;
  for (;;) {
    CLI_SkipSpaces();
    const char op = *g_CliParsePtr;
    if (op == '*' || op == '/') {
      ++g_CliParsePtr;
      double f = 0.0;
      rc = CLI_EvalFactor(source, &f);
      if (rc < 0) return rc;
      if (g_CliResultType == CLI_TYPE_STRING) return CLI_OK;
      if (op == '*') {
        v *= f;
      } else {
        if (f == 0.0) return CLI_ERR_DIV_BY_ZERO;
        v /= f;
      }
    } else if (op == '?') {
      ++g_CliParsePtr;
      // The branches recurse into this function: they count against the nesting limit like
      // brackets do, so a long chain of "1?" ends with an error instead of a stack overflow.
      if (g_CliNestingDepth > CLI_MAX_NESTING) return CLI_ERR_STACK_DEPTH;
      NestingGuard guard;
      double a = 0.0, b = 0.0;
      rc = EvalTerm(source, &a);
      if (rc < 0) return rc;
      if (!CLI_CheckAndSkipChar(':')) return CLI_ERR_SYNTAX;
      rc = EvalTerm(source, &b);
      if (rc < 0) return rc;
      v = (v != 0.0) ? a : b;
    } else {
      break;
    }
    *value = v;
  }
  return CLI_OK;
}

enum class Op { None, Add, Sub, Lt, Le, Ne, Eq, Gt, Ge };

Op TakeOperator()
{
  const char* p = g_CliParsePtr;
  Op op = Op::None;
  int len = 1;
  switch (p[0]) {
    case '+': op = Op::Add; break;
    case '-': op = Op::Sub; break;
    case '<':
      if (p[1] == '=') op = Op::Le, len = 2;
      else if (p[1] == '>') op = Op::Ne, len = 2;
      else op = Op::Lt;
      break;
    case '=':
      op = Op::Eq;
      if (p[1] == '=') len = 2;
      break;
    case '>':
      if (p[1] == '=') op = Op::Ge, len = 2;
      else op = Op::Gt;
      break;
    default: return Op::None;
  }
  g_CliParsePtr += len;
  return op;
}

// expression := ['-'] term { op term }, all operators of one precedence, left to right.
int EvalExpressionLevel(int source, double* result)
{
  CLI_SkipSpaces();
  double v = 0.0;
  Op op = Op::None;
  if (*g_CliParsePtr == '-') {
    ++g_CliParsePtr;
    op = Op::Sub;  // the leading sign is the first subtraction from 0
  }
  for (;;) {
    double t = 0.0;
    int rc = EvalTerm(source, &t);
    if (rc < 0) return rc;
    if (g_CliResultType == CLI_TYPE_STRING) {
      *result = 0.0;  // a string: no number, but a defined value
      return CLI_OK;
    }
    switch (op) {
      case Op::None: v = t; break;
      case Op::Add: v += t; break;
      case Op::Sub: v -= t; break;
      case Op::Lt: v = (v < t) ? 1.0 : 0.0; break;
      case Op::Le: v = (v <= t) ? 1.0 : 0.0; break;
      case Op::Ne: v = (v != t) ? 1.0 : 0.0; break;
      case Op::Eq: v = (v == t) ? 1.0 : 0.0; break;
      case Op::Gt: v = (v > t) ? 1.0 : 0.0; break;
      case Op::Ge: v = (v >= t) ? 1.0 : 0.0; break;
    }
    CLI_SkipSpaces();
    op = TakeOperator();
    if (op == Op::None) break;
  }
  *result = v;
  return CLI_OK;
}

}  // namespace

void CLI_SkipSpaces()
{
  while (*g_CliParsePtr == ' ') ++g_CliParsePtr;
}

bool CLI_SkipComma()
{
  CLI_SkipSpaces();
  if (*g_CliParsePtr != ',') return false;
  ++g_CliParsePtr;
  CLI_SkipSpaces();
  return true;
}

bool CLI_CheckAndSkipChar(char c)
{
  CLI_SkipSpaces();
  if (*g_CliParsePtr != c) return false;
  ++g_CliParsePtr;
  return true;
}

int CLI_EvalExpression(int source, double* result)
{
  if (g_CliNestingDepth > CLI_MAX_NESTING) return CLI_ERR_STACK_DEPTH;
  NestingGuard guard;
  double v = 0.0;
  int rc = EvalExpressionLevel(source, &v);
  if (rc < 0) return rc;
  if (result) *result = v;
  return CLI_OK;
}

int CLI_EvalFactor(int source, double* result)
{
  g_CliResultType = CLI_TYPE_NUMBER;
  CLI_SkipSpaces();
  const char c = *g_CliParsePtr;
  if (c == '(') {
    ++g_CliParsePtr;
    double v = 0.0;
    int rc = CLI_EvalExpression(source, &v);
    if (rc < 0) return rc;
    if (!CLI_CheckAndSkipChar(')')) return CLI_ERR_SYNTAX;
    if (result) *result = v;
    return CLI_OK;
  }
  if (c >= 'a' && c <= 'z') return EvalWord(source, result);
  const double v = ParseNumberWithUnit();
  if (result) *result = v;
  return CLI_OK;
}

double CLI_CalcExpression(int source, const char* text, double x)
{
  const char* saved = g_CliParsePtr;
  g_CliParsePtr = text ? text : kEmptyText;
  g_CliArgX = x;
  double v = 0.0;
  int rc = CLI_EvalExpression(source, &v);
  g_CliParsePtr = saved;
  return rc < 0 ? x : v;
}

double CLI_CalcExpression2(int source, const char* text, double x, double y, int* rcOut)
{
  const char* saved = g_CliParsePtr;
  g_CliParsePtr = text ? text : kEmptyText;
  g_CliArgX = x;
  g_CliArgY = y;
  g_CliArgZ = y;
  double v = 0.0;
  int rc = CLI_EvalExpression(source, &v);
  g_CliParsePtr = saved;
  if (rcOut) *rcOut = rc;
  return rc < 0 ? CLI_INVALID_VALUE : v;
}

void CliResetEvaluatorState()
{
  g_CliParsePtr = kEmptyText;
  g_CliNestingDepth = 0;
  g_CliResultType = CLI_TYPE_NONE;
  g_CliArgX = g_CliArgY = g_CliArgZ = 0.0;
  g_CliErrorText[0] = '\0';
  g_CliStringResult[0] = '\0';
}

const char* CliEmptyText() { return kEmptyText; }
