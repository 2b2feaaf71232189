// The string list and the recent-directory list, kept across a restart
// through the registry store in a private config folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "platform/registry/RegKey.h"
#include "tests/TestSupport.h"
#include "utilities/lists/LastDirList.h"
#include "utilities/lists/StringList.h"

namespace {

using testsupport::TempDir;

// Runs body in a forked process, as a program run that ends before the next
// one starts; its exit status is body's result.
int InOtherRun(const std::function<int()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string Order(CLastDirList& list) {
  std::string order;
  for (int i = 0; i < list.Count(); ++i) order += std::string(list.Index(i)->path) + ";";
  return order;
}

class ListsStore : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) saved_ = old, hadSaved_ = true;
    setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
  }
  void TearDown() override {
    if (hadSaved_)
      setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
  }
  // A key holds one list.
  static std::unique_ptr<CRegKey> Key(const char* list = "Strings") {
    CRegKey top(HKEY_CURRENT_USER);
    std::string path = std::string("SOFTWARE\\Quillon\\Test\\") + list;
    return std::unique_ptr<CRegKey>(top.CreateSubKey(path.c_str()));
  }
  std::string StoreText() {
    std::ifstream in(dir_.File("config") + "/quillon/HKEY_CURRENT_USER.reg");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir dir_;
  std::string saved_;
  bool hadSaved_ = false;
};

}  // namespace

TEST(StringList, KeepsOrderAndDuplicatesAndSearchesWithoutCase) {
  CStringList list;
  list.AddLatestString("b");
  list.AddLatestString("a");
  list.PushBackList("c");
  list.PushBackList("A");
  ASSERT_EQ(list.Count(), 4);
  EXPECT_STREQ(list.Index(0), "a");
  EXPECT_STREQ(list.Index(1), "b");
  EXPECT_STREQ(list.Index(2), "c");
  EXPECT_STREQ(list.Index(3), "A");
  EXPECT_EQ(list.StringIndex("B"), 1);
  EXPECT_EQ(list.StringIndex("a"), 0);  // the first of two equal ones
  EXPECT_EQ(list.StringIndex("d"), -1);
  EXPECT_TRUE(list.ContainsString("C"));
  EXPECT_FALSE(list.ContainsString("ab"));
  EXPECT_EQ(list.Index(4), nullptr);
  EXPECT_EQ(list.Index(-1), nullptr);
  list.DeleteIndex(4);
  list.DeleteIndex(-1);
  EXPECT_EQ(list.Count(), 4);
  list.DeleteIndex(1);
  EXPECT_STREQ(list.Index(1), "c");
  list.DeleteStringList();
  EXPECT_EQ(list.Count(), 0);
}

TEST(LastDirList, KeepsDescendingTimeOrder) {
  CLastDirList list;
  list.Add("/t5", 5, 1);
  list.Add("/t9", 9, 2);
  list.Add("/t7", 7, 3);
  list.Add("/t7b", 7, 4);  // after the older entry of equal time
  EXPECT_EQ(Order(list), "/t9;/t7;/t7b;/t5;");
  EXPECT_EQ(list.Index(4), nullptr);
  list.DeleteIndex(4);
  EXPECT_EQ(list.Count(), 4);

  list.UpdateOrAdd("/T5", 10, 50, 1);  // found without case, moved to the front
  EXPECT_EQ(Order(list), "/t5;/t9;/t7;/t7b;");
  EXPECT_EQ(list.ContainsDir("/t5")->count, 50);
  list.UpdateOrAdd("/t9", 1, 9, 0);  // stays where it is
  EXPECT_EQ(Order(list), "/t5;/t9;/t7;/t7b;");
  list.Sort();
  EXPECT_EQ(Order(list), "/t5;/t7;/t7b;/t9;");

  auto* record = new _lastDirList{"/unsorted", 100, 0};
  EXPECT_EQ(list.AddPtr(record, 0), 1);
  EXPECT_EQ(list.Index(4), record);
  EXPECT_EQ(list.AddPtr(new _lastDirList{"/sorted", 6, 0}, 1), 1);
  EXPECT_EQ(Order(list), "/t5;/t7;/t7b;/sorted;/t9;/unsorted;");
  EXPECT_EQ(list.AddPtr(nullptr, 1), 0);

  list.DeletePath("/T7B");
  EXPECT_EQ(list.ContainsDir("/t7b"), nullptr);
  list.DeleteAll();
  EXPECT_EQ(list.Count(), 0);
}

