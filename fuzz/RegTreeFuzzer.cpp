// Feeds arbitrary bytes to the parser of the registry store's text form, as
// the store reads its file, and lists everything a parsed store holds. What
// parses must write out as text that parses to the same contents and writes
// out the same again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "platform/registry/RegTree.h"

namespace {

// Every key below folded, as the registry calls list them.
void List(const CRegTree& tree, const std::string& folded, int depth) {
  FUZZ_CHECK(tree.KeyExists(folded));
  std::string path = tree.DisplayPath(folded);
  FUZZ_CHECK(CRegTree::Fold(path) == folded);
  const auto* values = tree.Values(folded);
  FUZZ_CHECK(values != nullptr);
  for (const TRegValue& v : *values) {
    FUZZ_CHECK(tree.FindValue(folded, v.name) == &v);
    (void)CRegTree::FormatValue(v);
  }
  if (depth > 64) return;
  for (const std::string& leaf : tree.SubKeys(folded)) {
    std::string child =
        folded.empty() ? CRegTree::Fold(leaf) : folded + "\\" + CRegTree::Fold(leaf);
    (void)CRegTree::FormatKeyName(leaf);
    List(tree, child, depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  CRegTree tree;
  std::string error;
  if (!tree.Parse(text, error)) {
    FUZZ_CHECK(!error.empty() && tree == CRegTree());
    return 0;
  }
  List(tree, "", 0);

  std::string written = tree.Serialize("HKEY_CURRENT_USER");
  CRegTree reread;
  FUZZ_CHECK(reread.Parse(written, error));
  FUZZ_CHECK(reread == tree);
  FUZZ_CHECK(reread.Serialize("HKEY_CURRENT_USER") == written);
  return 0;
}
