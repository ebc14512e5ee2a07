#include "imaging/forms/SaveImage.h"

#include "imaging/BmpEncoder.h"
#include "imaging/JPEGEncoder.h"
#include "imaging/TextException.h"
#include "imaging/forms/QtWinBmp.h"

#include <cstdio>
#include <mutex>

namespace {

std::mutex g_logMutex;
ImageLogFunc g_log;

void Log(int level, const std::string& text)
{
  ImageLogFunc log;
  {
    std::lock_guard lock(g_logMutex);
    log = g_log;
  }
  if (log) log(level, text);
  else std::fprintf(stderr, "%s\n", text.c_str());
}

bool EqualsNoCase(const std::string& a, const char* b)
{
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char c = a[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != b[i]) return false;
  }
  return i == a.size() && b[i] == 0;
}

}  // namespace

void SetImageFileLog(ImageLogFunc log)
{
  std::lock_guard lock(g_logMutex);
  g_log = std::move(log);
}

int SaveBitmapToImageFile(const char* fileName, const QImage& bitmap)
{
  const std::string name = fileName ? fileName : "";
  // The extension belongs to the last path component: a dot in a directory name is not one.
  const size_t slash = name.find_last_of('/');
  const size_t dot = name.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    Log(20, "Error: No extension in \"" + name + "\"");
    return 0;
  }
  const std::string ext = name.substr(dot);
  const bool bmp = EqualsNoCase(ext, ".bmp");
  const bool jpeg = EqualsNoCase(ext, ".jpg") || EqualsNoCase(ext, ".jpeg");
  if (!bmp && !jpeg) {
    Log(20, "Error encoding image: Extension \"" + ext + "\" unknown/unsupported !");
    return 0;
  }
  try {
    CWinBmp winBmp;
    CreateFromQImage(winBmp, bitmap);
    if (bmp) {
      CBmpEncoder encoder;
      encoder.EncodeFile(name.c_str(), &winBmp);
    } else {
      CJPEGEncoder encoder;
      encoder.EncodeFile(name.c_str(), &winBmp);
    }
  } catch (const CTextException& e) {
    char text[64];
    std::snprintf(text, sizeof text, "Error #%d encoding %s: ", e.GetCode(), bmp ? "BMP" : "JPEG");
    Log(20, text + std::string(e.GetText()));
    return 0;
  }
  return 1;
}
