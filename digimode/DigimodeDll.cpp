// Parameter and status blocks of the mode plug-in interface, and the plug-in loader.
#include "digimode/DigimodeDll.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>

#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "engine/DebugU1.h"
#include "engine/ProgramInstance.h"

DigimodeDllParams g_DigimodeDllParams{};
DigimodeDllStatus g_DigimodeDllStatus{};
std::atomic<bool> g_DigimodeDllLoaded{false};

namespace {

constexpr const char* kNoDll = "-- no DLL --";

// The loaded library and its entries. Changed only on the GUI thread while g_DigimodeLock is
// held; the hooks read the audio entries while they hold it.
struct LoadedPlugin {
  void* handle = nullptr;
  DIGM_GetParamString_t getParamString = nullptr;
  DIGM_SetMode_t setMode = nullptr;
  DIGM_DecodeAudio_t decodeAudio = nullptr;
  DIGM_GenerateAudio_t generateAudio = nullptr;
};
LoadedPlugin g_Plugin;

DigimodeMessageHook g_MessageHook;
std::string g_PendingMessage;  // GUI thread

template <typename F>
F Lookup(void* handle, const char* name)
{
  return reinterpret_cast<F>(dlsym(handle, name));
}

// dlopen of one candidate; the loader's text goes to the debug window on failure.
void* OpenLibrary(const std::string& path)
{
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* err = dlerror();
    DebugPrintf(5, 0.0, "Mode plug-in \"%s\": %s", path.c_str(), err ? err : "not loaded");
  }
  return h;
}

bool FileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// A name with '/' as it stands; without, the program directory, the working directory and
// the system's library path in this order.
void* OpenByName(const std::string& name)
{
  if (name.find('/') != std::string::npos) return OpenLibrary(name);
  for (const std::string& dir : {GetProgramDirectory(), std::string("./")}) {
    const std::string path = dir + name;
    if (!FileExists(path)) continue;
    if (void* h = OpenLibrary(path)) return h;
  }
  return OpenLibrary(name);
}

void ReleaseLocked()
{
  g_DigimodeDllLoaded.store(false);
  void* handle = g_Plugin.handle;
  g_Plugin = LoadedPlugin{};
  if (handle) dlclose(handle);
}

void ShowMessage(const std::string& text)
{
  if (g_MessageHook)
    g_MessageHook(text);
  else
    DebugPrintf(5, 0.0, "%s", text.c_str());
}

}  // namespace

int Digimode_SetDllMode(int a, int b)
{
  const T_DigimodeSettings& s = DigimodeSettings;
  DigimodeDllParams& p = g_DigimodeDllParams;
  p.StructSize = static_cast<int32_t>(sizeof(DigimodeDllParams));
  p.OperMode = s.OperMode;
  p.CodesetNr = s.CodesetNr;
  p.Modulation = s.Modulation;
  p.fc_rx = s.fc_rx;
  p.fc_tx = s.fc_tx;
  p.f_shift = s.f_shift;
  p.symbol_rate = s.symbol_rate;
  p.rev_keying = s.rev_keying ? 1 : 0;
  p.pulse_shaping = s.pulse_shaping;
  p.shape_percent = s.shape_percent;
  p.output_level = s.output_level;
  p.squelch_thrsh = s.squelch_thrsh;
  p.use_afc = s.use_afc ? 1 : 0;
  p.narrow_afc = s.narrow_afc ? 1 : 0;
  p.afc_tune_range = s.afc_tune_range;
  for (int32_t& v : p.Spare) v = 0;
  if (!g_DigimodeDllLoaded.load() || !g_Plugin.setMode) return 4;
  return g_Plugin.setMode(a, b, &g_DigimodeDllParams, &g_DigimodeDllStatus, &g_DigimodeRxChars,
                          &g_DigimodeTxChars);
}

