// A conversion run in this process, with a window that answers the worker's
// questions from a script: what each answer does to the file in hand and to
// the files after it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "converter/prefs/Preferences.h"
#include "converter/run/ConversionRun.h"
#include "converter/run/IRunWindow.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/RunSandbox.h"
#include "utilities/strings/StringFile.h"

namespace {

// Answers each question with the next answer of its kind, on the worker's
// thread (the run's wait ends as soon as the answer is in).
class ScriptedWindow : public IRunWindow {
 public:
  explicit ScriptedWindow(CConversionRun& run) : run_(run) {}
  void PostQuestion(int question, int) override {
    asked.push_back(question);
    if (question == kAskOverwrite)
      Give(overwrite);
    else if (question == kAskSilent || question == kAskPartial)
      Give(convertAnyway);
    else
      run_.DropQuestion();
  }

  // An empty answer leaves the question unanswered.
  std::deque<std::optional<TOverwriteAnswer>> overwrite;
  std::deque<std::optional<TConvertAnywayAnswer>> convertAnyway;
  std::vector<int> asked;

 private:
  template <typename T>
  void Give(std::deque<std::optional<T>>& answers) {
    std::optional<T> answer;
    if (!answers.empty()) {
      answer = answers.front();
      answers.pop_front();
    }
    if (answer)
      run_.Answer(*answer);
    else
      run_.DropQuestion();
  }

  CConversionRun& run_;
};

class RunAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
    out_ = runsandbox::Enter(dir_, prefs_);
  }
  std::string Source(const std::string& name, const std::string& synth) {
    return runsandbox::Sound(dir_, name, synth);
  }
  // Converts the files to WAV with the window's answers; false when the run
  // did not end in time.
  bool Convert(ScriptedWindow& window, CConversionRun& run, const std::vector<std::string>& files) {
    run.SetWindow(&window);
    for (const std::string& f : files) run.AddFile(f, 0);
    if (!run.Start()) return false;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (run.ConvertedCount() + run.FailedCount() < run.JobCount() || !run.Idle()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.Finish();
    return true;
  }
  void Existing(const std::string& name) {
    ASSERT_TRUE(testsupport::WriteFile(out_ + "/" + name, "old"));
  }
  std::string Target(const std::string& name) { return testsupport::ReadFile(out_ + "/" + name); }

  testsupport::TempDir dir_;
  std::string out_;
  CPreferences prefs_;
};

TEST_F(RunAnswers, OverwriteAnswersHoldForOneFileOrForTheRest) {
  std::vector<std::string> files;
  for (const char* name : {"a", "b", "e", "c", "d"}) {
    files.push_back(Source(std::string(name) + ".wav", "synth 0.2 sine 440"));
    Existing(std::string(name) + ".wav");
  }
  CConversionRun run(prefs_, nullptr, 0);
  ScriptedWindow window(run);
  window.overwrite = {TOverwriteAnswer::OverwriteThis, TOverwriteAnswer::SkipThis, std::nullopt,
                      TOverwriteAnswer::OverwriteAll};
  ASSERT_TRUE(Convert(window, run, files));
  EXPECT_GT(Target("a.wav").size(), 44u);
  EXPECT_EQ(Target("b.wav"), "old");
  EXPECT_EQ(Target("e.wav"), "old");  // unanswered: never overwritten
  EXPECT_GT(Target("c.wav").size(), 44u);
  EXPECT_GT(Target("d.wav").size(), 44u);  // replaced without a question
  EXPECT_EQ(window.asked, std::vector<int>(4, kAskOverwrite));
  EXPECT_EQ(run.ConvertedCount(), 5);  // a skipped file counts as done
  EXPECT_EQ(run.FailedCount(), 0);
  EXPECT_DOUBLE_EQ(run.SourceFraction(), 1.0);

  // Skip all: asked once, and no existing target is touched.
  CConversionRun second(prefs_, nullptr, 0);
  ScriptedWindow secondWindow(second);
  secondWindow.overwrite = {TOverwriteAnswer::SkipAll};
  Existing("a.wav");
  Existing("c.wav");
  ASSERT_TRUE(Convert(secondWindow, second, files));
  EXPECT_EQ(secondWindow.asked.size(), 1u);
  for (const char* name : {"a.wav", "b.wav", "c.wav", "e.wav"})
    EXPECT_EQ(Target(name), "old") << name;
  EXPECT_EQ(second.ConvertedCount(), 5);
}

TEST_F(RunAnswers, SilentSourcesAreConvertedSkippedOrAbandonedAsAnswered) {
  prefs_.trimSoundsAutomatically = 1;
  std::string skip = Source("skip.wav", "trim 0 0.3");
  std::string keep = Source("keep.wav", "trim 0 0.3");
  std::string dropped = Source("dropped.wav", "trim 0 0.3");
  std::string stop = Source("stop.wav", "trim 0 0.3");
  std::string tone = Source("tone.wav", "synth 0.3 sine 440");
  CConversionRun run(prefs_, nullptr, 0);
  ScriptedWindow window(run);
  window.convertAnyway = {TConvertAnywayAnswer::Skip, TConvertAnywayAnswer::Convert, std::nullopt,
                          TConvertAnywayAnswer::Cancel};
  ASSERT_TRUE(Convert(window, run, {skip, keep, dropped, stop, tone}));
  EXPECT_EQ(window.asked, std::vector<int>(4, kAskSilent));  // not about the tone
  EXPECT_TRUE(Target("skip.wav").empty());
  EXPECT_GT(Target("keep.wav").size(), 44u);
  EXPECT_GT(Target("dropped.wav").size(), 44u);  // unanswered: converted
  EXPECT_TRUE(Target("stop.wav").empty());
  EXPECT_GT(Target("tone.wav").size(), 44u);
  EXPECT_EQ(run.ConvertedCount(), 4);
  EXPECT_EQ(run.FailedCount(), 1);  // the abandoned one
}

}  // namespace
