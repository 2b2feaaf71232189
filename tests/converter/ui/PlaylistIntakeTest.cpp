// Playlists through the run's intake: the choice of entries with its pages
// and space estimate, what is queued, what is reported, and a playlist handed
// off while a run goes on.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "converter/instance/InstanceChannel.h"
#include "converter/prefs/Preferences.h"
#include "converter/ui/ErrorLog.h"
#include "converter/ui/PlaylistChoice.h"
#include "converter/ui/ProgressController.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/RunSandbox.h"
#include "tests/converter/ui/ScriptedPrompter.h"

namespace {

using namespace std::chrono_literals;

class NoView : public IProgressView {
 public:
  void ShowNamed(const TNamedTarget&) override {}
  void ShowProgress(const TProgressTexts&) override {}
  void ShowNotice(const std::string&) override {}
};

class PlaylistIntake : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
    out_ = runsandbox::Enter(dir_, prefs_);
    ErrorLog().Clear();
    ASSERT_TRUE(channel_.Open());
  }
  std::string Tone(const std::string& name, double seconds = 0.3) {
    return runsandbox::Tone(dir_, name, seconds);
  }
  std::string List(const std::string& name, const std::string& text) {
    std::string path = dir_.File(name);
    EXPECT_TRUE(testsupport::WriteFile(path, text));
    return path;
  }
  bool RunToEnd(CProgressController& c) {
    auto end = std::chrono::steady_clock::now() + 30s;
    while (c.Step()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }

  testsupport::TempDir dir_;
  std::string out_;
  CPreferences prefs_;
  CInstanceChannel channel_;
  CScriptedPrompter prompter_;
  NoView view_;
};

TEST_F(PlaylistIntake, TheChoiceHasPagesOfTenAndFollowsTheSelection) {
  std::vector<std::string> entries;
  for (int i = 0; i < 25; ++i) entries.push_back(Tone("t" + std::to_string(i) + ".wav", 0.1));
  entries[3] = dir_.File("gone.wav");
  CPlaylistChoice choice("list.m3u", 0, entries, prefs_);
  EXPECT_EQ(choice.First(), 0);
  EXPECT_FALSE(choice.CanGoBack());
  EXPECT_EQ(choice.OnLabel(), "Next 10 >");
  choice.On();
  EXPECT_EQ(choice.First(), 10);
  EXPECT_EQ(choice.OnLabel(), "Next 5 >");
  choice.On();
  EXPECT_EQ(choice.First(), 20);
  EXPECT_FALSE(choice.CanGoOn());
  EXPECT_EQ(choice.OnLabel(), "Next 10 >");
  choice.Back();
  EXPECT_EQ(choice.First(), 10);

  EXPECT_EQ(choice.RowText(3), "4.  (file not found)");
  EXPECT_EQ(choice.RowText(0), "1.  " + entries[0]);
  EXPECT_EQ(choice.CountText(), "Files to convert: 24 of 25");
  double all = choice.RequiredBytes();
  EXPECT_GT(all, 0);
  choice.Toggle(3);  // can't be checked
  choice.Toggle(0);
  EXPECT_EQ(choice.CheckedCount(), 23);
  EXPECT_LT(choice.RequiredBytes(), all);
  choice.UncheckAll();
  EXPECT_EQ(choice.RequiredText(), "Space needed: 0.00 MB");
  EXPECT_TRUE(choice.Accept().empty());  // uncheck all, then OK: nothing
  choice.CheckAll();
  EXPECT_DOUBLE_EQ(choice.RequiredBytes(), all);

  // The estimate follows the target's format: 8-bit mono needs less than CD quality.
  prefs_.Format(0).SetSoundQuality(SOUND_QUALITY_PRESET);
  prefs_.Format(0).usePreset = 0;
  prefs_.Format(0).nSamplesPerSec = 11025;
  prefs_.Format(0).nChannels = 1;
  prefs_.Format(0).wBitsPerSample = 8;
  prefs_.Format(0).CalcBlockAlignNAvgBytesPerSec();
  CPlaylistChoice small("list.m3u", 0, entries, prefs_);
  EXPECT_LT(small.RequiredBytes(), all / 4);
  small.dontAsk = true;
  EXPECT_EQ(small.Accept().size(), 24u);
  EXPECT_EQ(prefs_.convertPlaylistFilesWithoutPrompting, 1u);
}

