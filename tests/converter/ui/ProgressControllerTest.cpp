// The progress window's logic over a real run, with a prompter that answers
// from a script and a view that keeps what it was shown.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "converter/app/EngineServices.h"
#include "converter/instance/InstanceChannel.h"
#include "converter/prefs/Preferences.h"
#include "converter/ui/ErrorLog.h"
#include "converter/ui/ProgressController.h"
#include "converter/ui/Prompts.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/RunSandbox.h"
#include "tests/converter/ui/ScriptedPrompter.h"
#include "utilities/strings/StringFile.h"

namespace {

using namespace std::chrono_literals;

class RecordingView : public IProgressView {
 public:
  void ShowNamed(const TNamedTarget& named) override { names.push_back(named); }
  void ShowProgress(const TProgressTexts& texts) override { progress.push_back(texts); }
  void ShowNotice(const std::string& text) override { notices.push_back(text); }
  std::vector<TNamedTarget> names;
  std::vector<TProgressTexts> progress;
  std::vector<std::string> notices;
};

class ProgressController : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
    out_ = runsandbox::Enter(dir_, prefs_);
    ErrorLog().Clear();
    ASSERT_TRUE(channel_.Open());
  }
  std::string Source(const std::string& name, double seconds) {
    return runsandbox::Tone(dir_, name, seconds);
  }
  bool Begin(CProgressController& c, const std::vector<std::string>& files) {
    std::vector<TQueuedFile> queue;
    for (const std::string& f : files) queue.push_back({f, kTargetWave});
    return c.Begin(queue, channel_, channel_.FirstIndex());
  }
  // Steps the controller as a window's loop would until the run is over.
  bool RunToEnd(CProgressController& c, std::chrono::seconds limit = 30s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (c.Step()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
  // Steps until the condition holds.
  template <typename F>
  bool StepUntil(CProgressController& c, F done, std::chrono::seconds limit = 20s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end || !c.Step()) return false;
      std::this_thread::sleep_for(10ms);
    }
    return true;
  }
  static bool Exists(const std::string& path) { return runsandbox::Exists(path); }

  testsupport::TempDir dir_;
  std::string out_;
  CPreferences prefs_;
  CInstanceChannel channel_;
  CScriptedPrompter prompter_;
  RecordingView view_;
};

TEST_F(ProgressController, TextsFollowTheRunAndEveryFileIsNamed) {
  prefs_.cpuSleepTime = 10;
  std::vector<std::string> files = {Source("a.wav", 1), Source("b.wav", 1)};
  CProgressController c(prefs_, prompter_, view_);
  ASSERT_TRUE(Begin(c, files));
  TProgressTexts first = c.Texts();
  EXPECT_EQ(first.counter, "File 1 of 2");
  EXPECT_EQ(first.pauseLabel, "Pause");
  // Nothing mixed even after the texts were taken: they show the start (on
  // a busy machine the worker may already be further).
  if (c.Run()->MixedSourceBytes() == 0 && c.Run()->WrittenBytes() == 0) {
    EXPECT_EQ(first.title, "0% File 1 of 2  - Sonoduct ");
    EXPECT_EQ(first.status.rfind("Written: 0.0", 0), 0u) << first.status;
    EXPECT_NE(first.status.find("   To go: 0.3"), std::string::npos)
        << first.status;  // two seconds of CD audio
  }
  ASSERT_TRUE(RunToEnd(c));
  uint32_t next = 0;
  EXPECT_EQ(c.Finish(next), 2);
  ASSERT_EQ(view_.names.size(), 2u);
  EXPECT_EQ(view_.names[0].source, files[0]);
  EXPECT_EQ(view_.names[1].target, out_ + "/b.wav");
  TProgressTexts last = c.Texts();
  EXPECT_EQ(last.barPosition, 1000);
  EXPECT_EQ(last.title.substr(0, 5), "100% ");
  EXPECT_TRUE(prompter_.Shown().empty());
}