TEST(LastDirList, MoveOrAddToTopKeepsTheOldCount) {
  CLastDirList list;
  list.Add("/music", 100, 7);
  list.Add("/older", 50, 3);
  const long before = static_cast<long>(std::time(nullptr));
  EXPECT_EQ(list.MoveOrAddToTop("/OLDER"), 1);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_STREQ(list.Index(0)->path, "/OLDER");
  EXPECT_EQ(list.Index(0)->count, 3);
  EXPECT_GE(list.Index(0)->time, before);
  EXPECT_EQ(list.MoveOrAddToTop("/new"), 1);
  EXPECT_EQ(list.Index(0)->count, CLastDirList::kNewEntryCount);
  EXPECT_EQ(Order(list), "/new;/OLDER;/music;");
}

TEST(LastDirList, RefusesPathsThatDoNotFitTheRecord) {
  CLastDirList list;
  std::string longest(259, 'x'), tooLong(260, 'x');
  EXPECT_EQ(list.Add(longest.c_str(), 1, 1), 1);
  EXPECT_EQ(list.Add(tooLong.c_str(), 1, 1), 0);
  EXPECT_EQ(list.MoveOrAddToTop(tooLong.c_str()), 0);
  EXPECT_EQ(list.UpdateOrAdd(tooLong.c_str(), 1, 1, 1), 0);
  EXPECT_EQ(list.Add(nullptr, 1, 1), 0);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(std::string(list.Index(0)->path), longest);
}

TEST_F(ListsStore, ListsSurviveARestart) {
  EXPECT_EQ(InOtherRun([] {
              CStringList strings;
              for (const char* s : {"first", "Zweite Stück", "dup", "dup"}) strings.PushBackList(s);
              CLastDirList dirs;
              dirs.Add("/home/ann/Música", 300, 4);
              dirs.Add("/srv/\"quoted\" dir", 200, -1);
              dirs.Add("/tmp", -5, 1000);
              auto key = Key(), dirsKey = Key("Dirs");
              return key && dirsKey && strings.Save(*key) && dirs.Save(*dirsKey) ? 0 : 1;
            }),
            0);
  EXPECT_NE(StoreText().find("/home/ann/Música"), std::string::npos);

  auto key = Key(), dirsKey = Key("Dirs");
  ASSERT_TRUE(key && dirsKey);
  CStringList strings;
  strings.PushBackList("stale");
  ASSERT_EQ(strings.Load(*key), 1);
  ASSERT_EQ(strings.Count(), 4);
  EXPECT_STREQ(strings.Index(1), "Zweite Stück");
  EXPECT_STREQ(strings.Index(3), "dup");
  CLastDirList dirs;
  ASSERT_EQ(dirs.Load(*dirsKey), 1);
  EXPECT_EQ(Order(dirs), "/home/ann/Música;/srv/\"quoted\" dir;/tmp;");
  EXPECT_EQ(dirs.Index(1)->count, -1);
  EXPECT_EQ(dirs.Index(2)->time, -5);

  // A shorter list saved over a longer one leaves nothing of it behind.
  EXPECT_EQ(InOtherRun([] {
              CStringList strings;
              strings.PushBackList("only");
              CLastDirList dirs;
              auto key = Key(), dirsKey = Key("Dirs");
              return key && dirsKey && strings.Save(*key) && dirs.Save(*dirsKey) ? 0 : 1;
            }),
            0);
  ASSERT_EQ(strings.Load(*key), 1);
  EXPECT_EQ(strings.Count(), 1);
  EXPECT_STREQ(strings.Index(0), "only");
  ASSERT_EQ(dirs.Load(*dirsKey), 1);
  EXPECT_EQ(dirs.Count(), 0);
  EXPECT_EQ(StoreText().find("Path0"), std::string::npos);
  EXPECT_EQ(StoreText().find("\"1\""), std::string::npos);
}

TEST_F(ListsStore, AKeyWithoutAListLoadsEmpty) {
  auto key = Key();
  ASSERT_TRUE(key);
  CStringList strings;
  strings.PushBackList("x");
  EXPECT_EQ(strings.Load(*key), 1);
  EXPECT_EQ(strings.Count(), 0);
  // A damaged list (an entry missing) is refused whole.
  key->SetKeyNum("Count", 2);
  key->SetKeyString("0", "a");
  EXPECT_EQ(strings.Load(*key), 0);
  EXPECT_EQ(strings.Count(), 0);
}
