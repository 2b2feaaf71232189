// The General page's logic: what it shows of the stored settings, what OK
// commits (only what changed), the folder checks and the temporary files.
#include <gtest/gtest.h>

#include "converter/options/GeneralPage.h"
#include "converter/prefs/Preferences.h"
#include "engine/base/EngineGlobals.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/RunSandbox.h"
#include "tests/converter/ui/ScriptedPrompter.h"

namespace {

class GeneralPage : public ::testing::Test {
 protected:
  void SetUp() override { runsandbox::Enter(dir_, prefs_); }
  testsupport::TempDir dir_;
  CPreferences prefs_;
  CScriptedPrompter prompter_;
};

TEST_F(GeneralPage, ShowsTheStoredValuesAndNearestEntriesForValuesNoListHolds) {
  prefs_.normalizeLevel = 97;
  prefs_.partialSongThreshold = 12;
  prefs_.cpuSleepTime = 250;
  CGeneralPage page(prefs_, prompter_);
  EXPECT_EQ(page.state.levelIndex, 3);
  EXPECT_EQ(CGeneralPage::LevelTexts()[3], " 97%");
  EXPECT_EQ(page.state.thresholdIndex, 88);
  EXPECT_EQ(CGeneralPage::CpuTexts()[page.state.cpuIndex], "Pause 250 ms after each block");
  EXPECT_EQ(page.state.defaultDir, prefs_.defaultDir);
  EXPECT_FALSE(page.LevelEnabled());  // the sandbox turns normalising off

  prefs_.normalizeLevel = 75;  // below the list: its last entry
  prefs_.partialSongThreshold = 300;
  prefs_.cpuSleepTime = 10;  // between two entries: the nearer
  CGeneralPage odd(prefs_, prompter_);
  EXPECT_EQ(odd.state.levelIndex, 20);
  EXPECT_EQ(odd.state.thresholdIndex, 0);
  EXPECT_EQ(odd.state.cpuIndex, 0);
  // OK without a change keeps every stored value, also those no list holds.
  EXPECT_TRUE(odd.Commit());
  EXPECT_EQ(prefs_.normalizeLevel, 75u);
  EXPECT_EQ(prefs_.partialSongThreshold, 300u);
  EXPECT_EQ(prefs_.cpuSleepTime, 10u);
  EXPECT_FALSE(prefs_.changedNormalizeTrim);
}

TEST_F(GeneralPage, OkCommitsWhatChanged) {
  CGeneralPage page(prefs_, prompter_);
  page.SetNormalize(true);
  page.state.levelIndex = 5;
  page.state.cpuIndex = 7;
  page.state.playSound = true;
  page.state.thresholdIndex = 70;
  ASSERT_TRUE(page.Commit());
  EXPECT_EQ(prefs_.normalizeVolume, 1u);
  EXPECT_EQ(prefs_.normalizeLevel, 95u);
  EXPECT_EQ(prefs_.cpuSleepTime, 3000u);
  EXPECT_EQ(prefs_.playSound, 1u);
  EXPECT_EQ(prefs_.partialSongThreshold, 30u);
  EXPECT_TRUE(prefs_.changedNormalizeTrim);
  // A list with nothing selected commits nothing.
  page.state.cpuIndex = -1;
  ASSERT_TRUE(page.Commit());
  EXPECT_EQ(prefs_.cpuSleepTime, 3000u);
}

TEST_F(GeneralPage, FilesAtOnceAndExactMp3LengthsAreCommittedWhenChanged) {
  const std::vector<std::string> texts = CGeneralPage::ParallelTexts();
  ASSERT_EQ(texts.size(), 9u);
  EXPECT_EQ(texts[0], "One per processor core");
  EXPECT_EQ(texts[1], "1 file");
  EXPECT_EQ(texts[8], "8 files");
  prefs_.parallelConversions = 20;  // more than the list holds: its last entry, kept
  CGeneralPage page(prefs_, prompter_);
  EXPECT_EQ(page.state.parallelIndex, 8);
  EXPECT_TRUE(page.state.gaplessMp3);
  ASSERT_TRUE(page.Commit());
  EXPECT_EQ(prefs_.parallelConversions, 20u);
  page.state.parallelIndex = 0;
  page.state.gaplessMp3 = false;
  ASSERT_TRUE(page.Commit());
  EXPECT_EQ(prefs_.parallelConversions, 0u);
  EXPECT_EQ(prefs_.gaplessMP3, 0u);
  EXPECT_EQ(GetGaplessMP3Decoding(), 0);  // the engine follows at once
  page.state.gaplessMp3 = true;
  ASSERT_TRUE(page.Commit());
  EXPECT_EQ(GetGaplessMP3Decoding(), 1);
}

TEST_F(GeneralPage, NormalisingExplainsItselfOnce) {
  prefs_.normalizeWarningDisplayed = 0;
  CGeneralPage page(prefs_, prompter_);
  page.SetNormalize(true);
  page.SetNormalize(false);
  page.SetNormalize(true);
  ASSERT_EQ(prompter_.Shown().size(), 1u);
  EXPECT_EQ(prompter_.Shown()[0].resource, kPromptInfo);
  EXPECT_EQ(prefs_.normalizeWarningDisplayed, 1u);
}

TEST_F(GeneralPage, FoldersAreCheckedAndMadeWhenTheUserAgrees) {
  std::string existing = dir_.Path() + "/existing";
  ASSERT_EQ(testsupport::Run("mkdir '" + existing + "'").exitCode, 0);
  CGeneralPage page(prefs_, prompter_);
  page.state.defaultDir = existing;  // typed without its separator
  ASSERT_TRUE(page.Commit());
  EXPECT_EQ(prefs_.defaultDir, existing + "/");
  EXPECT_TRUE(prefs_.changedNormalizeTrim);

  // Declining to make a missing folder puts the old one back and stays.
  std::string missing = dir_.Path() + "/new/deeper";
  page.state.defaultDir = missing;
  prompter_.answers = {kButtonSkip};
  EXPECT_FALSE(page.Commit());
  EXPECT_EQ(page.state.defaultDir, existing + "/");
  EXPECT_EQ(prompter_.Shown().back().title, "Create Folder?");
  EXPECT_FALSE(runsandbox::Exists(missing));
  // Agreeing makes every level.
  page.state.defaultDir = missing;
  prompter_.answers = {kButtonYes};
  EXPECT_TRUE(page.Commit());
  EXPECT_TRUE(runsandbox::Exists(missing));
  EXPECT_EQ(prefs_.defaultDir, missing + "/");

  // "./" puts each file beside its source; other relative or empty names are refused.
  page.state.defaultDir = "./";
  EXPECT_TRUE(page.Commit());
  EXPECT_EQ(prefs_.defaultDir, "./");
  for (const char* bad : {"", "music"}) {
    page.state.defaultDir = bad;
    EXPECT_FALSE(page.Commit()) << bad;
    EXPECT_EQ(prompter_.Shown().back().text, "Please enter a folder for the converted files.");
  }
  page.state.defaultDir = "./";
  page.state.tempDir = "cache";
  EXPECT_FALSE(page.Commit());
  EXPECT_EQ(prompter_.Shown().back().text, "Please enter a folder for temporary files.");
  page.state.tempDir = std::string(5000, 'x');
  EXPECT_FALSE(page.Commit());
  EXPECT_EQ(prompter_.Shown().back().text, "The name of the temporary folder is too long.");
}

TEST_F(GeneralPage, DeletingTemporaryFilesTouchesOnlyTheFolderInUse) {
  std::string inUse = dir_.Path() + "/cache-in-use";
  std::string typed = dir_.Path() + "/typed";
  ASSERT_EQ(testsupport::Run("mkdir -p '" + inUse + "/a' '" + typed + "'").exitCode, 0);
  ASSERT_TRUE(testsupport::WriteFile(inUse + "/a/song.mp3.ipk", "x"));
  ASSERT_TRUE(testsupport::WriteFile(typed + "/other.ipk", "x"));
  prefs_.tempDirectory = inUse + "/";
  CGeneralPage page(prefs_, prompter_);
  page.state.tempDir = typed;  // typed, not committed
  prompter_.answers = {kButtonSkip};
  page.DeleteTemporaryFiles();
  EXPECT_TRUE(runsandbox::Exists(inUse + "/a/song.mp3.ipk"));
  ASSERT_EQ(prompter_.Shown().size(), 1u);
  EXPECT_NE(prompter_.Shown()[0].text.find(inUse + "/"), std::string::npos);
  prompter_.answers = {kButtonYes};
  page.DeleteTemporaryFiles();
  EXPECT_FALSE(runsandbox::Exists(inUse + "/a"));
  EXPECT_TRUE(runsandbox::Exists(typed + "/other.ipk"));
}

}  // namespace
