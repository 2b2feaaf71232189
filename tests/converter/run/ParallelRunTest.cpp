// Runs with several workers in this process: files handed off while they
// convert, a cancel that deletes what the run wrote, and questions asked one
// at a time while the other workers go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "converter/instance/InstanceChannel.h"
#include "converter/prefs/Preferences.h"
#include "converter/run/ConversionRun.h"
#include "converter/run/IRunWindow.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/RunSandbox.h"

namespace {

using Clock = std::chrono::steady_clock;

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Waits until the condition holds; false after the timeout.
template <typename F>
bool Within(int seconds, F condition) {
  auto end = Clock::now() + std::chrono::seconds(seconds);
  while (!condition()) {
    if (Clock::now() > end) return false;
    Sleep(10);
  }
  return true;
}

// Keeps the overwrite questions open until the test answers them, and counts
// how many were open at once.
class HeldWindow : public IRunWindow {
 public:
  void PostQuestion(int question, int) override {
    std::lock_guard<std::mutex> lock(lock_);
    asked.push_back(question);
    int open = ++open_;
    if (open > mostOpen) mostOpen = open;
  }
  // Answers the open question; false when none is.
  bool Answer(CConversionRun& run, TOverwriteAnswer answer) {
    {
      std::lock_guard<std::mutex> lock(lock_);
      if (open_ == 0) return false;
      --open_;
    }
    run.Answer(answer);
    return true;
  }
  int Open() {
    std::lock_guard<std::mutex> lock(lock_);
    return open_;
  }

  std::vector<int> asked;
  int mostOpen = 0;

 private:
  std::mutex lock_;
  int open_ = 0;
};

class ParallelRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
    out_ = runsandbox::Enter(dir_, prefs_);
  }
  std::string Tone(const std::string& name, double seconds) {
    return runsandbox::Tone(dir_, name, seconds);
  }
  std::string Out(const std::string& name) { return out_ + "/" + name; }
  bool AllDone(CConversionRun& run) {
    return Within(60, [&] {
      return run.ConvertedCount() + run.FailedCount() >= run.JobCount() && run.Idle();
    });
  }

  testsupport::TempDir dir_;
  std::string out_;
  CPreferences prefs_;
};

TEST_F(ParallelRun, FilesHandedOffDuringTheRunAreEachConvertedOnce) {
  CInstanceChannel channel;
  ASSERT_EQ(channel.Open(), 1);
  std::vector<std::string> sources;
  for (int i = 0; i < 12; ++i) sources.push_back(Tone("h" + std::to_string(i) + ".wav", 0.3));
  CConversionRun run(prefs_, &channel, 0);
  run.AddFile(sources[0], 0);
  run.AddFile(sources[1], 0);
  ASSERT_EQ(run.Start(2), 1);
  EXPECT_EQ(run.WorkerCount(), 2);
  // The rest arrive while both workers convert, one of them twice in a row.
  for (size_t i = 2; i < sources.size(); ++i) {
    ASSERT_EQ(channel.Post(sources[i], 0), 1);
    if (i == 6) {
      ASSERT_EQ(channel.Post(sources[i], 0), 1);
    }
    Sleep(30);
  }
  std::map<std::string, int> named;
  ASSERT_TRUE(Within(60, [&] {
    for (const TNamedTarget& t : run.TakeNamedTargets()) ++named[t.target];
    return run.HandOffTaken() == channel.Count() && run.ConvertedCount() >= 12 && run.Idle();
  }));
  ASSERT_TRUE(run.Finish());
  for (const TNamedTarget& t : run.TakeNamedTargets()) ++named[t.target];
  EXPECT_EQ(run.ConvertedCount(), 12);
  EXPECT_EQ(run.FailedCount(), 0);
  EXPECT_EQ(named.size(), 12u);
  for (const auto& [target, times] : named) EXPECT_EQ(times, 1) << target;
  for (int i = 0; i < 12; ++i)
    EXPECT_GT(testsupport::ReadFile(Out("h" + std::to_string(i) + ".wav")).size(), 44u) << i;
  EXPECT_DOUBLE_EQ(run.SourceFraction(), 1.0);
}

