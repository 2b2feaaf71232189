#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/TestSupport.h"
#include "utilities/files/Directories.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

bool IsDir(const std::string& p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_;
  std::string old_;
};

TEST(CreateMultiLevelDir, MakesEveryLevelEndingInASeparator) {
  TempDir dir;
  EXPECT_NE(CreateMultiLevelDir((dir.Path() + "/a/b/").c_str()), 0);
  EXPECT_TRUE(IsDir(dir.Path() + "/a/b"));
  EXPECT_NE(CreateMultiLevelDir((dir.Path() + "/c//d").c_str()), 0);
  EXPECT_TRUE(IsDir(dir.Path() + "/c"));
  EXPECT_FALSE(IsDir(dir.Path() + "/c/d"));
  EXPECT_NE(CreateMultiLevelDir((dir.Path() + "/a/b/").c_str()), 0);  // nothing to do
  EXPECT_EQ(CreateMultiLevelDir("relative/path/"), 0);
  EXPECT_EQ(CreateMultiLevelDir(nullptr), 0);
  ASSERT_TRUE(WriteFile(dir.File("file"), "x"));
  EXPECT_EQ(CreateMultiLevelDir((dir.Path() + "/file/sub/").c_str()), 0);
}

TEST(CreateMultiLevelDir, ConcurrentCreatorsAllSucceed) {
  TempDir dir;
  std::string tree = dir.Path() + "/x/y/z/w/v/u/t/";
  for (int round = 0; round < 5; ++round) {
    std::string path = tree + std::to_string(round) + "/deeper/";
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
      pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) _exit(CreateMultiLevelDir(path.c_str()) != 0 ? 0 : 1);
      children.push_back(pid);
    }
    std::vector<int> results(6, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
      threads.emplace_back([&, t] { results[t] = CreateMultiLevelDir(path.c_str()); });
    for (auto& t : threads) t.join();
    for (int r : results) EXPECT_NE(r, 0);
    for (pid_t pid : children) {
      int status = 0;
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_TRUE(IsDir(path));
  }
}

TEST(Directories, ValidityLongNamesAndSubfolders) {
  TempDir dir;
  ASSERT_TRUE(WriteFile(dir.File("f.wav"), "x"));
  EXPECT_EQ(IsValidDirectory(dir.Path().c_str()), 1);
  EXPECT_EQ(IsValidDirectory((dir.Path() + "/").c_str()), 1);
  EXPECT_EQ(IsValidDirectory(dir.File("f.wav").c_str()), 0);
  EXPECT_EQ(IsValidDirectory(dir.File("none").c_str()), 0);
  EXPECT_EQ(IsValidDirectory(static_cast<const char*>(nullptr)), 0);

  char out[512];
  GetLongPathNameSafe(dir.Path().c_str(), out, sizeof out);
  EXPECT_EQ(std::string(out), dir.Path() + "/");
  GetLongPathNameSafe(dir.File("f.wav").c_str(), out, sizeof out);
  EXPECT_EQ(std::string(out), dir.File("f.wav"));
  GetLongPathNameSafe(dir.File("none").c_str(), out, sizeof out);
  EXPECT_STREQ(out, "");
  GetLongPathNameSafe(dir.File("f.wav").c_str(), out, 8);  // does not fit: empty, not cut
  EXPECT_STREQ(out, "");

  std::string sub = dir.Path() + "/";
  EXPECT_EQ(HasSubDir(sub.c_str(), out), 0);
  ASSERT_EQ(mkdir(dir.File(".hidden").c_str(), 0700), 0);
  EXPECT_EQ(HasSubDir(sub.c_str(), out), 0);
  EXPECT_STREQ(out, "");
  ASSERT_EQ(mkdir(dir.File("zeta").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(dir.File("alpha").c_str(), 0700), 0);
  EXPECT_EQ(HasSubDir(sub.c_str(), out), 1);
  EXPECT_STREQ(out, "alpha");
}

TEST(Directories, ExeDirectoryEndsWithSeparator) {
  char out[4096];
  ASSERT_EQ(GetExeDirectory(out, sizeof out), 1);
  std::string dir = out;
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(IsDir(dir));
  EXPECT_EQ(GetExeDirectory(out, 3), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(GetExeDirectory(nullptr, 10), 0);
}

TEST(Directories, SpecialFoldersFollowXdgUserDirs) {
  TempDir dir;
  ScopedEnv home("HOME", dir.Path());
  ScopedEnv config("XDG_CONFIG_HOME", dir.Path() + "/cfg");
  ASSERT_EQ(mkdir((dir.Path() + "/cfg").c_str(), 0700), 0);
  ASSERT_TRUE(WriteFile(dir.Path() + "/cfg/user-dirs.dirs",
                        "# written by xdg-user-dirs-update\n"
                        "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n"
                        "XDG_DESKTOP_DIR=\"$HOME/\"\n"
                        "XDG_DOCUMENTS_DIR=\"$HOME/plain-file/docs\"\n"));
  ASSERT_TRUE(WriteFile(dir.File("plain-file"), "x"));
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_MYMUSIC), dir.Path() + "/Tunes");
  // Set to the home directory itself means disabled: the default applies.
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY), dir.Path() + "/Desktop");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_PROFILE), dir.Path());
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), dir.Path() + "/cfg");
  EXPECT_EQ(GetSpecialFolderPath(12345), "");
  char small[8];
  GetSpecialFolderPath(small, sizeof small, CSIDL_MYMUSIC);
  EXPECT_STREQ(small, "");

  // Documents that cannot be made fall back to the home directory.
  char out[512];
  GetMyDocumentsPath(out, sizeof out);
  EXPECT_EQ(std::string(out), dir.Path());
  // Without the entry, ~/Documents is made.
  ASSERT_TRUE(WriteFile(dir.Path() + "/cfg/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n"));
  GetMyDocumentsPath(out, sizeof out);
  EXPECT_EQ(std::string(out), dir.Path() + "/Documents");
  EXPECT_TRUE(IsDir(dir.Path() + "/Documents"));
}

}  // namespace