TEST_F(PlaylistIntake, ChosenEntriesAreQueuedAndTheOthersReported) {
  std::string a = Tone("a.wav"), b = Tone("b.wav"), c = Tone("c.wav");
  std::string list = List(
      "party.m3u",
      "#EXTM3U\r\na.wav\r\n./b.wav\r\nmissing.wav\r\nhttp://radio.example/x.mp3\r\n" + c + "\r\n");
  CProgressController ctl(prefs_, prompter_, view_);
  prompter_.uncheck = {1};  // not b
  ASSERT_TRUE(ctl.Begin({{list, 0}}, channel_, channel_.FirstIndex()));
  EXPECT_EQ(prompter_.playlists, std::vector<int>{3});
  EXPECT_EQ(ctl.Run()->JobCount(), 2);
  std::string log = ErrorLog().Text();
  EXPECT_NE(log.find("missing.wav: the file could not be found."), std::string::npos) << log;
  EXPECT_NE(log.find("http://radio.example/x.mp3 is on the web"), std::string::npos) << log;
  ASSERT_TRUE(RunToEnd(ctl));
  EXPECT_TRUE(runsandbox::Exists(out_ + "/a.wav"));
  EXPECT_FALSE(runsandbox::Exists(out_ + "/b.wav"));
  EXPECT_TRUE(runsandbox::Exists(out_ + "/c.wav"));
}

TEST_F(PlaylistIntake, OneEntryOrNoAskingQueuesWithoutAQuestion) {
  Tone("a.wav");
  Tone("b.wav");
  List("inner.m3u", "a.wav\n");
  std::string nested = List("nested.m3u", "inner.m3u\n");
  std::string two = List("two.pls", "[playlist]\nFile1=a.wav\nFile2=b.wav\nNumberOfEntries=2\n");
  CProgressController ctl(prefs_, prompter_, view_);
  ASSERT_TRUE(ctl.Begin({{nested, 0}}, channel_, channel_.FirstIndex()));
  EXPECT_EQ(ctl.Run()->JobCount(), 0);  // a playlist whose one entry is a playlist: nothing
  EXPECT_EQ(ErrorLog().Count(), 0);
  prefs_.convertPlaylistFilesWithoutPrompting = 1;
  ctl.Drop({two});
  EXPECT_EQ(ctl.Run()->JobCount(), 2);
  EXPECT_TRUE(prompter_.playlists.empty());
  ASSERT_TRUE(RunToEnd(ctl));
}

TEST_F(PlaylistIntake, APlaylistHandedOffDuringARunIsChosenOnTheWindowsThread) {
  prefs_.cpuSleepTime = 25;
  std::string first = Tone("first.wav", 2);
  Tone("x.wav");
  Tone("y.wav");
  std::string list = List("more.m3u", "x.wav\ny.wav\n");
  CProgressController ctl(prefs_, prompter_, view_);
  ASSERT_TRUE(ctl.Begin({{first, 0}}, channel_, channel_.FirstIndex()));
  // Another instance hands the playlist over; the worker takes it.
  CInstanceChannel other;
  ASSERT_TRUE(other.Open());
  ASSERT_EQ(other.Post(list, 0), 1);
  ASSERT_TRUE(RunToEnd(ctl));
  EXPECT_EQ(prompter_.playlists, std::vector<int>{2});
  EXPECT_EQ(ctl.Run()->ConvertedCount(), 3);
  EXPECT_TRUE(runsandbox::Exists(out_ + "/x.wav"));
  EXPECT_TRUE(runsandbox::Exists(out_ + "/y.wav"));
}

}  // namespace