TEST_F(ParallelRun, CancelWithDeleteRemovesExactlyTheFilesTheRunWrote) {
  ASSERT_TRUE(testsupport::WriteFile(Out("notes.txt"), "mine"));
  ASSERT_TRUE(testsupport::WriteFile(Out("other.wav"), "not from this run"));
  prefs_.cpuSleepTime = 5;  // long enough to cancel in the middle
  CConversionRun run(prefs_, nullptr, 0);
  for (int i = 0; i < 6; ++i) run.AddFile(Tone("c" + std::to_string(i) + ".wav", 4), 0);
  ASSERT_EQ(run.Start(2), 1);
  // Cancelled with one file done and two in progress.
  ASSERT_TRUE(Within(60, [&] { return run.ConvertedCount() >= 1; }));
  ASSERT_TRUE(Within(60, [&] { return run.FilesInProgress().size() == 2; }));
  run.quit = true;
  run.Stop();
  EXPECT_LT(run.ConvertedCount(), 6);
  run.DeleteWrittenTargets();
  auto listing = testsupport::Run("ls -A '" + out_ + "'");
  EXPECT_EQ(listing.out, "notes.txt\nother.wav\n");
}

TEST_F(ParallelRun, PauseHoldsEveryWorker) {
  prefs_.cpuSleepTime = 5;
  CConversionRun run(prefs_, nullptr, 0);
  for (const char* name : {"p1.wav", "p2.wav"}) run.AddFile(Tone(name, 4), 0);
  ASSERT_EQ(run.Start(2), 1);
  ASSERT_TRUE(Within(30, [&] {
    std::vector<TFileInProgress> files = run.FilesInProgress();
    return files.size() == 2 && !files[0].analysing && !files[1].analysing &&
           run.WrittenBytes() > 0;
  }));
  run.Pause(true);
  Sleep(200);  // a block in hand may still be written
  const double written = run.WrittenBytes();
  Sleep(400);
  EXPECT_EQ(run.WrittenBytes(), written);
  EXPECT_EQ(run.FilesInProgress().size(), 2u);
  run.Pause(false);
  ASSERT_TRUE(AllDone(run));
  run.Finish();
  EXPECT_EQ(run.ConvertedCount(), 2);
}

TEST_F(ParallelRun, AQuestionWaitsForItsAnswerWhileTheOtherWorkerGoesOn) {
  std::string asked = Tone("asked.wav", 0.2);
  ASSERT_TRUE(testsupport::WriteFile(Out("asked.wav"), "old"));
  std::string d = Tone("d.wav", 0.5), e = Tone("e.wav", 0.5);
  CConversionRun run(prefs_, nullptr, 0);
  HeldWindow window;
  run.SetWindow(&window);
  for (const std::string& f : {asked, d, e}) run.AddFile(f, 0);
  ASSERT_EQ(run.Start(2), 1);
  ASSERT_TRUE(Within(30, [&] { return window.Open() == 1; }));
  std::string source, target;
  run.QuestionNames(&source, &target);
  EXPECT_EQ(source, asked);
  EXPECT_EQ(target, Out("asked.wav"));
  // Both other files are converted while the question is open.
  EXPECT_TRUE(Within(30, [&] { return run.ConvertedCount() == 2; }));
  EXPECT_EQ(window.Open(), 1);
  EXPECT_EQ(testsupport::ReadFile(Out("asked.wav")), "old");
  ASSERT_TRUE(window.Answer(run, TOverwriteAnswer::OverwriteThis));
  ASSERT_TRUE(AllDone(run));
  run.Finish();
  EXPECT_EQ(run.ConvertedCount(), 3);
  EXPECT_GT(testsupport::ReadFile(Out("asked.wav")).size(), 44u);
}

