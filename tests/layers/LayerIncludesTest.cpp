// The layer order of the source tree: every quoted include of every source
// file is resolved to a file of the tree, and a file may include only files of
// its own layer or of the layers below it. The build enforces the same order
// for the libraries (each sees only its own include root); this check also
// catches relative includes ("../core/X.h"), which the compiler resolves
// beside the including file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

namespace fs = std::filesystem;

namespace {

// Each folder of the tree and the folders its files may include. The longest
// matching folder names a file's layer.
const std::map<std::string, std::set<std::string>>& Layers() {
  static const std::map<std::string, std::set<std::string>> layers = {
      {"platform", {"platform"}},
      {"utilities", {"platform", "utilities"}},
      {"engine/codecs/mpeg", {"engine/codecs/mpeg"}},
      {"engine/base", {"platform", "utilities", "engine/base"}},
      {"engine/effects", {"platform", "utilities", "engine/base", "engine/effects"}},
      {"engine/media",
       {"platform", "utilities", "engine/base", "engine/media", "engine/codecs/mpeg"}},
      {"engine/codecs",
       {"platform", "utilities", "engine/base", "engine/media", "engine/codecs",
        "engine/codecs/mpeg"}},
      {"engine/core",
       {"platform", "utilities", "engine/base", "engine/effects", "engine/media", "engine/codecs",
        "engine/codecs/mpeg", "engine/core"}},
      {"converter",
       {"platform", "utilities", "engine/base", "engine/effects", "engine/media", "engine/codecs",
        "engine/codecs/mpeg", "engine/core", "shell", "converter"}},
      {"shell", {"platform", "utilities", "shell"}},
  };
  return layers;
}

// Upward includes that are allowed, each with its reason: "file -> included".
const std::set<std::string>& Exceptions() {
  static const std::set<std::string> exceptions = {};
  return exceptions;
}

std::string LayerOf(const std::string& path) {
  std::string best;
  for (const auto& [folder, _] : Layers())
    if (path.rfind(folder + "/", 0) == 0 && folder.size() > best.size()) best = folder;
  return best;
}

struct Include {
  std::string file;
  int line;
  std::string target;  // resolved, relative to the tree's root
};

std::vector<Include> QuotedIncludes(const fs::path& root) {
  static const std::regex quoted(R"(^\s*#\s*include\s*"([^"]+)\")");
  std::vector<Include> found;
  for (const char* folder : {"platform", "utilities", "engine", "converter", "shell"}) {
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      const auto ext = entry.path().extension();
      if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".c")) continue;
      std::ifstream in(entry.path());
      std::string text;
      for (int line = 1; std::getline(in, text); ++line) {
        std::smatch m;
        if (!std::regex_search(text, m, quoted)) continue;
        // As the compiler does: beside the including file first, then from the root.
        fs::path beside = entry.path().parent_path() / m[1].str();
        fs::path target = fs::exists(beside) ? beside : root / m[1].str();
        found.push_back({fs::relative(entry.path(), root).generic_string(), line,
                         fs::relative(fs::weakly_canonical(target), root).generic_string()});
      }
    }
  }
  return found;
}

TEST(LayerIncludes, NoFileIncludesALayerAboveItsOwn) {
  const fs::path root = fs::canonical(testsupport::SourceDir());
  const auto includes = QuotedIncludes(root);
  ASSERT_GT(includes.size(), 500u) << "the walk found too few includes to be the real tree";
  std::vector<std::string> upward;
  for (const auto& inc : includes) {
    const std::string from = LayerOf(inc.file);
    const std::string to = LayerOf(inc.target);
    if (to.empty()) {
      upward.push_back(inc.file + ":" + std::to_string(inc.line) + " includes " + inc.target +
                       ", which is in no layer");
      continue;
    }
    if (Layers().at(from).count(to) || Exceptions().count(inc.file + " -> " + inc.target)) continue;
    upward.push_back(inc.file + ":" + std::to_string(inc.line) + " (" + from + ") includes " +
                     inc.target + " (" + to + ")");
  }
  std::string report;
  for (const auto& u : upward) report += "\n  " + u;
  EXPECT_TRUE(upward.empty()) << "includes against the layer order:" << report;
}

}  // namespace
