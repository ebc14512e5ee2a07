#pragma once
// Times of day, dates and date/time patterns. All times are Unix seconds in UTC held in
// doubles; broken-down values are always taken in UTC (never the process's time zone).
//
// Date/time patterns use the letters Y, M, D, h, m, s (case-sensitive; the longest run wins):
//   YYYY year, YYY / YY / Y its last three / two / one digits;
//   MMM or MmM month name upper-case ("JAN"), MMm or Mmm month name "Jan";
//   MM or Mm month number two digits, M without leading zero;
//   DD / D day, hh / h hour, mm / m minute, ss / s second (two digits / no leading zero);
//   ".s" right after ss or s: a point and the tenths of the second.
// Every other character is copied (formatting) or skips one input character (parsing).
#include <cstddef>
#include <string>

// Buffer sizes (terminator included) for the fixed-length texts below.
constexpr int TIME_OF_DAY_TEXT_SIZE = 9;   // "hh:mm:ss"
constexpr int DATE_TEXT_SIZE = 12;         // "DEC-07-2001"

// Writes "hh<sep>mm<sep>ss" of the time of day of `seconds` (seconds since midnight or Unix
// seconds; hours modulo 24; a negative value counts back from midnight) into buf, which must
// hold TIME_OF_DAY_TEXT_SIZE bytes. Returns the number of characters written (8).
int TimeOfDayToString(int seconds, char* buf, char separator);

// Writes "MON<sep>DD<sep>YYYY" (month upper-case, e.g. "DEC.07.2001") of the UTC date of the
// Unix time into buf, which must hold DATE_TEXT_SIZE bytes. Returns the characters written (11).
int DateToString(int unixSeconds, char* buf, char separator);

// Unix seconds of a calendar date and time (Julian calendar before 15 October 1582, Gregorian
// from then on). A linear sum: hours, minutes and seconds out of their range carry into the
// neighbouring days. month 1..12.
double CalendarToUnixSeconds(int year, int month, int day, int hour, int minute, double seconds);

// Formats t by the pattern into out (at most outSize - 1 characters and a terminator; nothing
// when outSize is 0). 0 <= t < 2,147,483,647 is taken as it is; other times (negative, larger,
// not finite) are reduced to their time of day (date 1 January 1970).
void FormatUnixDateTime(const char* pattern, double t, char* out, size_t outSize);
std::string FormatUnixDateTime(const char* pattern, double t);

// Reads the fields that the pattern names from *pos (advanced past what was read) into the
// broken-down UTC time of *t (reduced as for formatting); fields the pattern lacks keep those of
// *t. A one-letter field reads one digit and replaces the last digit of the value; a month-name
// run compares three letters without regard to case. A run may also start with 'y'. Stops at
// the end of the pattern or of the input. Writes the result to *t and returns true.
bool ParseDateTimeByFormat(const char* pattern, double* t, const char** pos);

// Parses a free time and/or date text into the broken-down UTC fields of baseTime:
// "hh:mm:ss" (time separator), "D.M.YYYY" (date separator) or "YYYY-MM-DD", in either order,
// e.g. "7.12.2001 12:30" or "2001-12-07 12:30:00". Stops at the end of the text or at the
// first character that does not continue it. When result is not null it receives the Unix
// time of the fields (+86,400 when that comes out negative). With base 0 a time-only text gives
// the seconds of the day ("12:30:00" -> 45,000). Returns the position behind the parsed text.
const char* ParseTimeString(const char* text, double baseTime, double* result,
                            char dateSeparator, char timeSeparator);

// True for A..Z and a..z.
bool IsLetter(char c);

// Reads at most maxDigits (at most 9) decimal digits at *pos (advanced); their value, 0 when none.
int ParseDigits(const char** pos, int maxDigits);
