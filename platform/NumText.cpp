// Locale-independent number text. Every conversion goes through std::to_chars /
// std::from_chars, which never look at the C locale, so a German LC_NUMERIC cannot turn
// "." into ",".
#include "platform/NumText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TrimBlanks(std::string_view s)
{
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A finite double as decimal digits: value = (neg ? -1 : 1) * 0.d1d2d3... * 10^exp.
// `digits` has no trailing zeros; empty means zero. At most 15 significant digits: this is
// the decimal value the class library works with, so 2.675 rounds to 2.68 as a user
// expects, not to 2.67 as its binary value (2.67499999...) would.
struct Decimal {
  bool neg = false;
  std::string digits;
  int exp = 0;
};

Decimal ToDecimal(double v)
{
  Decimal d;
  d.neg = std::signbit(v);
  if (v == 0.0) return d;
  char buf[64];
  // 15 significant digits: d.dddddddddddddde±XX
  auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(v), std::chars_format::scientific, 14);
  std::string_view s(buf, static_cast<size_t>(r.ptr - buf));
  size_t e = s.find('e');
  for (size_t i = 0; i < e; ++i)
    if (IsDigit(s[i])) d.digits.push_back(s[i]);
  int ex = 0;
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), ex);
  d.exp = ex + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Keeps the first `keep` digits (counted from the first significant one), rounding half
// away from zero on the decimal digits. keep <= 0 may round up to a single 1.
void RoundDigits(Decimal& d, int keep)
{
  if (d.digits.empty() || keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    d.exp = 0;
    return;
  }
  bool up = d.digits[static_cast<size_t>(keep)] >= '5';
  d.digits.resize(static_cast<size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<size_t>(i)] == '9') d.digits[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++d.digits[static_cast<size_t>(i)];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exp;
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exp = 0;
}

// Rounds to `decimals` places after the decimal point.
void RoundDecimals(Decimal& d, int decimals) { RoundDigits(d, d.exp + decimals); }

std::string NonFiniteText(double v)
{
  if (std::isnan(v)) return "NAN";
  return v < 0 ? "-INF" : "INF";
}

// Digit i of the number counted from the first significant one ('0' beyond the end).
char DigitAt(const Decimal& d, int i)
{
  return (i >= 0 && i < static_cast<int>(d.digits.size())) ? d.digits[static_cast<size_t>(i)] : '0';
}

// One ";" section of a FormatFloat pattern, scanned.
struct Section {
  std::string_view text;
  int digitCount = 0;     // '0' and '#' placeholders
  int decimalIndex = -1;  // placeholders before the decimal point
  int firstZero = 32767;  // index of the first '0' placeholder
  int lastZero = 0;       // index after the last '0' placeholder
  bool thousands = false;
  bool scientific = false;
};

// Length of an exponent marker at text[i] ("E+", "e-", ... followed by its '0's), or 0 when
// text[i] is no exponent marker.
size_t ExponentLength(std::string_view t, size_t i)
{
  if (i + 1 >= t.size() || (t[i] != 'E' && t[i] != 'e') || (t[i + 1] != '+' && t[i + 1] != '-'))
    return 0;
  size_t j = i + 2;
  while (j < t.size() && t[j] == '0') ++j;
  return j - i;
}

Section ScanSection(std::string_view t)
{
  Section s;
  s.text = t;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == '0' || c == '#') {
      if (c == '0') {
        if (s.digitCount < s.firstZero) s.firstZero = s.digitCount;
        s.lastZero = s.digitCount + 1;
      }
      ++s.digitCount;
    } else if (c == '.') {
      if (s.decimalIndex < 0) s.decimalIndex = s.digitCount;
    } else if (c == ',') {
      s.thousands = true;
    } else if (c == '\'' || c == '"') {
      size_t end = t.find(c, i + 1);
      i = (end == std::string_view::npos) ? t.size() : end;
    } else if (size_t n = ExponentLength(t, i)) {
      if (!s.scientific) {
        s.scientific = true;
        // The digit placeholders of the mantissa end here; the exponent's '0's are not
        // placeholders.
      }
      i += n - 1;
    }
  }
  if (s.decimalIndex < 0) s.decimalIndex = s.digitCount;
  return s;
}

std::vector<std::string_view> SplitSections(std::string_view pattern)
{
  std::vector<std::string_view> out;
  size_t start = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '\'' || c == '"') {
      size_t end = pattern.find(c, i + 1);
      i = (end == std::string_view::npos) ? pattern.size() - 1 : end;
    } else if (c == ';') {
      out.push_back(pattern.substr(start, i - start));
      start = i + 1;
      if (out.size() == 2) break;  // a third section runs to the end
    }
  }
  out.push_back(pattern.substr(start));
  return out;
}

