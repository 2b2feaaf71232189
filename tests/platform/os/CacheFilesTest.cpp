#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/os/CacheFiles.h"
#include "tests/TestSupport.h"

namespace {

bool Exists(const std::string& path) {
  return testsupport::Run("test -e '" + path + "' || test -L '" + path + "'").exitCode == 0;
}

TEST(CacheFiles, OnlyCacheFilesGoAndOnlyFoldersTheWalkEmptied) {
  testsupport::TempDir dir;
  std::string root = dir.Path() + "/cache";
  std::string elsewhere = dir.Path() + "/music";
  ASSERT_EQ(testsupport::Run("mkdir -p '" + root + "/home/ana/Music' '" + root + "/mixed' '" +
                             root + "/empty' '" + elsewhere + "'")
                .exitCode,
            0);
  for (const char* f : {"/home/ana/Music/a.mp3.ipk", "/home/ana/Music/a.mp3.ISK",
                        "/mixed/b.wav.ipk", "/top.wav.ipk"})
    ASSERT_TRUE(testsupport::WriteFile(root + f, "x"));
  ASSERT_TRUE(testsupport::WriteFile(root + "/mixed/notes.txt", "mine"));
  // Links, to a folder and to a file outside, are never followed nor removed.
  ASSERT_TRUE(testsupport::WriteFile(elsewhere + "/song.mp3.ipk", "not ours to delete"));
  ASSERT_EQ(symlink(elsewhere.c_str(), (root + "/link").c_str()), 0);
  ASSERT_EQ(symlink((elsewhere + "/song.mp3.ipk").c_str(), (root + "/linked.ipk").c_str()), 0);

  os::CacheCleanup c = os::RemoveCacheFiles(root + "/", {"ipk", "isk"});
  EXPECT_EQ(c.filesRemoved, 4);
  EXPECT_EQ(c.foldersRemoved, 3);  // home/ana/Music, home/ana, home
  EXPECT_EQ(c.kept, 3);            // notes.txt and the two links
  EXPECT_FALSE(Exists(root + "/home"));
  EXPECT_TRUE(Exists(root + "/mixed/notes.txt"));
  EXPECT_FALSE(Exists(root + "/mixed/b.wav.ipk"));
  EXPECT_TRUE(Exists(root + "/empty"));  // not emptied by the walk
  EXPECT_TRUE(Exists(root + "/link"));
  EXPECT_TRUE(Exists(root + "/linked.ipk"));
  EXPECT_TRUE(Exists(elsewhere + "/song.mp3.ipk"));
  EXPECT_TRUE(Exists(root));
}

TEST(CacheFiles, ARootThatIsALinkOrMissingIsLeftAlone) {
  testsupport::TempDir dir;
  std::string real = dir.Path() + "/real";
  ASSERT_EQ(testsupport::Run("mkdir -p '" + real + "'").exitCode, 0);
  ASSERT_TRUE(testsupport::WriteFile(real + "/a.ipk", "x"));
  ASSERT_EQ(symlink(real.c_str(), (dir.Path() + "/alias").c_str()), 0);
  EXPECT_EQ(os::RemoveCacheFiles(dir.Path() + "/alias", {"ipk"}).kept, 1);
  EXPECT_TRUE(Exists(real + "/a.ipk"));
  EXPECT_EQ(os::RemoveCacheFiles(dir.Path() + "/none", {"ipk"}).kept, 1);
  EXPECT_EQ(os::RemoveCacheFiles("", {"ipk"}).kept, 1);
}

}  // namespace
