#include "imaging/ImageTrace.h"

#include "imaging/TextException.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
std::mutex g_traceMutex;
int g_traceLevel = 0;
std::string g_traceFile;
}  // namespace

std::string ImgFormat(const char* fmt, ...)
{
  va_list ap;
  va_start(ap, fmt);
  va_list ap2;
  va_copy(ap2, ap);
  const int n = std::vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  std::string out;
  if (n > 0) {
    out.resize(static_cast<size_t>(n));
    std::vsnprintf(out.data(), out.size() + 1, fmt, ap2);
  }
  va_end(ap2);
  return out;
}

void SetImageTraceLevel(int level)
{
  std::lock_guard lock(g_traceMutex);
  g_traceLevel = level;
}

void SetImageTraceFile(const std::string& fileName)
{
  std::lock_guard lock(g_traceMutex);
  g_traceFile = fileName;
}

void ImageTrace(int level, const std::string& text)
{
  std::lock_guard lock(g_traceMutex);
  if (level > g_traceLevel || g_traceFile.empty()) return;
  if (FILE* f = std::fopen(g_traceFile.c_str(), "a")) {
    std::fputs(text.c_str(), f);
    std::fclose(f);
  }
}

void ImageRaiseError(int code, const std::string& text)
{
  ImageTrace(0, "Decoder error: " + text + "\n");
  throw CTextException(code, text);
}
