// The help viewer: topic table and opening pages in the browser.
#include "mainwin/forms/HelpBrowser.h"

#include <QDesktopServices>
#include <filesystem>

const THelpTopic g_HelpTopics[] = {
    {100, "index.htm", ""},     {110, "specdisp.htm", ""},  {120, "specdisp.htm", ""},
    {130, "specdisp.htm", ""},  {140, "specdisp.htm", ""},  {150, "colorpal.htm", ""},
    {160, "controls.htm", ""},  {170, "specdisp.htm", ""},  {180, "specdisp.htm", ""},
    {200, "settings.htm", ""},  {210, "settings.htm", ""},  {220, "settings.htm", ""},
    {230, "settings.htm", ""},  {240, "settings.htm", ""},  {245, "settings.htm", ""},
    {250, "refcurve.htm", ""},  {300, "interpr.htm", ""},   {400, "circuits.htm", ""},
    {500, "colorpal.htm", ""},  {700, "sign_gen.htm", ""},  {750, "circuits.htm", ""},
    {800, "filters.htm", ""},   {810, "filters.htm", ""},   {820, "filters.htm", ""},
    {830, "filters.htm", ""},   {840, "filters.htm", ""},   {850, "filters.htm", ""},
    {900, "circuits.htm", ""},  {1000, "perisced.htm", ""}, {1100, "specalrt.htm", ""},
    {1200, "timesigs.htm", ""}, {1300, "digiterm.htm", ""}, {1310, "digiterm.htm", "scope"},
    {1320, "digiterm.htm", ""}, {1330, "digiterm.htm", ""}, {1350, "digiterm.htm", "config"},
    {1400, "wavfiles.htm", ""}, {1500, "textexpt.htm", ""}, {1550, "interpr.htm", ""},
    {1600, "interpr.htm", ""},  {1650, "interpr.htm", ""},  {1660, "interpr.htm", ""},
    {1800, "usermenu.htm", ""}, {1810, "watchwin.htm", ""}, {1850, "imagview.htm", ""},
    {2010, "troubles.htm", ""}, {2020, "troubles.htm", ""}, {0, "", ""}};

namespace {

struct HelpState {
  std::string directory;
  QWidget* owner = nullptr;
  const THelpTopic* table = nullptr;
  std::string lastFailure = "not initialized";
  HelpUrlHandler handler;
};

HelpState& State()
{
  static HelpState s;
  return s;
}

}  // namespace

bool HelpBrowser_Init(QWidget* owner, const std::string& helpDirectory, const THelpTopic* table)
{
  HelpState& s = State();
  s.directory = helpDirectory;
  if (!s.directory.empty() && s.directory.back() != '/') s.directory += '/';
  s.owner = owner;
  s.table = table;
  return table != nullptr;
}

bool HelpBrowser_ShowContext(uint32_t id)
{
  const THelpTopic* t = State().table;
  if (!t) return false;
  for (; t->id > 0; ++t)
    if (t->id == id) return HelpBrowser_ShowFile(t->file, t->anchor);
  return false;
}

bool HelpBrowser_ShowFile(const char* file, const char* anchor)
{
  HelpState& s = State();
  const std::string path = s.directory + (file ? file : "");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    ShellExecuteErrorText(std::filesystem::exists(s.directory.empty() ? "." : s.directory, ec) ? 2 : 3);
    return false;
  }
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(std::filesystem::absolute(path, ec).string()));
  if (anchor && static_cast<unsigned char>(anchor[0]) > ' ') url.setFragment(QString::fromUtf8(anchor));
  const bool ok = s.handler ? s.handler(url) : QDesktopServices::openUrl(url);
  if (!ok) ShellExecuteErrorText(31);
  return ok;
}

std::string HelpBrowser_PagePath(uint32_t id)
{
  const HelpState& s = State();
  for (const THelpTopic* t = s.table; t && t->id > 0; ++t)
    if (t->id == id) return s.directory + t->file;
  return std::string();
}

const std::string& HelpBrowser_Directory() { return State().directory; }

const std::string& HelpBrowser_LastFailure() { return State().lastFailure; }

void ShellExecuteErrorText(int code)
{
  const char* text;
  switch (code) {
    case 2: text = "The specified file was not found"; break;
    case 3: text = "The specified path was not found."; break;
    case 5: text = "The operating system denied access to the specified file."; break;
    case 8: text = "There was not enough memory to complete the operation."; break;
    case 11: text = "The .EXE file is invalid (non-Win32 .EXE or error in .EXE image)."; break;
    case 26: text = "A sharing violation occurred."; break;
    case 27: text = "The filename association is incomplete or invalid."; break;
    case 28:
      text = "The DDE transaction could not be completed because the request timed out.";
      break;
    case 29: text = "The DDE transaction failed."; break;
    case 30:
      text = "The DDE transaction could not be completed because other DDE transactions were "
             "being processed.";
      break;
    case 31: text = "There is no application associated with the given filename extension."; break;
    case 32: text = "The specified dynamic-link library was not found."; break;
    default: text = "Unknown error code from ShellExecute."; break;
  }
  State().lastFailure = text;
}

void HelpBrowser_SetUrlHandler(HelpUrlHandler handler) { State().handler = std::move(handler); }
