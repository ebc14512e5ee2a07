#pragma once
// Reads the reference tables written by make_filter_refs.py (tests/control/data/).
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include "common/TestUtil.h"

namespace vt_test {

// The lines of a table without comment lines, each split into words.
inline std::vector<std::vector<std::string>> ReadRefTable(const std::string& name) {
  std::istringstream in(ReadWholeFile(TestDataDir() + "/control/data/" + name));
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream ls(line);
    std::vector<std::string> words;
    std::string w;
    while (ls >> w) words.push_back(w);
    rows.push_back(words);
  }
  return rows;
}

// Number in a table word; always with "." whatever the locale.
inline double RefNum(const std::string& word) {
  std::istringstream s(word);
  s.imbue(std::locale::classic());
  double v = 0.0;
  s >> v;
  return v;
}

// Largest magnitude of a vector.
inline double MaxAbs(const std::vector<double>& v) {
  double m = 0.0;
  for (double x : v) m = std::max(m, x < 0 ? -x : x);
  return m;
}

}  // namespace vt_test
