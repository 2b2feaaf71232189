#include <gtest/gtest.h>

#include <cstdlib>

#include "converter/prefs/Preferences.h"
#include "platform/registry/RegKey.h"
#include "tests/TestSupport.h"

namespace {

class Preferences : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (dir_.Path() + "/config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dir_.Path() + "/cache").c_str(), 1);
    setenv("HOME", dir_.Path().c_str(), 1);
  }
  static CRegKey* Key(TRegRoot root = HKEY_CURRENT_USER) {
    CRegKey base(root);
    return base.CreateSubKey(CPreferences::kKeyPath);
  }
  testsupport::TempDir dir_;
};

TEST_F(Preferences, EmptyStoreGivesDefaultsAndTheFirstSaveFillsIt) {
  CPreferences prefs;
  ASSERT_EQ(prefs.Load(), 1);
  EXPECT_EQ(prefs.cpuSleepTime, 50u);
  EXPECT_EQ(prefs.normalizeLevel, 97u);
  EXPECT_EQ(prefs.lastConversionType, 3u);
  EXPECT_EQ(prefs.tempDirectory, dir_.Path() + "/cache/sonoduct/");
  EXPECT_EQ(prefs.DefaultDir().rfind(dir_.Path() + "/", 0), 0u);
  EXPECT_EQ(prefs.DefaultDir().back(), '/');
  int32_t point[2];
  EXPECT_FALSE(prefs.GetLastWindowPoint(point));
  ASSERT_EQ(prefs.SaveChanged(HKEY_CURRENT_USER), 1);
  CRegKey* key = Key();
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->GetKeyNum("NormalizeLevel"), 97u);
  EXPECT_TRUE(key->SubKeyExists("LastWindowPoint"));
  CRegKey* mp3 = key->GetSubKey("MP3EncoderOptions");
  ASSERT_NE(mp3, nullptr);
  EXPECT_EQ(mp3->GetKeyNum("ConvertToTonalisPreset"), 9u);
  EXPECT_TRUE(mp3->SubKeyExists("PreferredMP3Encoder"));
  DeleteRegKey(&mp3);
  DeleteRegKey(&key);
}

TEST_F(Preferences, SavingAtExitKeepsWhatAnotherProcessSaved) {
  CPreferences first;
  first.Load();
  first.Save(HKEY_CURRENT_USER);
  first.Load();
  // Meanwhile the Options sheet, started elsewhere, saves other values.
  auto r = testsupport::Run(testsupport::BinPath("reg") +
                                " set 'HKCU\\SOFTWARE\\Quillon\\Sonoduct' NormalizeLevel dword 85",
                            {"XDG_CONFIG_HOME=" + dir_.Path() + "/config"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  first.cpuSleepTime = 0;
  first.Format(0).nSamplesPerSec = 22050;
  ASSERT_EQ(first.SaveChanged(HKEY_CURRENT_USER), 1);
  CRegKey* key = Key();
  EXPECT_EQ(key->GetKeyNum("NormalizeLevel"), 85u);
  EXPECT_EQ(key->GetKeyNum("CPUSleepTime"), 0u);
  CPreferences again;
  again.Load();
  EXPECT_EQ(again.Format(0).nSamplesPerSec, 22050u);
  EXPECT_EQ(again.normalizeLevel, 85u);
  DeleteRegKey(&key);
}

TEST_F(Preferences, OlderQualityValueAndDirectories) {
  CRegKey* key = Key();
  ASSERT_NE(key, nullptr);
  key->SetKeyNum("ConvertToCDQuality", 0);  // most natural
  CRegKey* wma = key->CreateSubKey("WMAEncoderOptions");
  CConv2FileFormat(kFormatTagWma).WritePreferences(wma);
  DeleteRegKey(&wma);
  key->SetKeyString("TempDirectory", "/tmp/x");
  key->SetKeyString("DefaultDir", "/music/out//");
  CPreferences prefs;
  prefs.Load();
  EXPECT_EQ(prefs.Format(0).soundQuality, SOUND_QUALITY_MOST_NATURAL);
  EXPECT_EQ(prefs.Format(1).soundQuality, SOUND_QUALITY_USER_MAXIMUMS);  // the MP3 map of 0
  EXPECT_EQ(prefs.Format(2).soundQuality, SOUND_QUALITY_USER_MAXIMUMS);  // stored: untouched
  EXPECT_FALSE(key->SubKeyExists("ConvertToCDQuality"));
  EXPECT_EQ(prefs.tempDirectory, "/tmp/x/");
  EXPECT_EQ(prefs.TargetPathFor("song.wav"), "/music/out/song.wav");
  EXPECT_EQ(prefs.TargetPathFor("/song.wav"), "/music/out/song.wav");
  EXPECT_EQ(prefs.cdBlockAlign, 0u);  // only CD-quality WAV keeps it
  key->SetKeyString("TempDirectory", "/tmp/y/");
  CPreferences other;
  other.Load();
  EXPECT_EQ(other.tempDirectory, "/tmp/y/");
  char small[8];
  EXPECT_TRUE(prefs.CopyDefaultDir(small, sizeof small));
  EXPECT_STREQ(small, "/music/");
  DeleteRegKey(&key);
}

TEST_F(Preferences, MachineKeyMovesToTheUserOnce) {
  CRegKey* machine = Key(HKEY_LOCAL_MACHINE);
  ASSERT_NE(machine, nullptr);
  machine->SetKeyNum("PlaySound", 0);
  machine->SetKeyNum("NumRightClickEntries", 2);
  machine->SetKeyString("RightClickEntry0", "a\\b");
  machine->SetKeyString("RightClickEntry1", "c\\d");
  DeleteRegKey(&machine);
  CPreferences prefs;
  prefs.Load();
  ASSERT_EQ(prefs.MoveLocalMachinePreferences(), 1);
  EXPECT_EQ(prefs.playSound, 0u);
  EXPECT_EQ(prefs.NumRightClickEntries(), 2);
  prefs.AddRightClickEntry("a\\b");
  EXPECT_EQ(prefs.NumRightClickEntries(), 2);
  CRegKey base(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(base.KeyExists(CPreferences::kKeyPath));
  EXPECT_EQ(prefs.SaveLastConversionType(0, HKEY_CURRENT_USER), 1);
  CRegKey* user = Key();
  EXPECT_EQ(user->GetKeyNum("LastConversionType"), 0u);
  DeleteRegKey(&user);
}

}  // namespace