// Applies a scanned section to a rounded, non-negative decimal.
// intDigits: the integer digits to print (already padded to the minimum);
// frac: the fraction digits to print (already trimmed).
std::string ApplySection(const Section& s, const std::string& intDigits, const std::string& frac,
                         bool negSign, int exponent)
{
  std::string out;
  if (negSign) out.push_back('-');
  const int P = s.decimalIndex;  // integer placeholders
  const int len = static_cast<int>(intDigits.size());
  int placeholder = 0;  // running placeholder index
  bool pointDone = false;
  bool expDone = false;

  auto emitInt = [&](int from, int to) {  // digits [from, to) of intDigits, with grouping
    for (int i = std::max(from, 0); i < to && i < len; ++i) {
      out.push_back(intDigits[static_cast<size_t>(i)]);
      int rest = len - 1 - i;
      if (s.thousands && rest > 0 && rest % 3 == 0) out.push_back(',');
    }
  };
  auto emitPoint = [&]() {
    if (pointDone) return;
    pointDone = true;
    if (P == 0) emitInt(0, len);  // no integer placeholder: print the integer part here
    if (!frac.empty()) out.push_back('.');
  };

  const std::string_view t = s.text;
  for (size_t i = 0; i < t.size(); ++i) {
    char c = t[i];
    if (c == '0' || c == '#') {
      if (placeholder < P) {
        int k = len - P + placeholder;  // digit of intDigits for this placeholder
        if (placeholder == 0)
          emitInt(0, k + 1);  // leading digits that have no placeholder of their own
        else
          emitInt(k, k + 1);
      } else {
        if (!pointDone) emitPoint();
        size_t j = static_cast<size_t>(placeholder - P);
        if (j < frac.size()) out.push_back(frac[j]);
      }
      ++placeholder;
    } else if (c == '.') {
      emitPoint();
    } else if (c == ',') {
      // thousands flag only
    } else if (c == '\'' || c == '"') {
      size_t end = t.find(c, i + 1);
      if (end == std::string_view::npos) end = t.size();
      out.append(t.substr(i + 1, end - i - 1));
      i = end;
    } else if (size_t n = ExponentLength(t, i)) {
      if (!expDone && s.scientific) {
        expDone = true;
        emitPoint();
        out.push_back(c);
        if (exponent < 0)
          out.push_back('-');
        else if (t[i + 1] == '+')
          out.push_back('+');
        std::string e = std::to_string(std::abs(exponent));
        int minDigits = std::min(static_cast<int>(n) - 2, 4);
        for (int z = static_cast<int>(e.size()); z < minDigits; ++z) out.push_back('0');
        out += e;
      }
      i += n - 1;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

bool TryStrToFloat(const std::string& text, double& value)
{
  std::string_view s = TrimBlanks(text);
  // Grammar: [+-] digits [. digits] [(e|E) [+-] digits], at least one mantissa digit.
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = (s[i++] == '-');
  size_t mantStart = i;
  int intDigits = 0, fracDigits = 0, leadingZeros = 0;
  bool seenNonZero = false;
  int firstNonZeroPos = 0;  // decimal exponent of the first non-zero digit
  while (i < s.size() && IsDigit(s[i])) {
    if (s[i] != '0' && !seenNonZero) seenNonZero = true;
    if (!seenNonZero) ++leadingZeros;
    ++intDigits;
    ++i;
  }
  if (seenNonZero) firstNonZeroPos = intDigits - leadingZeros;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) {
      ++fracDigits;
      if (s[i] != '0' && !seenNonZero) {
        seenNonZero = true;
        firstNonZeroPos = -(fracDigits - 1);
      }
      ++i;
    }
  }
  if (intDigits + fracDigits == 0) return false;
  long long ex = 0;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool eneg = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) eneg = (s[i++] == '-');
    if (i >= s.size() || !IsDigit(s[i])) return false;
    while (i < s.size() && IsDigit(s[i])) {
      if (ex < 100000) ex = ex * 10 + (s[i] - '0');
      ++i;
    }
    if (eneg) ex = -ex;
  }
  if (i != s.size()) return false;

  double v = 0.0;
  auto r = std::from_chars(s.data() + mantStart, s.data() + s.size(), v, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large is an error; too small is zero.
    if (!seenNonZero || firstNonZeroPos + ex < 0)
      v = 0.0;
    else
      return false;
  } else if (r.ec != std::errc() || r.ptr != s.data() + s.size()) {
    return false;
  }
  value = neg ? -v : v;
  return true;
}

double StrToFloatDef(const std::string& text, double def)
{
  double v;
  return TryStrToFloat(text, v) ? v : def;
}

bool TryStrToInt(const std::string& text, int& value)
{
  std::string_view s = TrimBlanks(text);
  size_t i = 0;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = (s[i++] == '-');
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t acc = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d;
    if (IsDigit(c))
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    acc = acc * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (acc > 0xFFFFFFFFull) return false;
  }
  int64_t v;
  if (base == 16) {
    // Hex gives the 32-bit pattern: "$FFFFFFFF" is -1, as the class library reads it.
    v = static_cast<int32_t>(static_cast<uint32_t>(acc));
    if (neg) v = -v;
    if (v > std::numeric_limits<int32_t>::max()) return false;  // -$80000000
  } else {
    v = neg ? -static_cast<int64_t>(acc) : static_cast<int64_t>(acc);
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
      return false;
  }
  value = static_cast<int>(v);
  return true;
}

