// The overall progress of a conversion run in this process: every file
// tried counts whole, whatever became of it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "converter/prefs/Preferences.h"
#include "converter/run/ConversionRun.h"
#include "tests/TestSupport.h"
#include "utilities/strings/StringFile.h"

namespace {

TEST(RunProgress, ReachesTheWholeWhenASourceGoesBeforeItsTurn) {
  if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
  testsupport::TempDir dir;
  setenv("XDG_CONFIG_HOME", (dir.Path() + "/config").c_str(), 1);
  setenv("XDG_CACHE_HOME", (dir.Path() + "/cache").c_str(), 1);
  setenv("HOME", dir.Path().c_str(), 1);
  std::string strings = testsupport::SourceDir() + "/converter/sonoduct-strings.ini";
  SetStringFile(strings.c_str());
  CPreferences prefs;
  prefs.defaultDir = dir.Path() + "/out/";
  prefs.cpuSleepTime = 0;
  prefs.playSound = 0;
  prefs.warnAboutIncompleteSongs = 0;  // no window to ask
  std::string kept = dir.File("kept.wav"), gone = dir.File("gone.wav");
  for (const std::string& path : {kept, gone}) {
    auto r = testsupport::Run("sox -n -r 22050 -c 1 -b 16 '" + path + "' synth 0.3 sine 440");
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
  CConversionRun run(prefs, nullptr, 0);
  ASSERT_EQ(run.AddFile(kept, 0), 1);
  ASSERT_EQ(run.AddFile(gone, 0), 1);
  ASSERT_EQ(unlink(gone.c_str()), 0);
  ASSERT_EQ(run.Start(), 1);
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (run.ConvertedCount() + run.FailedCount() < 2 || !run.Idle()) {
    ASSERT_LT(std::chrono::steady_clock::now(), end);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(run.Finish());
  EXPECT_EQ(run.ConvertedCount(), 1);
  EXPECT_EQ(run.FailedCount(), 1);
  EXPECT_DOUBLE_EQ(run.SourceFraction(), 1.0);
}

}  // namespace
