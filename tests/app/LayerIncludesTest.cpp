// The layers of the source tree: no file includes a header of a layer above its own, code
// outside forms/ includes no window header, and no library links a layer above it. The order
// is the one the top CMakeLists.txt builds the layers in (lowest first), with app/ on top.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
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
  std::smatch m;
  std::vector<std::string> layers;
  if (!std::regex_search(text, m, std::regex(R"(foreach\(layer([^)]*)\))"))) return layers;
  std::istringstream words(m[1].str());
  for (std::string w; words >> w;) layers.push_back(w);
  layers.push_back("app");
  return layers;
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
  const std::regex include(R"re(^\s*#\s*include\s*"([a-z]+)/([^"]*)")re");
  const std::regex link(R"(\bvt_([a-z]+?)(_forms)?\b)");
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
          line = line.substr(0, line.find('#'));
          for (std::sregex_iterator it(line.begin(), line.end(), link), end; it != end; ++it) {
            const std::string target = (*it)[1].str();
            if (rank.count(target) && rank[target] > rank[layer])
              faults.push_back({rel, "links vt_" + target + (*it)[2].str()});
          }
        }
        continue;
      }
      if (ext != ".h" && ext != ".cpp" && ext != ".c") continue;
      ++filesChecked;
      const bool inForms = rel.find("/forms/") != std::string::npos;
      while (std::getline(in, line)) {
        std::smatch m;
        if (!std::regex_search(line, m, include)) continue;
        const std::string target = m[1].str();
        if (!rank.count(target)) continue;
        if (rank[target] > rank[layer]) faults.push_back({rel, "includes " + target + "/" + m[2].str()});
        // Windows live in forms/; the code beside them stays free of Qt Widgets.
        if (!inForms && layer != "app" && m[2].str().rfind("forms/", 0) == 0)
          faults.push_back({rel, "includes the window header " + target + "/" + m[2].str()});
      }
    }
  }
  EXPECT_GT(filesChecked, 200);
  for (const Finding& f : faults) ADD_FAILURE() << f.file << " " << f.what;
}
