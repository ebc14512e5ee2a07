#pragma once
// Number text that never depends on the user's locale: always "." as decimal separator.
#include <cstdint>
#include <string>

// Text to double; the default for empty text, any text that is not wholly a number
// (blanks around it are allowed), "inf", "nan" and hex floats.
double StrToFloatDef(const std::string& text, double def);
bool TryStrToFloat(const std::string& text, double& value);

// Text to int32: decimal, or hex with "0x"/"$"; whole text only, within range, else the default.
int StrToIntDef(const std::string& text, int def);
bool TryStrToInt(const std::string& text, int& value);

// Integer value of the characters before the first blank (StrToIntDef of that word);
// the default for empty text.
int LeadingStrToIntDef(const std::string& text, int def);

// Double as the class library prints it: up to 15 significant digits, no trailing zeros,
// exponent form ("1E20", "1.5E-10") outside the plain range.
std::string FloatToStr(double value);

// Formats with the class library's pattern language: "0" digit, "#" optional digit, "."
// decimal point, "," thousands separator, "E+"/"E-"/"e+"/"e-" exponent, up to three
// ";"-separated sections (positive;negative;zero), literal characters and '...'/"..." quoted
// text. An empty pattern gives FloatToStr-like output.
std::string FormatFloat(const std::string& pattern, double value);

std::string IntToStr(int64_t value);
// Upper-case hex with at least `digits` digits.
std::string IntToHex(uint64_t value, int digits);
