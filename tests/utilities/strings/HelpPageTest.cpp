// The help pages: found in the program folder and in an installed tree, and
// every page and style sheet they link to is there.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <regex>

#include "tests/TestSupport.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {

using testsupport::TempDir;

const std::string kBin = testsupport::BinDir() + "/";

TEST(HelpPage, FindsTheBuiltPages) {
  for (const char* page : {"index.html", "progress.html", "questions.html", "errorlog.html",
                           "howto.html", "options.html", "help.css"})
    EXPECT_EQ(FindHelpPageIn(kBin, page), kBin + "help/" + page);
  EXPECT_EQ(FindHelpPageIn(kBin, "missing.html"), "");
  EXPECT_EQ(FindHelpPageIn(kBin, ""), "");
  EXPECT_EQ(FindHelpPageIn(kBin, "../help/index.html"), "");
  EXPECT_EQ(FindHelpPageIn(kBin, ".."), "");
}

TEST(HelpPage, EveryLinkOfThePagesLeadsToAPage) {
  static const std::regex link(R"((?:href|src)="([^"#:]*)(#[^"]*)?")");
  std::vector<std::string> pending = {"index.html"}, seen;
  while (!pending.empty()) {
    std::string page = pending.back();
    pending.pop_back();
    if (std::find(seen.begin(), seen.end(), page) != seen.end()) continue;
    seen.push_back(page);
    std::string path = FindHelpPageIn(kBin, page);
    ASSERT_NE(path, "") << page << " is linked but missing";
    std::string text = testsupport::ReadFile(path);
    for (std::sregex_iterator m(text.begin(), text.end(), link), end; m != end; ++m)
      if (!(*m)[1].str().empty()) pending.push_back((*m)[1].str());
  }
  EXPECT_GE(seen.size(), 7u);
}

TEST(HelpPage, FindsThePagesOfAnInstalledProgram) {
  TempDir dir;
  for (const char* d : {"bin", "share", "share/sonoduct", "share/sonoduct/help"})
    mkdir(dir.File(d).c_str(), 0700);
  testsupport::WriteFile(dir.File("share/sonoduct/help/index.html"), "<html></html>");
  EXPECT_EQ(FindHelpPageIn(dir.File("bin/"), "index.html"),
            dir.File("share/sonoduct/help/index.html"));
  // Beside the program wins.
  mkdir(dir.File("bin/help").c_str(), 0700);
  testsupport::WriteFile(dir.File("bin/help/index.html"), "<html></html>");
  EXPECT_EQ(FindHelpPageIn(dir.File("bin/"), "index.html"), dir.File("bin/help/index.html"));
  EXPECT_EQ(FindHelpPageIn(dir.File("bin/"), "options.html"), "");
}

}  // namespace
