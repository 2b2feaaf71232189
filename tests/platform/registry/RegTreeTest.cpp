// The text form of the store: exact round trips of any byte, and refusal of
// damaged files.
#include <gtest/gtest.h>

#include "platform/registry/RegTree.h"

namespace {

std::string AllBytes(int from) {
  std::string s;
  for (int c = from; c < 256; ++c) s += static_cast<char>(c);
  return s;
}

std::string Folded(const std::string& path) {
  std::string f;
  EXPECT_TRUE(CRegTree::FoldPath(path, f)) << path;
  return f;
}

}  // namespace

TEST(RegTree, AnyByteInNamesAndDataRoundTripsExactly) {
  CRegTree tree;
  // Key names may hold anything but the separator; value names and strings
  // anything but NUL; binary data anything at all.
  std::string oddKey = AllBytes(1);
  oddKey.erase(oddKey.find('\\'), 1);
  const std::string keys[] = {"Plain\\Sub", "[x]\\%41", oddKey + "\\tail", "caf\xc3\xa9 \xff\xfe"};
  for (const auto& k : keys) ASSERT_TRUE(tree.CreateKey(k));
  std::string f = Folded("Plain\\Sub");
  ASSERT_TRUE(tree.SetValue(f, AllBytes(1), REG_SZ, AllBytes(1)));
  ASSERT_TRUE(tree.SetValue(f, "", REG_SZ, ""));
  ASSERT_TRUE(tree.SetValue(f, "bin", REG_BINARY, AllBytes(0)));
  ASSERT_TRUE(tree.SetValue(f, "empty", REG_BINARY, ""));
  ASSERT_TRUE(tree.SetValue(f, "num", REG_DWORD, std::string("\xff\x00\x00\x80", 4)));
  ASSERT_TRUE(tree.SetValue(Folded(oddKey + "\\tail"), "\"quoted\" = \\x41", REG_SZ,
                            "line1\nline2\r\t\"end\"\\"));
  ASSERT_TRUE(tree.SetValue("", "at root", REG_DWORD, std::string(4, '\0')));

  std::string text = tree.Serialize("HKEY_CURRENT_USER");
  CRegTree back;
  std::string error;
  ASSERT_TRUE(back.Parse(text, error)) << error << "\n" << text;
  EXPECT_TRUE(back == tree);
  EXPECT_EQ(back.Serialize("HKEY_CURRENT_USER"), text);
  // The separator-free odd name comes back as one level with its own case.
  EXPECT_EQ(back.SubKeys(Folded(oddKey)), std::vector<std::string>{"tail"});
  EXPECT_EQ(back.DisplayPath(Folded(oddKey + "\\tail")), oddKey + "\\tail");
  // Every line is one line: no raw control bytes leak into the file.
  for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
}

TEST(RegTree, ReadsHandWrittenText) {
  const char* text =
      "\xEF\xBB\xBF# comment\r\n"
      "; another\n"
      "\n"
      "  [SOFTWARE\\Quillon\\Sonoduct]  \r\n"
      "\"CPUSleepTime\"=dword:0000005F\n"
      "  \"DefaultDir\"=sz:\"/home/ann/Music/\"  \n"
      "\"LastWindowPoint\"=hex:00,00,00,80,ff,FF,00,80\n"
      "\"\"=sz:\"default \\x41\\\"\"\n"
      "[SOFTWARE\\Other]\n";
  CRegTree tree;
  std::string error;
  ASSERT_TRUE(tree.Parse(text, error)) << error;
  std::string key = Folded("software\\quillon\\sonoduct");
  ASSERT_NE(tree.FindValue(key, "cpusleeptime"), nullptr);
  EXPECT_EQ(tree.FindValue(key, "cpusleeptime")->data, std::string("\x5f\0\0\0", 4));
  EXPECT_EQ(tree.FindValue(key, "DEFAULTDIR")->data, "/home/ann/Music/");
  EXPECT_EQ(tree.FindValue(key, "LastWindowPoint")->data,
            std::string("\0\0\0\x80\xff\xff\0\x80", 8));
  EXPECT_EQ(tree.FindValue(key, "")->data, "default A\"");
  EXPECT_EQ(tree.SubKeys(Folded("Software")), (std::vector<std::string>{"Other", "Quillon"}));
}

TEST(RegTree, DamagedTextIsRefusedAndLeavesNothing) {
  const char* bad[] = {
      "[A]\n\"x\"=dword:1\n",                               // short dword
      "[A]\n\"x\"=dword:0000000g\n",                        // not hex
      "[A]\n\"x\"=qword:00000000\n",                        // unknown type
      "[A]\n\"x\"=sz:\"open\n",                             // unterminated string
      "[A]\n\"x\"=sz:\"a\\q\"\n",                           // unknown escape
      "[A]\n\"x\"=sz:\"a\" junk\n",                         // text after the string
      "[A]\n\"x\"=hex:00,\n",                               // trailing comma
      "[A]\n\"x\"=hex:0\n",                                 // half a byte
      "[A]\n\"x\"=hex:0001\n",                              // missing comma
      "[A]\n\"x\"=dword:00000000\n\"X\"=dword:00000001\n",  // value twice
      "[A]\n[a]\n",                                         // key twice
      "[A\\\\B]\n",                                         // empty level
      "[A%4]\n",                                            // cut escape
      "\"x\"=dword:00000000\n",                             // value before any key
      "garbage\n",                                          //
      "[A]\n\"x\"=dword:00000000",                          // cut short: no final line break
  };
  for (const char* text : bad) {
    CRegTree tree;
    tree.CreateKey("Left\\Over");
    std::string error;
    EXPECT_FALSE(tree.Parse(text, error)) << text;
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(tree == CRegTree()) << text;
  }
  CRegTree empty;
  std::string error;
  EXPECT_TRUE(empty.Parse("", error));
}

TEST(RegTree, SubtreesStayApartFromLookalikeSiblings) {
  // "a b" and "a!" sort between "a" and "a\x" in plain byte order; deleting
  // and listing "a" must not touch them.
  CRegTree tree;
  for (const char* k : {"a\\x\\y", "a b", "a!", "ab", "A\\z", "b"}) ASSERT_TRUE(tree.CreateKey(k));
  EXPECT_EQ(tree.SubKeys(""), (std::vector<std::string>{"a", "a b", "a!", "ab", "b"}));
  EXPECT_EQ(tree.SubKeys("a"), (std::vector<std::string>{"x", "z"}));
  ASSERT_TRUE(tree.DeleteKey("a"));
  EXPECT_EQ(tree.SubKeys(""), (std::vector<std::string>{"a b", "a!", "ab", "b"}));
  EXPECT_FALSE(tree.KeyExists("a\\x\\y"));
  EXPECT_FALSE(tree.DeleteKey(""));  // the root stays
  EXPECT_TRUE(tree.DeleteChildren(""));
  EXPECT_TRUE(tree.SubKeys("").empty());
}