TEST_F(ParallelRun, QuestionsAreAskedOneAtATimeAndAStandingAnswerHoldsForTheOthers) {
  std::vector<std::string> files;
  for (const char* name : {"q1", "q2", "q3", "q4"}) {
    files.push_back(Tone(std::string(name) + ".wav", 0.2));
    ASSERT_TRUE(testsupport::WriteFile(Out(std::string(name) + ".wav"), "old"));
  }
  CConversionRun run(prefs_, nullptr, 0);
  HeldWindow window;
  run.SetWindow(&window);
  for (const std::string& f : files) run.AddFile(f, 0);
  ASSERT_EQ(run.Start(2), 1);
  // The first asked about is skipped; after a while the other worker's
  // question comes.
  ASSERT_TRUE(Within(30, [&] { return window.Open() == 1; }));
  std::string source, skipped;
  run.QuestionNames(&source, &skipped);
  Sleep(300);
  ASSERT_TRUE(window.Answer(run, TOverwriteAnswer::SkipThis));
  ASSERT_TRUE(Within(30, [&] { return window.Open() == 1; }));
  Sleep(300);
  // Overwrite all: the files after it are not asked about.
  ASSERT_TRUE(window.Answer(run, TOverwriteAnswer::OverwriteAll));
  ASSERT_TRUE(AllDone(run));
  run.Finish();
  EXPECT_EQ(window.asked, std::vector<int>(2, kAskOverwrite));
  EXPECT_EQ(window.mostOpen, 1);
  for (const char* name : {"q1.wav", "q2.wav", "q3.wav", "q4.wav"}) {
    const bool old = testsupport::ReadFile(Out(name)) == "old";
    EXPECT_EQ(old, Out(name) == skipped) << name;
  }
}

TEST_F(ParallelRun, TwoSourcesOfOneTargetNameAreConvertedOneAfterTheOther) {
  // dir/a.wav and dir/sub/a.wav both become out/a.wav: whichever comes
  // second finds the other's finished target, as with one worker, and asks.
  std::string first = Tone("a.wav", 1);
  ASSERT_EQ(testsupport::Run("mkdir -p '" + dir_.Path() + "/sub'").exitCode, 0);
  std::string second = runsandbox::Sound(dir_, "sub/a.wav", "synth 1 square 300 vol 0.5");
  CConversionRun run(prefs_, nullptr, 0);
  HeldWindow window;
  run.SetWindow(&window);
  run.AddFile(first, 0);
  run.AddFile(second, 0);
  ASSERT_EQ(run.Start(2), 1);
  ASSERT_TRUE(Within(30, [&] { return window.Open() == 1; }));
  std::string source, target;
  run.QuestionNames(&source, &target);
  EXPECT_TRUE(source == first || source == second) << source;
  EXPECT_EQ(run.ConvertedCount(), 1);  // the other is done before the question
  const std::string firstTarget = testsupport::ReadFile(Out("a.wav"));
  EXPECT_GT(firstTarget.size(), 44u);
  ASSERT_TRUE(window.Answer(run, TOverwriteAnswer::SkipThis));
  ASSERT_TRUE(AllDone(run));
  run.Finish();
  EXPECT_EQ(testsupport::ReadFile(Out("a.wav")), firstTarget);
}

TEST(ConversionWorkers, FollowTheSettingOrTheCommandLineWithinOneToEight) {
  CPreferences prefs;
  EXPECT_EQ(prefs.ConversionWorkers(), 1);  // today's behaviour by default
  prefs.parallelConversions = 3;
  EXPECT_EQ(prefs.ConversionWorkers(), 3);
  prefs.parallelConversions = 40;
  EXPECT_EQ(prefs.ConversionWorkers(), 8);
  prefs.parallelConversions = 0;
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  EXPECT_EQ(prefs.ConversionWorkers(), std::clamp(cores, 1, 8));
  prefs.conversionsOverride = 2;
  EXPECT_EQ(prefs.ConversionWorkers(), 2);
  prefs.conversionsOverride = 1;
  prefs.parallelConversions = 4;
  EXPECT_EQ(prefs.ConversionWorkers(), 1);
}

}  // namespace
