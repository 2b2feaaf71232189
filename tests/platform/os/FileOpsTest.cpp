// Replacing a file's contents in one step.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/os/FileOps.h"
#include "tests/TestSupport.h"

namespace {

int EntriesIn(const std::string& dir) {
  int n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") ++n;
    closedir(d);
  }
  return n;
}

TEST(FileOps, ReplaceFileContentsWritesAllOrNothing) {
  testsupport::TempDir dir;
  const std::string path = dir.File("uca.xml");
  ASSERT_TRUE(os::ReplaceFileContents(path, std::string("first\0x", 7), 0755));
  EXPECT_EQ(testsupport::ReadFile(path), std::string("first\0x", 7));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0755u);

  ASSERT_TRUE(os::ReplaceFileContents(path, "second", 0600));
  EXPECT_EQ(testsupport::ReadFile(path), "second");
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(EntriesIn(dir.Path()), 1) << "no temporary file is left behind";

  // A missing folder, or a folder in the file's place: nothing is written.
  EXPECT_FALSE(os::ReplaceFileContents(dir.File("missing/file"), "x", 0644));
  ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0700), 0);
  ASSERT_TRUE(testsupport::WriteFile(dir.File("folder/keep"), "k"));
  EXPECT_FALSE(os::ReplaceFileContents(dir.File("folder"), "x", 0644));
  EXPECT_EQ(testsupport::ReadFile(dir.File("folder/keep")), "k");
  EXPECT_EQ(EntriesIn(dir.Path()), 2);
}

}  // namespace
