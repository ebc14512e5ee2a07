// Times of day, dates and date/time patterns, all in UTC.
#include "engine/TimeUtils.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

const char* const kMonthUpper[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                     "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const kMonthMixed[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

constexpr double kMaxDirectTime = 2147483647.0;

struct BrokenDownTime {
  int64_t year;
  int month;  // 1..12
  int day;    // 1..31
  int hour, minute, second;
};

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
int64_t DaysFromCivil(int64_t y, int m, int d)
{
  y -= m <= 2;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

BrokenDownTime BreakDown(int64_t unixSeconds)
{
  BrokenDownTime bt{};
  const int64_t days = FloorDiv(unixSeconds, 86400);
  const int64_t secOfDay = unixSeconds - days * 86400;
  bt.hour = static_cast<int>(secOfDay / 3600);
  bt.minute = static_cast<int>(secOfDay / 60 % 60);
  bt.second = static_cast<int>(secOfDay % 60);
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  bt.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  bt.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  bt.year = yoe + era * 400 + (bt.month <= 2);
  return bt;
}

// The time that patterns break down: t itself in 0 <= t < 2^31 - 1, otherwise its time of day.
// Returns the whole seconds and the value the tenths are taken from.
int64_t ReduceForPattern(double t, double& reduced)
{
  if (t >= 0.0 && t < kMaxDirectTime) {
    reduced = t;
    return static_cast<int64_t>(t);
  }
  if (!std::isfinite(t)) {
    reduced = 0.0;
    return 0;
  }
  reduced = std::fmod(t, 86400.0);
  if (reduced < 0.0) reduced += 86400.0;
  if (reduced >= 86400.0) reduced = 0.0;  // -tiny + 86400 rounds up
  return static_cast<int64_t>(reduced);
}

// Output with a hard limit; the text is always terminated.
class BoundedWriter {
public:
  BoundedWriter(char* out, size_t size) : m_out(out), m_size(size) {}
  void Put(char c)
  {
    if (m_used + 1 < m_size) m_out[m_used++] = c;
  }
  void Put(const char* s)
  {
    while (*s) Put(*s++);
  }
  void Number(int64_t v, int minDigits)
  {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*lld", minDigits, static_cast<long long>(v));
    Put(buf);
  }
  void Finish()
  {
    if (m_size > 0) m_out[m_used] = '\0';
  }

private:
  char* m_out;
  size_t m_size;
  size_t m_used = 0;
};

bool StartsWith(const char* p, const char* prefix) { return std::strncmp(p, prefix, std::strlen(prefix)) == 0; }

// The month-name runs, which take precedence over the shorter month-number runs.
bool IsMonthNameRun(const char* p)
{
  return StartsWith(p, "MMM") || StartsWith(p, "MmM") || StartsWith(p, "MMm") || StartsWith(p, "Mmm");
}

int Digit(int64_t v) { return static_cast<int>(v % 10); }

}  // namespace

int TimeOfDayToString(int seconds, char* buf, char separator)
{
  int s = seconds % 86400;
  if (s < 0) s += 86400;
  return std::snprintf(buf, TIME_OF_DAY_TEXT_SIZE, "%02d%c%02d%c%02d", s / 3600, separator,
                       s / 60 % 60, separator, s % 60);
}

int DateToString(int unixSeconds, char* buf, char separator)
{
  const BrokenDownTime bt = BreakDown(unixSeconds);
  return std::snprintf(buf, DATE_TEXT_SIZE, "%s%c%02d%c%04d", kMonthUpper[bt.month - 1], separator,
                       bt.day, separator, static_cast<int>(bt.year));
}

double CalendarToUnixSeconds(int year, int month, int day, int hour, int minute, double seconds)
{
  // Day number as in the classic modified-Julian-day formula; the month factor 30.6 is done in
  // integers (n * 306 / 10) so that no product like 5 * 30.6 can round below its whole value.
  int64_t y, n;
  if (month > 2) {
    y = year;
    n = int64_t{month} + 1;
  } else {
    y = int64_t{year} - 1;
    n = int64_t{month} + 13;
  }
  const bool julian = year < 1582 || (year == 1582 && (month < 10 || (month == 10 && day < 15)));
  const int64_t b = julian ? (y + 4716) / 4 - 1181 : y / 400 - y / 100 + y / 4;
  const int64_t monthDays = n >= 0 ? n * 306 / 10 : -((-n * 306) / 10);  // trunc(n * 30.6)
  const int64_t mjd = monthDays + 365 * y - 679004 + b + day;
  return static_cast<double>(mjd - 40587) * 86400.0 + hour * 3600.0 + minute * 60.0 + seconds;
}

void FormatUnixDateTime(const char* pattern, double t, char* out, size_t outSize)
{
  if (!out || outSize == 0) return;
  BoundedWriter w(out, outSize);
  double reduced = 0.0;
  const BrokenDownTime bt = BreakDown(ReduceForPattern(t, reduced));
  const char* p = pattern ? pattern : "";
  while (*p) {
    if (StartsWith(p, "YYYY")) {
      w.Number(bt.year, 4);
      p += 4;
    } else if (StartsWith(p, "YYY")) {
      w.Number(bt.year % 1000, 3);
      p += 3;
    } else if (StartsWith(p, "YY")) {
      w.Number(bt.year % 100, 2);
      p += 2;
    } else if (*p == 'Y') {
      w.Number(Digit(bt.year), 1);
      p += 1;
    } else if (IsMonthNameRun(p)) {
      // "MMM" and "MmM" upper-case, "MMm" and "Mmm" mixed case: the last letter decides.
      w.Put(p[2] == 'M' ? kMonthUpper[bt.month - 1] : kMonthMixed[bt.month - 1]);
      p += 3;
    } else if (StartsWith(p, "MM") || StartsWith(p, "Mm")) {
      w.Number(bt.month, 2);
      p += 2;
    } else if (*p == 'M') {
      w.Number(bt.month, 1);
      p += 1;
    } else if (*p == 'D' || *p == 'h' || *p == 'm' || *p == 's') {
      const char letter = *p;
      const int value = letter == 'D' ? bt.day : letter == 'h' ? bt.hour : letter == 'm' ? bt.minute : bt.second;
      const int len = p[1] == letter ? 2 : 1;
      w.Number(value, len);
      p += len;
      if (letter == 's' && p[0] == '.' && p[1] == 's') {
        double tenths = std::trunc(std::fmod(10.0 * reduced, 10.0));
        if (!(tenths >= 0.0)) tenths = 0.0;
        if (tenths > 9.0) tenths = 9.0;
        w.Put('.');
        w.Put(static_cast<char>('0' + static_cast<int>(tenths)));
        p += 2;
      }
    } else {
      w.Put(*p++);
    }
  }
  w.Finish();
}

std::string FormatUnixDateTime(const char* pattern, double t)
{
  // Each pattern character produces at most 4 characters ("YYYY" -> up to 4 of year 2038,
  // "M" -> 2, "s.s" -> 3 ...), so this buffer can never cut the text.
  const size_t size = (pattern ? std::strlen(pattern) : 0) * 4 + 16;
  std::string text(size, '\0');
  FormatUnixDateTime(pattern, t, text.data(), size);
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int ParseDigits(const char** pos, int maxDigits)
{
  int value = 0;
  if (!pos || !*pos) return 0;
  // Nine digits always fit an int; no field of a date or time needs more.
  if (maxDigits > 9) maxDigits = 9;
  const char* p = *pos;
  for (int i = 0; i < maxDigits && *p >= '0' && *p <= '9'; ++i, ++p) value = value * 10 + (*p - '0');
  *pos = p;
  return value;
}

bool ParseDateTimeByFormat(const char* pattern, double* t, const char** pos)
{
  if (!t || !pos || !*pos) return false;
  double reduced = 0.0;
  const int64_t whole = ReduceForPattern(*t, reduced);
  const BrokenDownTime bt = BreakDown(whole);
  int year = static_cast<int>(bt.year), month = bt.month, day = bt.day;
  int hour = bt.hour, minute = bt.minute;
  double seconds = bt.second + (reduced - std::floor(reduced));

  const char* p = pattern ? pattern : "";
  const char* in = *pos;
  while (*p && *in) {
    if (*p == 'Y' || *p == 'y') {
      int len = 1;
      while (len < 4 && p[len] == 'Y') ++len;
      const int v = ParseDigits(&in, len);
      if (len == 4) year = v;
      else if (len == 3) year = year / 1000 * 1000 + v;
      else if (len == 2) year = year / 100 * 100 + v;
      else year = year / 10 * 10 + v;
      p += len;
    } else if (IsMonthNameRun(p)) {
      for (int m = 0; m < 12; ++m) {
        bool match = true;
        for (int i = 0; i < 3 && match; ++i) {
          const char c = in[i];
          if (c == '\0') match = false;
          else {
            const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
            match = upper == kMonthUpper[m][i];
          }
        }
        if (match) {
          month = m + 1;
          break;
        }
      }
      for (int i = 0; i < 3 && IsLetter(*in); ++i) ++in;
      p += 3;
    } else if (*p == 'M' || *p == 'D' || *p == 'h' || *p == 'm') {
      const char letter = *p;
      int& field = letter == 'M' ? month : letter == 'D' ? day : letter == 'h' ? hour : minute;
      const bool two = letter == 'M' ? (p[1] == 'M' || p[1] == 'm') : p[1] == letter;
      if (two) field = ParseDigits(&in, 2);
      else field = field / 10 * 10 + ParseDigits(&in, 1);
      p += two ? 2 : 1;
    } else if (*p == 's') {
      p += p[1] == 's' ? 2 : 1;
      seconds = ParseDigits(&in, 2);
      if (p[0] == '.' && p[1] == 's' && *in == '.') {
        p += 2;
        ++in;
        seconds += 0.1 * ParseDigits(&in, 1);
      }
    } else {
      if (static_cast<unsigned char>(*in) >= 32) ++in;
      ++p;
    }
  }
  *pos = in;
  *t = CalendarToUnixSeconds(year, month, day, hour, minute, seconds);
  return true;
}

const char* ParseTimeString(const char* text, double baseTime, double* result, char dateSeparator,
                            char timeSeparator)
{
  if (!text) text = "";
  // Broken-down fields of the base: year as years since 1900, month 0-based.
  int64_t base = 0;
  if (std::isfinite(baseTime) && std::fabs(baseTime) < 1e15) base = static_cast<int64_t>(std::floor(baseTime));
  const BrokenDownTime bt = BreakDown(base);
  int64_t year = bt.year - 1900, month = bt.month - 1, day = bt.day;
  int64_t hour = bt.hour, minute = bt.minute, second = bt.second;

  int timeCount = 0, dateCount = 0;
  bool ymdSeen = false;
  const char* p = text;
  for (;;) {
    const char* numberStart = p;
    int64_t v = 0;
    int n = 0;
    while (*p >= '0' && *p <= '9') {
      if (v < 1000000000) v = v * 10 + (*p - '0');  // saturate: no overflow on long digit runs
      ++p;
      ++n;
    }
    if (n == 0) break;
    const char c = *p;
    if (c == timeSeparator || (c != dateSeparator && c != '-' && timeCount > 0)) {
      if (timeCount == 0) hour = v;
      else if (timeCount == 1) minute = v;
      else if (timeCount == 2) second = v;
      ++timeCount;
      dateCount = 0;
    } else if (!ymdSeen && (c == dateSeparator || (c == ' ' && dateCount == 1) || dateCount == 2)) {
      if (dateCount == 0) day = v;
      else if (dateCount == 1) month = v >= 1 ? v - 1 : v;
      else if (dateCount == 2) year = v >= 1900 ? v - 1900 : v;
      ++dateCount;
      timeCount = 0;
    } else if (c == '-' || ymdSeen) {
      ymdSeen = true;
      if (dateCount == 0) year = v >= 1900 ? v - 1900 : v;
      else if (dateCount == 1) month = v >= 1 ? v - 1 : v;
      else if (dateCount == 2) day = v;
      ++dateCount;
      timeCount = 0;
    } else {
      p = numberStart;  // fits no rule: the parse ends before this number
      break;
    }
    if (*p == '\0') break;
    ++p;  // the character behind the number
    if (!(*p >= '0' && *p <= '9')) break;
  }

  if (result) {
    // Month carries into the year, everything else is a linear sum of seconds.
    const int64_t y = year + 1900 + FloorDiv(month, 12);
    const int m = static_cast<int>(month - FloorDiv(month, 12) * 12) + 1;
    const int64_t days = DaysFromCivil(y, m, 1) + day - 1;
    double seconds = static_cast<double>(days) * 86400.0 + static_cast<double>(hour * 3600 + minute * 60 + second);
    if (seconds < 0.0) seconds += 86400.0;
    *result = seconds;
  }
  return p;
}
