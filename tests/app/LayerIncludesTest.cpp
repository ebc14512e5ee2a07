// The layers of the source tree: no file includes a header of a layer above its own, code
// outside forms/ includes no window header, and no library links a layer above it. The order
// is the one the top CMakeLists.txt builds the layers in (lowest first), with app/ on top.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/TestUtil.h"

namespace {

namespace fs = std::filesystem;

// The layer list of "foreach(layer ...)" in the top CMakeLists.txt, then "app".
std::vector<std::string> LayerOrder()
{
  const std::string text = vt_test::ReadWholeFile(std::string(VT_SOURCE_DIR) + "/CMakeLists.txt");
  std::vector<std::string> layers;
  const size_t start = text.find("foreach(layer");
  if (start == std::string::npos) return layers;
  const size_t end = text.find(')', start);
  std::istringstream words(text.substr(start + 13, end - start - 13));
  for (std::string w; words >> w;) layers.push_back(w);
  layers.push_back("app");
  return layers;
}

bool IsLower(char c) { return c >= 'a' && c <= 'z'; }

// The folder and the rest of a project include ("folder/rest"); false for other lines.
bool ProjectInclude(const std::string& line, std::string* folder, std::string* rest)
{
  size_t i = line.find_first_not_of(" \t");
  if (i == std::string::npos || line[i] != '#') return false;
  i = line.find_first_not_of(" \t", i + 1);
  if (i == std::string::npos || line.compare(i, 7, "include") != 0) return false;
  i = line.find_first_not_of(" \t", i + 7);
  if (i == std::string::npos || line[i] != '"') return false;
  const size_t close = line.find('"', i + 1);
  const size_t slash = line.find('/', i + 1);
  if (close == std::string::npos || slash == std::string::npos || slash > close) return false;
  *folder = line.substr(i + 1, slash - i - 1);
  *rest = line.substr(slash + 1, close - slash - 1);
  return !folder->empty() && std::all_of(folder->begin(), folder->end(), IsLower);
}

// The layer names of the vt_<layer> and vt_<layer>_forms targets the text names.
std::vector<std::string> LinkedLayers(const std::string& text)
{
  std::vector<std::string> out;
  for (size_t i = text.find("vt_"); i != std::string::npos; i = text.find("vt_", i + 3)) {
    if (i > 0 && (IsLower(text[i - 1]) || text[i - 1] == '_')) continue;
    size_t e = i + 3;
    while (e < text.size() && (IsLower(text[e]) || text[e] == '_')) ++e;
    std::string name = text.substr(i + 3, e - i - 3);
    if (name.size() > 6 && name.compare(name.size() - 6, 6, "_forms") == 0) name.resize(name.size() - 6);
    out.push_back(name);
  }
  return out;
}

struct Finding {
  std::string file;
  std::string what;
};

}  // namespace

TEST(LayerIncludesTest, NoLayerIncludesOrLinksALayerAboveIt)
{
  const std::vector<std::string> order = LayerOrder();
  ASSERT_GE(order.size(), 8u) << "no layer list in CMakeLists.txt";
  std::map<std::string, int> rank;
  for (size_t i = 0; i < order.size(); ++i) rank[order[i]] = static_cast<int>(i);

  const fs::path root(VT_SOURCE_DIR);
  std::vector<Finding> faults;
  int filesChecked = 0;
  for (const std::string& layer : order) {
    for (const auto& entry : fs::recursive_directory_iterator(root / layer)) {
      if (!entry.is_regular_file()) continue;
      const fs::path& p = entry.path();
      const std::string ext = p.extension().string();
      const std::string rel = fs::relative(p, root).string();
      std::ifstream in(p);
      std::string line;
      if (p.filename() == "CMakeLists.txt") {
        // Libraries linked: vt_<layer> and vt_<layer>_forms of the layers named.
        while (std::getline(in, line)) {
          for (const std::string& target : LinkedLayers(line.substr(0, line.find('#')))) {
            if (rank.count(target) && rank[target] > rank[layer])
              faults.push_back({rel, "links vt_" + target});
          }
        }
        continue;
      }
      if (ext != ".h" && ext != ".cpp" && ext != ".c") continue;
      ++filesChecked;
      const bool inForms = rel.find("/forms/") != std::string::npos;
      std::string target, rest;
      while (std::getline(in, line)) {
        if (!ProjectInclude(line, &target, &rest) || !rank.count(target)) continue;
        if (rank[target] > rank[layer]) faults.push_back({rel, "includes " + target + "/" + rest});
        // Windows live in forms/; the code beside them stays free of Qt Widgets.
        if (!inForms && layer != "app" && rest.rfind("forms/", 0) == 0)
          faults.push_back({rel, "includes the window header " + target + "/" + rest});
      }
    }
  }
  EXPECT_GT(filesChecked, 200);
  for (const Finding& f : faults) ADD_FAILURE() << f.file << " " << f.what;
}
