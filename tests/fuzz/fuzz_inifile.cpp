// INI files: arbitrary text loaded, every section and key read, a value written into one
// existing and one new key, written back and loaded again. The reload must read the same
// sections, keys and values as the first load (the write may not lose or alter a line): each
// key's value is compared, not only that the key is there.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/IniFile.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

using Content = std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>;

Content ReadAll(const IniFile& ini)
{
  Content c;
  for (const std::string& sec : ini.ReadSections()) {
    std::vector<std::pair<std::string, std::string>> keys;
    for (const std::string& key : ini.ReadSection(sec)) {
      VT_FUZZ_CHECK(ini.ValueExists(sec, key));
      keys.emplace_back(key, ini.ReadString(sec, key, ""));
      (void)ini.ReadInteger(sec, key, -1);
      (void)ini.ReadFloat(sec, key, -1.0);
    }
    c.emplace_back(sec, std::move(keys));
  }
  return c;
}

std::string Folded(std::string s)
{
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string path = vt_fuzz::WriteInput("input.ini", data, size);
  Content first;
  {
    IniFile ini(path);
    first = ReadAll(ini);
    ini.WriteString("FuzzSection", "FuzzKey", "fuzz value");
    // (A value holding a lone CR is written as a blank: values are single lines.)
    if (!first.empty() && !first.front().second.empty() &&
        first.front().second.front().second.find('\r') == std::string::npos) {
      // Rewrite the first key with the value it has: the text read back must not change.
      const auto& [sec, keys] = first.front();
      ini.WriteString(sec, keys.front().first, keys.front().second);
    }
    ini.UpdateFile();
  }
  IniFile again(path);
  VT_FUZZ_CHECK(again.ReadString("FuzzSection", "FuzzKey", "") == "fuzz value");
  const Content second = ReadAll(again);
  // No section appears that was not there (a written line never reads as a header).
  for (const auto& [sec, keys] : second) {
    bool known = Folded(sec) == "fuzzsection";
    for (const auto& [oldSec, oldKeys] : first) known = known || Folded(oldSec) == Folded(sec);
    VT_FUZZ_CHECK(known);
    (void)keys;
  }
  for (const auto& [sec, keys] : first) {
    for (const auto& [key, value] : keys) {
      if (Folded(sec) == "fuzzsection" && Folded(key) == "fuzzkey") continue;
      // Every key read at first is still there after the write, with the value it had: the
      // write keeps every line it did not change as it was read, and the one key rewritten
      // got its own value (read values are single lines, trimmed, so a write keeps them).
      VT_FUZZ_CHECK(again.ValueExists(sec, key));
      VT_FUZZ_CHECK(again.ReadString(sec, key, "\x01missing") == value);
    }
  }
  return 0;
}
