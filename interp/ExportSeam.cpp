#include "interp/ExportSeam.h"

#include <utility>

#include "interp/ExportEngine.h"

namespace {
std::function<void()>& OnSpectrumHandler() {
  static std::function<void()> f;
  return f;
}
std::function<void(const char*)>& SaveHandler() {
  static std::function<void(const char*)> f;
  return f;
}
}  // namespace

void Export_InstallHandlers(std::function<void()> onSpectrum,
                            std::function<void(const char* fileName)> saveSettings) {
  OnSpectrumHandler() = std::move(onSpectrum);
  SaveHandler() = std::move(saveSettings);
}

void Export_OnSpectrum() {
  if (g_ExportActive == 0) return;
  if (auto& f = OnSpectrumHandler())
    f();
  else
    ExportEngine().OnSpectrum();
}

void Export_SaveSettings(const char* fileName) {
  if (auto& f = SaveHandler())
    f(fileName ? fileName : "");
  else
    ExportEngine().SaveSettings(fileName ? fileName : "");
}

void Export_ChangeDefinitionFile(const char* previousFile, const char* fileName) {
  ExportEngine().ChangeDefinitionFile(previousFile ? previousFile : "", fileName ? fileName : "");
}
