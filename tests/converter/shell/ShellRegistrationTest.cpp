// The registration's keys in a private class store, with the per-user files
// replaced by a record of the calls (their own tests are the shell library's).
#include <gtest/gtest.h>

#include <memory>

#include "converter/prefs/Preferences.h"
#include "converter/shell/ShellRegistration.h"
#include "platform/registry/RegKey.h"
#include "tests/converter/ui/RunSandbox.h"

namespace {

using Key = std::unique_ptr<CRegKey>;

class ShellRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    runsandbox::Enter(dir_, prefs_);
    files_.install = [this](const std::string& program, std::vector<std::string>* written) {
      installedFor_ = program;
      written->push_back("/home/x/.local/share/applications/sonoduct.desktop");
      return true;
    };
    files_.remove = [this](std::vector<std::string>*) {
      installedFor_.clear();
      return true;
    };
    files_.installed = [this](const std::string& program) { return installedFor_ == program; };
  }
  CShellRegistration Make(const std::string& dir) {
    CShellRegistration r(prefs_, dir + "/sonoduct", dir + "/libsonoshell.so", files_);
    r.SetReport([this](const std::string& line) { said_.push_back(line); });
    return r;
  }
  static std::string Value(const std::string& key, const char* name = "") {
    CRegKey root(HKEY_CLASSES_ROOT);
    Key k(root.GetSubKey(key.c_str()));
    std::string v;
    if (k) k->GetKeyString(name, v);
    return v;
  }
  static bool Exists(const std::string& key) {
    return CRegKey(HKEY_CLASSES_ROOT).KeyExists(key.c_str()) != 0;
  }
  static void SetValue(const std::string& key, const char* name, const char* value) {
    CRegKey root(HKEY_CLASSES_ROOT);
    Key k(root.CreateSubKey(key.c_str()));
    ASSERT_TRUE(k);
    ASSERT_TRUE(k->SetKeyString(name, value));
  }

  testsupport::TempDir dir_;
  CPreferences prefs_;
  TUserIntegration files_;
  std::string installedFor_;
  std::vector<std::string> said_;
};

TEST_F(ShellRegistration, RegisterWritesTheKeysAndAMoveNeedsARepair) {
  // Another program's type for .wav stays; a dangling old player's type for
  // .mp3 is pointed at ours, which is made with its icon.
  SetValue("OtherPlayer.wav", "", "A WAV file");
  SetValue(".wav", "", "OtherPlayer.wav");
  SetValue(".mp3", "", "Winamp.File");
  CShellRegistration reg = Make("/opt/a");
  EXPECT_EQ(reg.IsShellExtensionRegistered(), 0);
  ASSERT_EQ(reg.RegisterShellExtension(), 1);
  std::string cls = std::string("CLSID\\") + CShellRegistration::kClassId;
  EXPECT_EQ(Value(cls), "Sonoduct Shell Extension");
  EXPECT_EQ(Value(cls + "\\InProcServer32"), "/opt/a/libsonoshell.so");
  EXPECT_EQ(Value(cls + "\\InProcServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Value("*\\shellex\\ContextMenuHandlers\\SonoShellMenu"), CShellRegistration::kClassId);
  EXPECT_EQ(Value(".wav"), "OtherPlayer.wav");
  EXPECT_EQ(Value(".mp3"), "SONODUCT.FILE");
  EXPECT_EQ(Value("SONODUCT.FILE"), "Audio file convertible with Sonoduct");
  EXPECT_EQ(Value("SONODUCT.FILE\\DefaultIcon"), "/opt/a/sonoduct,0");
  for (const char* ext : {".mp2", ".mp1", ".m3u", ".pls", ".pl", ".wma"})
    EXPECT_EQ(Value(ext), "SONODUCT.FILE") << ext;
  EXPECT_EQ(reg.IsShellExtensionRegistered(), 1);
  EXPECT_EQ(installedFor_, "/opt/a/sonoduct");
  EXPECT_EQ(said_.back(), "Sonoduct is set up in the file managers' context menus.");

  // The program moved: not registered until repaired there.
  CShellRegistration moved = Make("/usr/local/bin");
  EXPECT_EQ(moved.IsShellExtensionRegistered(), 0);
  ASSERT_EQ(moved.RegisterShellExtension(), 1);
  EXPECT_EQ(moved.IsShellExtensionRegistered(), 1);
  // The menu's files gone: not registered either.
  installedFor_.clear();
  EXPECT_EQ(moved.IsShellExtensionRegistered(), 0);
}

TEST_F(ShellRegistration, UnregisterRemovesOnlyWhatIsOurs) {
  SetValue("OtherPlayer.wav", "", "A WAV file");
  SetValue("OtherPlayer.wav\\shell\\play", "", "play it");
  SetValue(".wav", "", "OtherPlayer.wav");
  CShellRegistration reg = Make("/opt/a");
  ASSERT_EQ(reg.RegisterShellExtension(), 1);
  // An earlier installation's verb on the other type, and values naming our
  // type beside others: every one of them is found.
  SetValue("OtherPlayer.wav\\shell\\SONODUCT", "", "old verb");
  for (const char* name : {"a", "b", "c"}) SetValue(".mp3", name, "SONODUCT.FILE");
  SetValue(".mp3", "keep", "Some.Other.Type");
  ASSERT_EQ(reg.UnregisterShellExtension(), 1);
  EXPECT_FALSE(Exists(std::string("CLSID\\") + CShellRegistration::kClassId));
  EXPECT_FALSE(Exists("*\\shellex\\ContextMenuHandlers\\SonoShellMenu"));
  EXPECT_FALSE(Exists("SONODUCT.FILE"));
  EXPECT_FALSE(Exists("OtherPlayer.wav\\shell\\SONODUCT"));
  EXPECT_TRUE(Exists("OtherPlayer.wav\\shell\\play"));
  EXPECT_EQ(Value(".wav"), "OtherPlayer.wav");
  EXPECT_EQ(Value(".mp3"), "");
  for (const char* name : {"a", "b", "c"}) EXPECT_EQ(Value(".mp3", name), "") << name;
  EXPECT_EQ(Value(".mp3", "keep"), "Some.Other.Type");
  EXPECT_TRUE(installedFor_.empty());
  EXPECT_EQ(reg.IsShellExtensionRegistered(), 0);
}

TEST_F(ShellRegistration, RecordedRightClickEntriesAreRemovedAndEmptyLeavesSkipped) {
  SetValue("Directory\\shell\\SonoductOld", "", "old entry");
  SetValue("Directory\\shell\\Keep", "", "someone else's");
  prefs_.AddRightClickEntry("Directory\\shell\\SonoductOld");
  prefs_.AddRightClickEntry("Directory\\shell\\");  // an empty leaf
  CShellRegistration reg = Make("/opt/a");
  EXPECT_EQ(reg.RemoveRightClickEntries(), 1);
  EXPECT_FALSE(Exists("Directory\\shell\\SonoductOld"));
  EXPECT_TRUE(Exists("Directory\\shell\\Keep"));
  EXPECT_EQ(prefs_.NumRightClickEntries(), 0);
}

}  // namespace