TEST_F(ProgressController, PauseHoldsTheWorkerAndResumeGoesOn) {
  prefs_.cpuSleepTime = 25;  // a block every 25 ms: the run lasts
  CProgressController c(prefs_, prompter_, view_);
  ASSERT_TRUE(Begin(c, {Source("long.wav", 60)}));
  CConversionRun& run = *c.Run();
  ASSERT_TRUE(StepUntil(c, [&] { return run.WrittenBytes() > 0; }));
  c.TogglePause();
  EXPECT_TRUE(view_.progress.back().paused);
  EXPECT_EQ(view_.progress.back().pauseLabel, "Resume");
  EXPECT_NE(view_.progress.back().title.find("(paused)"), std::string::npos);
  std::this_thread::sleep_for(200ms);  // the block in hand is finished
  double held = run.WrittenBytes();
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(run.WrittenBytes(), held);
  c.TogglePause();
  EXPECT_FALSE(view_.progress.back().paused);
  ASSERT_TRUE(StepUntil(c, [&] { return run.WrittenBytes() > held; }));
  EXPECT_TRUE(c.Cancel());  // answered with the safe answer: keep what was written
  ASSERT_TRUE(RunToEnd(c));
}

TEST_F(ProgressController, CancelAsksAndDeletesExactlyWhatThisRunWrote) {
  ASSERT_TRUE(testsupport::WriteFile(out_ + "/mine.wav", "the user's"));
  prefs_.cpuSleepTime = 25;
  std::vector<std::string> files = {Source("a.wav", 0.5), Source("b.wav", 60)};
  CProgressController c(prefs_, prompter_, view_);
  ASSERT_TRUE(Begin(c, files));
  CConversionRun& run = *c.Run();
  ASSERT_TRUE(StepUntil(c, [&] { return run.ConvertedCount() == 1 && run.WrittenBytes() > 0; }));
  ASSERT_TRUE(Exists(out_ + "/a.wav"));

  // Cancel, then back to the run: it goes on, not paused.
  prompter_.answers = {kButtonCancel};
  EXPECT_FALSE(c.Cancel());
  EXPECT_FALSE(run.Paused());
  ASSERT_EQ(prompter_.Shown().size(), 1u);
  EXPECT_EQ(prompter_.Shown()[0].title, "Stop Converting");
  // Cancel from a paused run leaves it paused.
  c.TogglePause();
  prompter_.answers = {kButtonCancel};
  EXPECT_FALSE(c.Cancel());
  EXPECT_TRUE(run.Paused());
  c.TogglePause();

  prompter_.answers = {kButtonYes};  // stop, and delete what was converted
  EXPECT_TRUE(c.Cancel());
  EXPECT_NE(c.Texts().title.find("(cancelling)"), std::string::npos);
  ASSERT_TRUE(RunToEnd(c));
  uint32_t next = 0;
  c.Finish(next);
  EXPECT_TRUE(c.Cancelled());
  EXPECT_FALSE(Exists(out_ + "/a.wav"));
  EXPECT_FALSE(Exists(out_ + "/b.wav"));  // the abandoned file is gone too
  EXPECT_EQ(testsupport::ReadFile(out_ + "/mine.wav"), "the user's");
  EXPECT_EQ(c.NotConverted(), 1);
}

TEST_F(ProgressController, CancelAnsweredNoKeepsTheConvertedFiles) {
  prefs_.cpuSleepTime = 25;
  CProgressController c(prefs_, prompter_, view_);
  ASSERT_TRUE(Begin(c, {Source("a.wav", 0.5), Source("b.wav", 60)}));
  CConversionRun& run = *c.Run();
  ASSERT_TRUE(StepUntil(c, [&] { return run.ConvertedCount() == 1; }));
  prompter_.answers = {kButtonSkip};
  EXPECT_TRUE(c.Cancel());
  ASSERT_TRUE(RunToEnd(c));
  uint32_t next = 0;
  EXPECT_EQ(c.Finish(next), 1);
  EXPECT_TRUE(Exists(out_ + "/a.wav"));
}

