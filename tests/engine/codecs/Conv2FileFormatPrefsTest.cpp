#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/codecs/Conv2FileFormat.h"
#include "platform/registry/RegKey.h"
#include "tests/TestSupport.h"

namespace {

class Conv2FileFormatPrefs : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1); }
  testsupport::TempDir dir_;
};

TEST_F(Conv2FileFormatPrefs, WavRecordsStoreNoMpegValuesAndReadBack) {
  CRegKey root(HKEY_CURRENT_USER);
  CRegKey* key = root.CreateSubKey("SOFTWARE\\Quillon\\Test\\WaveEncoderOptions");
  ASSERT_NE(key, nullptr);
  CConv2FileFormat wav;
  wav.nSamplesPerSec = 22050;
  wav.nChannels = 1;
  wav.SetSoundQuality(SOUND_QUALITY_MOST_NATURAL);
  wav.WritePreferences(key);
  EXPECT_TRUE(key->SubKeyExists("ConvertToSamplesPerSec"));
  EXPECT_FALSE(key->SubKeyExists("ConvertToEnableVBR"));
  EXPECT_FALSE(key->SubKeyExists("ConvertToNoRes"));
  CConv2FileFormat back;
  EXPECT_TRUE(back.ReadPreferences(key));
  EXPECT_EQ(back.nSamplesPerSec, 22050u);
  EXPECT_EQ(back.nChannels, 1);
  EXPECT_EQ(back.nBlockAlign, 2);
  EXPECT_EQ(back.soundQuality, SOUND_QUALITY_MOST_NATURAL);

  CRegKey* mp3Key = root.CreateSubKey("SOFTWARE\\Quillon\\Test\\MP3EncoderOptions");
  CConv2FileFormat mp3(kFormatTagMp3);
  mp3.enableVBR = 1;
  mp3.vbrQuality = 4;
  mp3.WritePreferences(mp3Key);
  CConv2FileFormat mp3Back(kFormatTagMp3);
  EXPECT_TRUE(mp3Back.ReadPreferences(mp3Key));
  EXPECT_EQ(mp3Back.enableVBR, 1);
  EXPECT_EQ(mp3Back.vbrQuality, 4);
  DeleteRegKey(&key);
  DeleteRegKey(&mp3Key);
}

TEST_F(Conv2FileFormatPrefs, MissingPresetSwitchAndBadStoredShapes) {
  CRegKey root(HKEY_CURRENT_USER);
  CRegKey* key = root.CreateSubKey("SOFTWARE\\Quillon\\Test\\A");
  ASSERT_NE(key, nullptr);
  key->SetKeyNum("ConvertToTonalisPreset", 0);
  CConv2FileFormat mp3(kFormatTagMp3);
  mp3.ReadPreferences(key);
  EXPECT_EQ(mp3.preset, 0);
  EXPECT_EQ(mp3.usePreset, 0);

  // 24-bit and 7 channels cannot be written: the CD defaults stand in.
  key->SetKeyNum("ConvertToBitsPerSample", 24);
  key->SetKeyNum("ConvertToChannels", 7);
  CConv2FileFormat wav;
  EXPECT_FALSE(wav.ReadPreferences(key));
  EXPECT_EQ(wav.wBitsPerSample, 16);
  EXPECT_EQ(wav.nChannels, 2);
  EXPECT_EQ(wav.nSamplesPerSec, 44100u);
  EXPECT_EQ(wav.cbSize, 94);
  DeleteRegKey(&key);
}

}  // namespace
