// The WAV and WMA pages' logic where this test program runs: beside it there
// is no WMA library, so the WMA page offers nothing.
#include <gtest/gtest.h>

#include <cstring>

#include "converter/options/OptionsSession.h"
#include "converter/options/WavePage.h"
#include "converter/options/WmaPage.h"
#include "converter/prefs/Preferences.h"
#include "tests/converter/ui/RunSandbox.h"
#include "tests/converter/ui/ScriptedPrompter.h"

namespace {

class FormatPages : public ::testing::Test {
 protected:
  void SetUp() override { runsandbox::Enter(dir_, prefs_); }
  testsupport::TempDir dir_;
  CPreferences prefs_;
  CScriptedPrompter prompter_;
};

TEST_F(FormatPages, TheWavePageCommitsTheUsersOwnSettings) {
  prefs_.cdBlockAlign = 1;
  COptionsSession session(prefs_, prompter_);
  CWavePage& wave = session.Wave();
  EXPECT_TRUE(wave.cdQuality.checked);
  EXPECT_TRUE(wave.blockAlign);
  EXPECT_FALSE(wave.rate.enabled);  // only the user's own settings open the lists
  wave.cdQuality.checked = false;
  wave.userSettings.checked = true;
  wave.QualityChanged();
  EXPECT_TRUE(wave.rate.enabled);
  ASSERT_TRUE(wave.rate.SelectValue(22050));
  wave.stereo.checked = false;
  wave.mono.checked = true;
  wave.bits16.checked = false;
  wave.bits8.checked = true;
  wave.blockAlign = false;  // belongs to CD quality: kept as it was
  session.Visit(kPageWave);
  ASSERT_TRUE(session.Ok());
  const CConv2FileFormat& f = prefs_.Format(kPageWave);
  EXPECT_EQ(f.soundQuality, SOUND_QUALITY_PRESET);
  EXPECT_EQ(f.usePreset, 0);
  EXPECT_EQ(f.nSamplesPerSec, 22050u);
  EXPECT_EQ(f.nChannels, 1);
  EXPECT_EQ(f.wBitsPerSample, 8);
  EXPECT_EQ(f.nBlockAlign, 1);
  EXPECT_EQ(f.nAvgBytesPerSec, 22050u);
  EXPECT_TRUE(prefs_.changedFormat[kPageWave]);
  EXPECT_EQ(prefs_.cdBlockAlign, 1u);
}

TEST_F(FormatPages, WithoutTheLibraryTheWmaPageChangesNothing) {
  CConv2FileFormat before = prefs_.Format(kPageWma);
  COptionsSession session(prefs_, prompter_);
  CWmaPage& wma = session.Wma();
  EXPECT_FALSE(wma.Enabled());
  wma.userMaximums = !wma.userMaximums;
  session.Visit(kPageWma);
  ASSERT_TRUE(session.Ok());
  EXPECT_EQ(std::memcmp(&before, &prefs_.Format(kPageWma), sizeof before), 0);
  EXPECT_FALSE(prefs_.changedFormat[kPageWma]);
}

}  // namespace