bool Digimode_LoadModeDllLocked(const char* name)
{
  const bool wanted = name && static_cast<unsigned char>(name[0]) >= 32;
  // A hook that runs into the library is kept out by the lock the caller holds; the receive
  // gate stays shut until the station is switched to receive again.
  if (g_Plugin.handle || wanted) g_DigimodeRxActive.store(0);
  ReleaseLocked();
  if (!wanted) return false;
  const std::string fileName(name, strnlen(name, kDigimodeDllNameSize - 1));
  void* handle = OpenByName(fileName);
  if (!handle) {
    g_PendingMessage = "Couldn't load DLL.";
    return false;
  }
  LoadedPlugin plugin;
  plugin.handle = handle;
  plugin.getParamString = Lookup<DIGM_GetParamString_t>(handle, "DIGM_GetParamString");
  plugin.setMode = Lookup<DIGM_SetMode_t>(handle, "DIGM_SetMode");
  plugin.decodeAudio = Lookup<DIGM_DecodeAudio_t>(handle, "DIGM_DecodeAudio");
  plugin.generateAudio = Lookup<DIGM_GenerateAudio_t>(handle, "DIGM_GenerateAudio");
  if (!plugin.setMode) {
    DebugPrintf(5, 0.0, "Mode plug-in \"%s\" has no DIGM_SetMode; released", fileName.c_str());
    dlclose(handle);
    return false;
  }
  g_Plugin = plugin;
  // The four blocks start zeroed with their sizes; the station state belongs to the engine.
  DigimodeDllParams& p = g_DigimodeDllParams;
  const int32_t txState = p.TxState.load();
  const int32_t txRequest = p.TxRequest.load();
  std::memset(static_cast<void*>(&p), 0, sizeof(p));
  std::memset(static_cast<void*>(&g_DigimodeDllStatus), 0, sizeof(g_DigimodeDllStatus));
  p.StructSize = static_cast<int32_t>(sizeof(DigimodeDllParams));
  p.TxState.store(txState);
  p.TxRequest.store(txRequest);
  g_DigimodeDllStatus.StructSize = static_cast<int32_t>(sizeof(DigimodeDllStatus));
  for (DigimodeCharRing* r : {&g_DigimodeRxChars, &g_DigimodeTxChars}) {
    r->Head.store(0);
    r->Tail.store(0);
    std::memset(r->Chars, 0, sizeof(r->Chars));
    r->StructSize = static_cast<int32_t>(sizeof(DigimodeCharRing));
  }
  g_DigimodeDllLoaded.store(true);
  Digimode_SetDllMode(0, 0);
  return true;
}

void Digimode_ShowPendingDllMessage()
{
  if (g_PendingMessage.empty()) return;
  const std::string text = std::move(g_PendingMessage);
  g_PendingMessage.clear();
  ShowMessage(text);
}

bool Digimode_LoadModeDll(const char* name)
{
  bool loaded = false;
  g_DigimodeLock.Lock();
  loaded = Digimode_LoadModeDllLocked(name);
  g_DigimodeLock.Unlock();
  Digimode_ShowPendingDllMessage();
  return loaded;
}

std::string Digimode_GetDllParamString(int index)
{
  if (!g_DigimodeDllLoaded.load() || !g_Plugin.getParamString) return kNoDll;
  const char* text = g_Plugin.getParamString(index);
  return text ? std::string(text) : std::string();
}

bool DigimodeDll_DecodeAudio(const double* x, int n, double t)
{
  if (!g_DigimodeDllLoaded.load() || !g_Plugin.decodeAudio) return false;
  g_Plugin.decodeAudio(x, n, t);
  return true;
}

bool DigimodeDll_GenerateAudio(double* y, int n, double t)
{
  if (!g_DigimodeDllLoaded.load() || !g_Plugin.generateAudio) return false;
  std::memset(y, 0, sizeof(double) * static_cast<size_t>(n));
  g_Plugin.generateAudio(y, n, t);
  return true;
}

DigimodeDllTest Digimode_TestModeDll(const std::string& path, std::string* paramText)
{
  void* handle = OpenLibrary(path);
  if (!handle) return DigimodeDllTest::LoadFailed;
  const auto get = Lookup<DIGM_GetParamString_t>(handle, "DIGM_GetParamString");
  DigimodeDllTest result = DigimodeDllTest::NoParamString;
  if (get) {
    const char* text = get(0);
    if (paramText) *paramText = text ? text : "";
    result = DigimodeDllTest::Ok;
  }
  dlclose(handle);
  return result;
}

DigimodeMessageHook Digimode_SetMessageHook(DigimodeMessageHook hook)
{
  DigimodeMessageHook old = std::move(g_MessageHook);
  g_MessageHook = std::move(hook);
  return old;
}

bool Digimode_IsDllHandleHeld() { return g_Plugin.handle != nullptr; }