TEST_F(ProgressController, DropsJoinTheRunWithTheChecksOfTheCommandLine) {
  prefs_.cpuSleepTime = 25;
  CEngineServices engine;  // no encoder here: a WAV asks about WAV to WAV
  CProgressController c(prefs_, prompter_, view_);
  c.SetEngine(&engine);
  std::string first = Source("first.wav", 30);
  ASSERT_TRUE(Begin(c, {first}));
  std::vector<std::string> drops = {Source("d1.wav", 0.2), Source("d2.wav", 0.2),
                                    Source("d3.wav", 0.2)};
  prompter_.answers = {kButtonYes, kButtonYes, kButtonYes};
  c.Drop(drops);
  EXPECT_EQ(c.Run()->JobCount(), 4);
  EXPECT_EQ(view_.progress.back().counter, "File 1 of 4");
  ASSERT_EQ(prompter_.Shown().size(), 3u);
  EXPECT_EQ(prompter_.Shown()[0].title, "Convert WAV to WAV?");

  // Again the same file, a folder, a text file, a missing file, and a WAV
  // the user declines: nothing more is queued, and the refusals are logged.
  std::string folder = dir_.Path() + "/songs.wav";
  ASSERT_EQ(testsupport::Run("mkdir '" + folder + "'").exitCode, 0);
  std::string text = dir_.File("notes.txt");
  ASSERT_TRUE(testsupport::WriteFile(text, "x"));
  prompter_.answers = {kButtonYes, kButtonSkip};
  c.Drop({drops[0], folder, text, dir_.File("gone.wav"), Source("no.wav", 0.2)});
  EXPECT_EQ(c.Run()->JobCount(), 4);
  std::string log = ErrorLog().Text();
  EXPECT_NE(log.find(folder + ": Sonoduct can't convert this type of file."), std::string::npos)
      << log;
  EXPECT_NE(log.find(text + ": Sonoduct can't convert"), std::string::npos) << log;
  EXPECT_NE(log.find("gone.wav: the file could not be found"), std::string::npos) << log;
  EXPECT_EQ(ErrorLog().Count(), 3);
  EXPECT_NE(c.Texts().title.find("errors: 3"), std::string::npos) << c.Texts().title;
  c.Run()->quit = true;
  c.Run()->Stop();
}

TEST_F(ProgressController, QuestionsAreAskedOnTheWindowsThreadAndAnswered) {
  std::string src = Source("a.wav", 0.3);
  ASSERT_TRUE(testsupport::WriteFile(out_ + "/a.wav", "old"));
  CProgressController c(prefs_, prompter_, view_);
  ASSERT_TRUE(Begin(c, {src}));
  prompter_.answers = {kButtonYes};
  ASSERT_TRUE(RunToEnd(c));
  std::vector<TPrompt> shown = prompter_.Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].resource, kPromptOverwrite);
  EXPECT_EQ(shown[0].text.rfind(out_ + "/a.wav already exists (last changed ", 0), 0u)
      << shown[0].text;
  EXPECT_EQ(shown[0].defaultButton, kButtonSkip);
  EXPECT_GT(testsupport::ReadFile(out_ + "/a.wav").size(), 44u);
}

TEST_F(ProgressController, ErrorDetailsListEveryFailedFile) {
  ErrorLog().Add("one.wav: the file is empty.");
  ErrorLog().Add("two.mp3: the file could not be found or opened.");
  ErrorLog().Add("three.txt: Sonoduct can't convert this type of file.");
  CPrompts prompts(prompter_, &prefs_);
  prompter_.answers = {kButtonOk};
  prompter_.checkBox = true;  // don't show errors at the end any more
  EXPECT_EQ(prompts.ShowErrorDetails(), 1);
  TPrompt shown = prompter_.Shown().at(0);
  EXPECT_EQ(shown.title, "Conversion Errors: 3");
  EXPECT_TRUE(shown.logText);
  EXPECT_EQ(shown.text,
            "one.wav: the file is empty.\r\ntwo.mp3: the file could not be found or opened.\r\n"
            "three.txt: Sonoduct can't convert this type of file.");
  EXPECT_EQ(prefs_.showErrorsAtEnd, 0u);
}

}  // namespace
