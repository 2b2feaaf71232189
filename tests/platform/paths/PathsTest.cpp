#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths/Paths.h"
#include "platform/paths/ProgramDirectory.h"
#include "tests/TestSupport.h"

using testsupport::TempDir;
using testsupport::WriteFile;

TEST(Paths, DirectoryAndFileNameParts) {
  EXPECT_EQ(ExtractDirectory("/music/a/song.mp3"), "/music/a/");
  EXPECT_EQ(ExtractDirectory("/music/a/"), "/music/a/");
  EXPECT_EQ(ExtractDirectory("/song.mp3"), "/");
  EXPECT_EQ(ExtractDirectory("song.mp3"), "");
  EXPECT_EQ(ExtractFileName("/music/a/song.mp3"), "song.mp3");
  EXPECT_EQ(ExtractFileName("/music/a/"), "");
  EXPECT_EQ(ExtractFileName("song"), "song");
  EXPECT_EQ(ExtractFileName("we:ird*name?.wav"), "we:ird*name?.wav");  // ordinary characters
}

TEST(Paths, Extensions) {
  struct Case {
    const char* in;
    const char* cut;
  } cases[] = {{"song.mp3", "song."},
               {"/a.b/song", "/a.b/song"},
               {"/a/.config", "/a/.config"},
               {"/a/.x.wav", "/a/.x."},
               {"archive.tar.gz", "archive.tar."},
               {"trailing.", "trailing."},
               {"", ""}};
  for (const auto& c : cases) {
    std::string s = c.in;
    RemoveExtensionFromFile(s);
    EXPECT_EQ(s, c.cut) << c.in;
  }
  EXPECT_TRUE(HasFileExtension("/x/Song.MP3", "mp3"));
  EXPECT_TRUE(HasFileExtension("/x/Song.wav", "WAV"));
  EXPECT_TRUE(HasFileExtension("/x/Song.wav", ".wav"));
  EXPECT_FALSE(HasFileExtension("/x/Song.wav2", "wav"));
  EXPECT_FALSE(HasFileExtension("/x/Songwav", "wav"));
  EXPECT_FALSE(HasFileExtension("/x.wav/Song", "wav"));
  EXPECT_FALSE(HasFileExtension("/x/.wav", "wav"));  // a dot file has no extension
  EXPECT_FALSE(HasFileExtension("/x/Song.", ""));
}

TEST(Paths, LexicalNormalisation) {
  EXPECT_EQ(NormalizePath("/a//b/./c/../d"), "/a/b/d");
  EXPECT_EQ(NormalizePath("/../../x"), "/x");
  EXPECT_EQ(NormalizePath("/a/b/"), "/a/b/");
  EXPECT_EQ(NormalizePath("/"), "/");
  EXPECT_EQ(NormalizePath("a/../../b"), "../b");
  EXPECT_EQ(NormalizePath("./"), ".");
  EXPECT_TRUE(IsRelativePath("a/b"));
  EXPECT_TRUE(IsRelativePath("./a"));
  EXPECT_FALSE(IsRelativePath("/a"));

  EXPECT_EQ(RelativeToAbsolute("../b/c.wav", "/a/d/"), "/a/b/c.wav");
  EXPECT_EQ(RelativeToAbsolute("c.wav", "/a/d"), "/a/d/c.wav");
  EXPECT_EQ(RelativeToAbsolute("/x/./y", "/a"), "/x/y");
  EXPECT_EQ(AbsoluteToRelative("/a/b/c.wav", "/a/d/"), "../b/c.wav");
  EXPECT_EQ(AbsoluteToRelative("/a/d/e/c.wav", "/a/d"), "e/c.wav");
  EXPECT_EQ(AbsoluteToRelative("/a/d", "/a/d/"), ".");
  EXPECT_EQ(AbsoluteToRelative("/x", "/a/b/c"), "../../../x");
  // Names that only share a prefix are different folders.
  EXPECT_EQ(AbsoluteToRelative("/a/bc/f", "/a/b"), "../bc/f");
  for (const char* p : {"/a/b/c.wav", "/x", "/a/d/e/f"})
    EXPECT_EQ(RelativeToAbsolute(AbsoluteToRelative(p, "/a/d/"), "/a/d/"), p);

  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(MakeAbsolute("x/../y.wav"), NormalizePath(std::string(cwd) + "/y.wav"));
  EXPECT_EQ(RelativeToAbsolute("y.wav", ""), MakeAbsolute("y.wav"));
}

TEST(Paths, FileSystemQueries) {
  TempDir dir;
  std::string file = dir.File("f.wav");
  ASSERT_TRUE(WriteFile(file, "x"));
  EXPECT_TRUE(DoesFileExist(file));
  EXPECT_FALSE(DoesFileExist(dir.Path()));
  EXPECT_FALSE(DoesFileExist(dir.File("none")));
  EXPECT_FALSE(DoesFileExist(""));

  // The same file under other spellings and through a link.
  ASSERT_EQ(symlink(file.c_str(), dir.File("link").c_str()), 0);
  EXPECT_TRUE(SameFile(file, dir.Path() + "//./f.wav"));
  EXPECT_TRUE(SameFile(file, dir.File("link")));
  ASSERT_TRUE(WriteFile(dir.File("g.wav"), "x"));
  EXPECT_FALSE(SameFile(file, dir.File("g.wav")));
  EXPECT_FALSE(SameFile(file, dir.File("none")));

  // Paths still to be created are judged by their nearest existing folder.
  EXPECT_TRUE(HasSameDrive(file, dir.File("not/yet/made.wav")));
  EXPECT_TRUE(HasSameDrive(dir.File("a"), dir.Path() + "/"));
  struct stat tmp, proc;
  ASSERT_EQ(stat(dir.Path().c_str(), &tmp), 0);
  ASSERT_EQ(stat("/proc/self", &proc), 0);
  if (tmp.st_dev != proc.st_dev) {
    EXPECT_FALSE(HasSameDrive(file, "/proc/self/status"));
  }
}

TEST(Paths, ProgramDirectoryHoldsTheRunningProgram) {
  std::string dir = ProgramDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_FALSE(IsRelativePath(dir));
  EXPECT_TRUE(SameFile(ProgramPath(), "/proc/self/exe"));
  EXPECT_EQ(ExtractDirectory(ProgramPath()), dir);
}
