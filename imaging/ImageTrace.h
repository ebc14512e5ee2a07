#pragma once
// Trace output and error raising shared by the decoders and encoders.
//
// Trace text goes to a file only when a trace file name is set and the text's level is not
// above the trace level; by default nothing is written (and nothing goes to stderr).
#include <cstdint>
#include <string>

// printf-style formatting into a std::string (no fixed-size buffer, so long file names
// cannot overflow anything).
std::string ImgFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

void SetImageTraceLevel(int level);
// Empty name: no trace file (the default).
void SetImageTraceFile(const std::string& fileName);

// Appends `text` to the trace file when level <= trace level and a file is set.
void ImageTrace(int level, const std::string& text);

// Traces "Decoder error: <text>\n" at level 0 and throws CTextException(code, text).
[[noreturn]] void ImageRaiseError(int code, const std::string& text);

// The largest bitmap the image classes create, in pixels; larger ones are refused with
// code 10. Can be lowered at build time (the fuzzing build does, to keep runs fast).
#ifndef VT_MAX_BITMAP_PIXELS
#define VT_MAX_BITMAP_PIXELS (int64_t{1} << 28)
#endif
constexpr int64_t kMaxBitmapPixels = VT_MAX_BITMAP_PIXELS;
