#include <gtest/gtest.h>

#include "converter/options/OptionsSession.h"
#include "converter/options/WavePage.h"
#include "converter/prefs/Preferences.h"
#include "tests/converter/ui/RunSandbox.h"
#include "tests/converter/ui/ScriptedPrompter.h"

namespace {

TEST(OptionsSession, OnlyPagesTheUserOpenedAreCommitted) {
  testsupport::TempDir dir;
  CPreferences prefs;
  runsandbox::Enter(dir, prefs);
  CScriptedPrompter prompter;
  prefs.lastConversionOptionPage = kPageMp3;
  prefs.cpuSleepTime = 10;
  COptionsSession session(prefs, prompter);
  EXPECT_EQ(session.StartPage(), kPageMp3);
  session.General().state.cpuIndex = 3;
  session.Wave().cdQuality.checked = false;
  session.Wave().userSettings.checked = true;
  session.Visit(kPageMp3);
  ASSERT_TRUE(session.Ok());
  EXPECT_EQ(prefs.cpuSleepTime, 10u);  // the General page was never opened
  EXPECT_FALSE(prefs.changedFormat[kPageWave]);
  EXPECT_EQ(prefs.lastConversionOptionPage, static_cast<uint32_t>(kPageMp3));

  session.Visit(kPageGeneral);
  session.Visit(kPageWave);
  ASSERT_TRUE(session.Ok());
  EXPECT_EQ(prefs.cpuSleepTime, 100u);
  EXPECT_TRUE(prefs.changedFormat[kPageWave]);
  EXPECT_EQ(prefs.lastConversionOptionPage, static_cast<uint32_t>(kPageWave));

  // A stored page number out of range opens the General page.
  prefs.lastConversionOptionPage = 9;
  EXPECT_EQ(COptionsSession(prefs, prompter).StartPage(), kPageGeneral);
}

}  // namespace
