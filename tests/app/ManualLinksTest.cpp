// The user's manual (html/) and the README as a reader follows them: every link of a help page
// to a local page leads to a page that exists (and to a section of it that exists), every page
// can be reached from the contents page, the contents page leads straight to "First minutes",
// and every file of the source tree that the README names exists.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/TestUtil.h"

namespace {

namespace fs = std::filesystem;

const fs::path kHtml = fs::path(VT_SOURCE_DIR) / "html";

// The texts between `open` and the next `close` in `text`.
std::vector<std::string> Between(const std::string& text, const std::string& open, char close)
{
  std::vector<std::string> out;
  for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at)) {
    at += open.size();
    const size_t end = text.find(close, at);
    if (end == std::string::npos) break;
    out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

// The help pages by file name, each with its text.
std::map<std::string, std::string> Pages()
{
  std::map<std::string, std::string> pages;
  for (const auto& e : fs::directory_iterator(kHtml))
    if (e.path().extension() == ".htm")
      pages[e.path().filename().string()] = vt_test::ReadWholeFile(e.path().string());
  return pages;
}

// The local links of a page: file (empty for the page itself) and section.
std::vector<std::pair<std::string, std::string>> LocalLinks(const std::string& text)
{
  std::vector<std::pair<std::string, std::string>> links;
  for (const std::string& href : Between(text, "href=\"", '"')) {
    if (href.find(':') != std::string::npos) continue;  // http:, mailto: and the like
    const size_t hash = href.find('#');
    links.emplace_back(href.substr(0, hash),
                       hash == std::string::npos ? std::string() : href.substr(hash + 1));
  }
  return links;
}

TEST(Manual, EveryLocalLinkLeadsToAnExistingPageAndSection)
{
  const auto pages = Pages();
  ASSERT_TRUE(pages.count("index.htm"));
  for (const auto& [name, text] : pages) {
    for (const auto& [file, section] : LocalLinks(text)) {
      const std::string target = file.empty() ? name : file;
      SCOPED_TRACE(name + " -> " + file + "#" + section);
      ASSERT_TRUE(pages.count(target)) << "no page " << target;
      if (!section.empty()) {
        EXPECT_NE(pages.at(target).find("id=\"" + section + "\""), std::string::npos)
            << "no section " << section << " in " << target;
      }
    }
  }
}

TEST(Manual, EveryPageIsReachableFromTheContentsAndFirstMinutesDirectly)
{
  const auto pages = Pages();
  std::set<std::string> reached{"index.htm"};
  std::vector<std::string> todo{"index.htm"};
  while (!todo.empty()) {
    const std::string page = todo.back();
    todo.pop_back();
    if (!pages.count(page)) continue;
    for (const auto& link : LocalLinks(pages.at(page)))
      if (!link.first.empty() && reached.insert(link.first).second) todo.push_back(link.first);
  }
  for (const auto& entry : pages) EXPECT_TRUE(reached.count(entry.first)) << entry.first;
  ASSERT_TRUE(pages.count("firstmin.htm"));
  bool direct = false;
  for (const auto& link : LocalLinks(pages.at("index.htm")))
    direct = direct || link.first == "firstmin.htm";
  EXPECT_TRUE(direct) << "index.htm does not link firstmin.htm";
}

TEST(Manual, EveryFileTheReadmeNamesExists)
{
  const std::string readme = vt_test::ReadWholeFile(std::string(VT_SOURCE_DIR) + "/README.md");
  // Names in backticks that lie in the source tree's folders, and the scripts.
  std::vector<std::string> names;
  for (size_t at = readme.find('`'); at != std::string::npos;) {
    const size_t end = readme.find('`', at + 1);
    if (end == std::string::npos) break;
    const std::string name = readme.substr(at + 1, end - at - 1);
    const bool inTree = name.rfind("html/", 0) == 0 || name.rfind("docs/", 0) == 0 ||
                        name.rfind("scripts/", 0) == 0 || name.rfind("bench/", 0) == 0;
    const bool script = name.size() > 3 && name.find(' ') == std::string::npos &&
                        name.find('/') == std::string::npos &&
                        name.compare(name.size() - 3, 3, ".sh") == 0;
    if ((inTree || script) && name.find_first_of(" <*$") == std::string::npos)
      names.push_back(name);
    at = readme.find('`', end + 1);
  }
  EXPECT_FALSE(names.empty());
  for (const std::string& n : names)
    EXPECT_TRUE(fs::exists(fs::path(VT_SOURCE_DIR) / n)) << n;
}

}  // namespace
