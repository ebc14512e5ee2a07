// Number syntax, value formatting and conversion, and the error texts of the interpreter.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "interp/CliEval.h"
#include "interp/CliInternal.h"
#include "platform/NumText.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigit(char c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decimal digits, optional fraction and exponent, converted exactly (correctly rounded) and
// independent of the process locale. No digit at all: 0 and nothing consumed.
double ParseDecimal(const char** text)
{
  const char* p = *text;
  std::string s;
  while (IsDigit(*p)) s += *p++;
  size_t mantissaDigits = s.size();
  if (*p == '.') {
    const char* q = p + 1;
    std::string frac;
    while (IsDigit(*q)) frac += *q++;
    if (mantissaDigits > 0 || !frac.empty()) {
      s += '.';
      s += frac;
      mantissaDigits += frac.size();
      p = q;
    }
  }
  if (mantissaDigits == 0) return 0.0;
  if (*p == 'e' || *p == 'E') {
    // An 'e' without digits is consumed and multiplies by 1.
    ++p;
    char sign = '+';
    if (*p == '+' || *p == '-') sign = *p++;
    std::string exp;
    while (IsDigit(*p)) exp += *p++;
    if (!exp.empty()) {
      s += 'e';
      s += sign;
      s += exp;
    }
  }
  *text = p;
  double v = 0.0;
  auto res = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
  if (res.ec == std::errc::result_out_of_range) {
    // Too small gives 0, too large infinity.
    const size_t e = s.find('e');
    v = (e != std::string::npos && s[e + 1] == '-') ? 0.0 : HUGE_VAL;
  }
  return v;
}

const char* const kErrorTexts[] = {
    "no CLI error",            // 0
    "syntax error",            // -1
    nullptr,                   // -2
    "function failed",         // -3
    "command unknown",         // -4
    "argument missing",        // -5
    "illegal argument value",  // -6
    "parenthesis missing",     // -7
    nullptr,                   // -8
    nullptr,                   // -9
    "CLI variable not found",  // -10
    "out of CLI memory",       // -11
    nullptr,                   // -12
    nullptr,                   // -13
    "CLI type conflict",       // -14
    "string expected",         // -15
    "string too long",         // -16
    "exec failed",             // -17
    "stackdepth exceeded",     // -18
    "bad format string",       // -19
    "bad frequency range",     // -20
};

int CopyCut(const std::string& text, char* dest, int maxLen)
{
  const int n = static_cast<int>(text.size() < static_cast<size_t>(maxLen) ? text.size() : maxLen);
  std::memcpy(dest, text.data(), n);
  dest[n] = '\0';
  return n;
}

}  // namespace

double CLI_ParseNumberAt(const char** text)
{
  const char* p = *text;
  while (*p == ' ') ++p;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  }
  double v = 0.0;
  if (*p == '$' || (p[0] == '0' && p[1] == 'x')) {
    p += (*p == '$') ? 1 : 2;
    for (int d; (d = HexDigit(*p)) >= 0; ++p) v = v * 16.0 + d;
  } else if (*p == '%') {
    ++p;
    for (; *p == '0' || *p == '1'; ++p) v = v * 2.0 + (*p - '0');
  } else {
    if (*p == '#') ++p;
    v = ParseDecimal(&p);
  }
  *text = p;
  return negative ? -v : v;
}

const char* CLI_ErrorCodeToString(int code)
{
  static char fallback[64];
  if (code <= 0 && code >= -20 && kErrorTexts[-code]) return kErrorTexts[-code];
  std::snprintf(fallback, sizeof fallback, "unknown CLI error code %d", code);
  return fallback;
}

int CLI_GetFormatKind(const char* format)
{
  const char c = format ? format[0] : '\0';
  if (IsDigit(c) || c == '#' || c == '+' || c == '.') return CLI_FMT_NUMERIC;
  if (c && std::strchr("DMYhms", c)) return CLI_FMT_DATETIME;
  return CLI_FMT_DEFAULT;
}

int CLI_FormatValue(int /*source*/, const char* format, double value, char* dest, int maxLen)
{
  if (maxLen < 2) return CLI_ERR_STRING_TOO_LONG;
  if (!format) format = "";
  std::string text;
  switch (CLI_GetFormatKind(format)) {
    case CLI_FMT_NUMERIC:
      if (format[0] == '+') {
        // Forced sign: the rest of the pattern formats the magnitude.
        text.assign(1, value < 0.0 ? '-' : '+');
        text += FormatFloat(format + 1, std::fabs(value));
      } else {
        text = FormatFloat(format, value);
      }
      break;
    case CLI_FMT_DATETIME: text = CliFormatDateTime(format, value); break;
    default: text = FormatFloat("##0.#", value); break;
  }
  return CopyCut(text, dest, maxLen);
}

int CLI_ValueFromString(const char* text, const char* format, double* result)
{
  if (!text) text = "";
  if (!format) format = "";
  const char c = format[0];
  if (c == '\0' || IsDigit(c) || c == '#' || c == '.') {
    const char* p = text;
    *result = CLI_ParseNumberAt(&p);
    return CLI_OK;
  }
  if (std::strchr("YMDhms", c)) {
    // Fields the pattern does not name come from a defined base: the Unix epoch.
    double t = 0.0;
    const char* p = text;
    CliParseDateTime(format, &t, &p);
    *result = t;
    return CLI_OK;
  }
  return CLI_ERR_BAD_FORMAT;
}

bool CliDoubleToInt(double v, int lo, int hi, int* out)
{
  if (std::isnan(v)) return false;
  const double t = std::trunc(v);
  if (t < static_cast<double>(lo) || t > static_cast<double>(hi)) return false;
  *out = static_cast<int>(t);
  return true;
}