int StrToIntDef(const std::string& text, int def)
{
  int v;
  return TryStrToInt(text, v) ? v : def;
}

int LeadingStrToIntDef(const std::string& text, int def)
{
  size_t blank = text.find(' ');
  if (text.empty() || blank == std::string::npos) return def;
  return StrToIntDef(text.substr(0, blank), def);
}

std::string FloatToStr(double value)
{
  if (!std::isfinite(value)) return NonFiniteText(value);
  Decimal d = ToDecimal(value);
  if (d.digits.empty()) return "0";
  std::string out;
  if (d.neg) out.push_back('-');
  const int n = static_cast<int>(d.digits.size());
  if (d.exp > 15 || d.exp < -3) {
    out.push_back(d.digits[0]);
    if (n > 1) {
      out.push_back('.');
      out.append(d.digits, 1, std::string::npos);
    }
    out.push_back('E');
    out += std::to_string(d.exp - 1);
  } else if (d.exp <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-d.exp), '0');
    out += d.digits;
  } else {
    for (int i = 0; i < d.exp; ++i) out.push_back(DigitAt(d, i));
    if (n > d.exp) {
      out.push_back('.');
      out.append(d.digits, static_cast<size_t>(d.exp), std::string::npos);
    }
  }
  return out;
}

std::string FormatFloat(const std::string& pattern, double value)
{
  if (pattern.empty() || !std::isfinite(value)) return FloatToStr(value);
  std::vector<std::string_view> sections = SplitSections(pattern);
  auto hasSection = [&](size_t i) { return i < sections.size() && !sections[i].empty(); };

  Decimal d = ToDecimal(value);
  auto choose = [&](const Decimal& x) -> size_t {
    if (x.digits.empty()) return hasSection(2) ? 2 : 0;
    if (x.neg && hasSection(1)) return 1;
    return 0;
  };
  size_t idx = choose(d);
  Section s = ScanSection(sections[idx]);

  Decimal r = d;
  if (s.scientific) {
    RoundDigits(r, std::max(s.digitCount, 1));
  } else {
    if (d.exp > 18) return FloatToStr(value);  // too large for a fixed pattern
    RoundDecimals(r, s.digitCount - s.decimalIndex);
  }
  if (r.digits.empty() && !d.digits.empty()) {
    // Rounded to zero: shown as zero (the zero section when there is one, no minus sign).
    r.neg = false;
    size_t zi = hasSection(2) ? 2 : 0;
    if (zi != idx) {
      idx = zi;
      s = ScanSection(sections[idx]);
    }
  }
  const bool negSign = r.neg && !r.digits.empty() && idx == 0;

  std::string intDigits, frac;
  int exponent = 0;
  const int decimals = s.digitCount - s.decimalIndex;
  const int minFrac = std::max(s.lastZero - s.decimalIndex, 0);
  if (s.scientific) {
    if (!r.digits.empty()) exponent = r.exp - s.decimalIndex;
    for (int i = 0; i < s.decimalIndex; ++i) intDigits.push_back(r.digits.empty() ? '0' : DigitAt(r, i));
    for (int i = 0; i < decimals; ++i)
      frac.push_back(r.digits.empty() ? '0' : DigitAt(r, s.decimalIndex + i));
    if (r.digits.empty() && s.decimalIndex > 0) {
      // Zero: only as many integer zeros as the pattern demands (at least one).
      int minInt = std::max(s.decimalIndex - s.firstZero, 1);
      intDigits.assign(static_cast<size_t>(std::min(minInt, s.decimalIndex)), '0');
    }
  } else {
    for (int i = 0; i < r.exp; ++i) intDigits.push_back(DigitAt(r, i));
    int minInt = s.firstZero < s.decimalIndex ? s.decimalIndex - s.firstZero : 0;
    if (static_cast<int>(intDigits.size()) < minInt)
      intDigits.insert(0, static_cast<size_t>(minInt) - intDigits.size(), '0');
    for (int i = 0; i < decimals; ++i) frac.push_back(DigitAt(r, r.exp + i));
  }
  while (static_cast<int>(frac.size()) > minFrac && frac.back() == '0') frac.pop_back();
  return ApplySection(s, intDigits, frac, negSign, exponent);
}

std::string IntToStr(int64_t value)
{
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

std::string IntToHex(uint64_t value, int digits)
{
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value, 16);
  std::string s(buf, r.ptr);
  for (char& c : s)
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  if (static_cast<int>(s.size()) < digits) s.insert(0, static_cast<size_t>(digits) - s.size(), '0');
  return s;
}
