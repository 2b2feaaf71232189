#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "engine/base/TempPaths.h"
#include "tests/TestSupport.h"

using testsupport::TempDir;

namespace {

// Sets the temporary folder for one test and clears it afterwards.
class TempPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = dir_.Path() + "/cache/";
    SetTempSndPath((dir_.Path() + "/cache").c_str());
  }
  void TearDown() override { SetTempSndPath(nullptr); }

  TempDir dir_;
  std::string temp_;
};

mode_t ModeOf(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(TempSndPath, SetGetAndClear) {
  SetTempSndPath("/tmp/x");
  EXPECT_EQ(GetTempSndPath(), "/tmp/x/");
  SetTempSndPath("/tmp/y/");
  EXPECT_EQ(GetTempSndPath(), "/tmp/y/");
  EXPECT_EQ(TempSndPathExists(), 1);
  char out[8];
  GetTempSndPath(out, sizeof out);
  EXPECT_STREQ(out, "/tmp/y/");
  GetTempSndPath(out, 5);  // does not fit: empty, not cut
  EXPECT_STREQ(out, "");
  SetTempSndPath("");
  EXPECT_EQ(TempSndPathExists(), 0);
  SetTempSndPath(nullptr);
  EXPECT_EQ(TempSndPathExists(), 0);
  // Without a folder a cache file lies beside its source.
  EXPECT_EQ(MakeTempPath("/m/a.mp3.ipk", true), "/m/a.mp3.ipk");
  char buf[64];
  MakeTempPath2("/m/a.mp3.ipk", buf, sizeof buf, 0);
  EXPECT_STREQ(buf, "/m/a.mp3.ipk");
}

TEST_F(TempPathsTest, MapsPathsBelowTheFolderAndMakesItsFolders) {
  EXPECT_EQ(MakeTempPath("/home/u/Music/a.mp3.ipk", false), temp_ + "home/u/Music/a.mp3.ipk");
  EXPECT_EQ(MakeTempPath("//server/share//a.wav", false), temp_ + "server/share/a.wav");
  // Characters Windows refuses are ordinary here and keep names apart.
  EXPECT_EQ(MakeTempPath("/m/a?:*|<>.mp3.ipk", false), temp_ + "m/a?:*|<>.mp3.ipk");
  struct stat st;
  EXPECT_NE(stat(temp_.c_str(), &st), 0);  // nothing made without create

  std::string made = MakeTempPath("/home/u/Music/b.mp3.isk", true);
  EXPECT_EQ(made, temp_ + "home/u/Music/b.mp3.isk");
  EXPECT_EQ(ModeOf(temp_ + "home/u/Music"), 0700u);
  EXPECT_EQ(ModeOf(temp_), 0700u);
  EXPECT_NE(stat(made.c_str(), &st), 0);  // the file itself is the caller's to write

  char out[260];
  MakeTempPath1("/home/u/Music/", "c.mp3.ipk", out, sizeof out, 0);
  EXPECT_EQ(std::string(out), temp_ + "home/u/Music/c.mp3.ipk");
}

TEST_F(TempPathsTest, NeverLeadsOutOfTheFolder) {
  EXPECT_EQ(MakeTempPath("/../../etc/passwd", false), temp_ + "%2E%2E/%2E%2E/etc/passwd");
  EXPECT_EQ(MakeTempPath("/a/./b/../c", false), temp_ + "a/b/%2E%2E/c");
  EXPECT_EQ(MakeTempPath("relative/x.ipk", false), temp_ + "relative/x.ipk");
}

TEST_F(TempPathsTest, LongComponentsAreShortenedWithAHash) {
  std::string longA(300, 'a');
  std::string longB = longA + "b";
  std::string mappedA = MakeTempPath("/m/" + longA + ".mp3.ipk", true);
  std::string mappedB = MakeTempPath("/m/" + longB + ".mp3.ipk", true);
  std::string nameA = mappedA.substr(mappedA.rfind('/') + 1);
  std::string nameB = mappedB.substr(mappedB.rfind('/') + 1);
  EXPECT_LE(nameA.size(), 255u);
  EXPECT_NE(nameA, nameB);
  EXPECT_EQ(nameA.substr(nameA.size() - 4), ".ipk");
  EXPECT_EQ(MakeTempPath("/m/" + longA + ".mp3.ipk", false), mappedA);  // stable
  // The shortened names can really be created.
  EXPECT_TRUE(testsupport::WriteFile(mappedA, "x"));
  EXPECT_TRUE(testsupport::WriteFile(mappedB, "y"));
  // A long folder name is shortened too, and made.
  std::string deep = MakeTempPath("/" + std::string(400, 'd') + "/f.ipk", true);
  EXPECT_TRUE(testsupport::WriteFile(deep, "z"));
  // Multi-byte characters are never split.
  std::string accents;
  for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";
  std::string u = MakeTempPath("/" + accents, false);
  std::string name = u.substr(u.rfind('/') + 1);
  EXPECT_LE(name.size(), 255u);
  EXPECT_EQ(name.find('~') % 2, 0u);
}

TEST_F(TempPathsTest, BufferFormFallsBackToTheFileName) {
  char out[80];
  std::string longPath = "/" + std::string(100, 'x') + "/song.mp3.ipk";
  MakeTempPath2(longPath.c_str(), out, sizeof out, 1);
  EXPECT_EQ(std::string(out), temp_ + "song.mp3.ipk");
  EXPECT_EQ(ModeOf(temp_), 0700u);
  // A name too long even alone loses characters from its front, 8 bytes stay free.
  size_t room = sizeof out - 8 - temp_.size();
  std::string longName = "/" + std::string(100, 'n') + "tail.ipk";
  MakeTempPath2(longName.c_str(), out, sizeof out, 0);
  EXPECT_EQ(std::string(out), temp_ + longName.substr(longName.size() - room));
  EXPECT_LE(std::strlen(out), sizeof out - 8);
  // No file name at all: "tmp" and a tick count.
  std::string folderOnly = "/" + std::string(100, 'f') + "/";
  MakeTempPath2(folderOnly.c_str(), out, sizeof out, 0);
  EXPECT_EQ(std::string(out).rfind(temp_ + "tmp", 0), 0u);
  // Not even the folder fits.
  char tiny[8];
  MakeTempPath2("/a/b", tiny, sizeof tiny, 0);
  EXPECT_STREQ(tiny, "");
}

TEST(TempPaths, DefaultFolderIsBelowTheCacheHome) {
  TempDir dir;
  const char* old = std::getenv("XDG_CACHE_HOME");
  std::string saved = old != nullptr ? old : "";
  setenv("XDG_CACHE_HOME", (dir.Path() + "/c").c_str(), 1);
  EXPECT_EQ(DefaultTempSndPath(), dir.Path() + "/c/sonoduct/");
  EXPECT_EQ(ModeOf(dir.Path() + "/c/sonoduct"), 0700u);
  if (old != nullptr)
    setenv("XDG_CACHE_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CACHE_HOME");
}

TEST(TempPaths, FileNameAfterTheLastSeparator) {
  char out[32] = "untouched";
  GetFileName("no-separator.wav", out);
  EXPECT_STREQ(out, "untouched");
  GetFileName("/a/b/c.wav", out);
  EXPECT_STREQ(out, "c.wav");
  GetFileName("/root.wav", out);
  EXPECT_STREQ(out, "root.wav");
  GetFileName("/folder/", out);
  EXPECT_STREQ(out, "");
}

}  // namespace
