// The progress window over real runs, on the offscreen platform: its labels,
// bar and title as the run goes, Pause, Cancel, dropped files, and the
// worker's questions arriving through the queued call.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "converter/app/EngineServices.h"
#include "converter/gui/ProgressWindow.h"
#include "converter/gui/QtPrompter.h"
#include "converter/instance/InstanceChannel.h"
#include "converter/prefs/Preferences.h"
#include "converter/ui/ErrorLog.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/RunSandbox.h"
#include "tests/converter/ui/ScriptedPrompter.h"
#include "utilities/strings/StringFile.h"

namespace {

using namespace std::chrono_literals;

// The window's dialogs answered from a script.
class ScriptedQtPrompter : public CQtPrompter {
 public:
  int Ask(TPrompt& prompt) override { return script.Ask(prompt); }
  bool ChoosePlaylist(CPlaylistChoice& choice) override { return script.ChoosePlaylist(choice); }
  CScriptedPrompter script;
};

class ProgressWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
    out_ = runsandbox::Enter(dir_, prefs_);
    prefs_.cpuSleepTime = 20;
    ErrorLog().Clear();
    ASSERT_TRUE(channel_.Open());
  }
  std::string Source(const std::string& name, double seconds) {
    return runsandbox::Tone(dir_, name, seconds);
  }
  bool Begin(CProgressWindow& w, const std::vector<std::string>& files) {
    std::vector<TQueuedFile> queue;
    for (const std::string& f : files) queue.push_back({f, kTargetWave});
    if (!w.Begin(queue, channel_, channel_.FirstIndex())) return false;
    w.show();
    return true;
  }
  // Lets the window's loop run until the condition holds.
  template <typename F>
  bool Until(F done, std::chrono::seconds limit = 20s) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      std::this_thread::sleep_for(5ms);
    }
    return true;
  }
  static QPushButton* Button(CProgressWindow& w, const char* name) {
    return w.findChild<QPushButton*>(name);
  }
  static bool Exists(const std::string& path) { return runsandbox::Exists(path); }

  testsupport::TempDir dir_;
  std::string out_;
  CPreferences prefs_;
  CInstanceChannel channel_;
  ScriptedQtPrompter prompter_;
  CEngineServices engine_;
};

TEST_F(ProgressWindow, LabelsBarAndTitleFollowTheRun) {
  prefs_.cpuSleepTime = 100;
  std::vector<std::string> files = {Source("a.wav", 3), Source("b.wav", 20)};
  CProgressWindow w(prefs_, prompter_, &engine_);
  ASSERT_TRUE(Begin(w, files));
  EXPECT_EQ(w.CounterText(), "File 1 of 2");
  // Until its target is settled, the window shows the output folder.
  ASSERT_TRUE(Until([&] { return w.TargetText().endsWith("a.wav"); }));
  EXPECT_EQ(w.SourceText().toStdString(), files[0]);
  EXPECT_EQ(w.TargetText().toStdString(), out_ + "/a.wav");
  // The title and the status line follow once a second.
  ASSERT_TRUE(Until([&] { return w.windowTitle().contains("File 2 of 2"); }));
  EXPECT_EQ(w.CounterText(), "File 2 of 2");
  EXPECT_EQ(w.SourceText().toStdString(), files[1]);
  EXPECT_GE(w.BarPosition(), 130);  // the first file is 3 of 23 seconds
  EXPECT_TRUE(w.windowTitle().endsWith("% File 2 of 2  - Sonoduct "))
      << w.windowTitle().toStdString();
  EXPECT_TRUE(w.StatusLine().startsWith("Written: ")) << w.StatusLine().toStdString();
  ASSERT_TRUE(Until([&] { return !w.isVisible(); }));  // it closes when every file was tried
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(w.Controller().Run()->ConvertedCount(), 2);
  EXPECT_TRUE(prompter_.script.Shown().empty());
}

TEST_F(ProgressWindow, EveryFileInProgressHasItsLineWhileSeveralAreConverted) {
  prefs_.parallelConversions = 2;
  std::vector<std::string> files = {Source("one.wav", 6), Source("two.wav", 6),
                                    Source("three.wav", 0.2)};
  CProgressWindow w(prefs_, prompter_, &engine_);
  ASSERT_TRUE(Begin(w, files));
  EXPECT_EQ(w.Controller().Run()->WorkerCount(), 2);
  auto* lines = w.findChild<QLabel*>("inProgress");
  ASSERT_NE(lines, nullptr);
  ASSERT_TRUE(Until([&] { return lines->isVisible(); }));
  QStringList shown = lines->text().split('\n');
  ASSERT_EQ(shown.size(), 2) << lines->text().toStdString();
  EXPECT_TRUE(shown[0].startsWith("File 1 of 3: one.wav ")) << shown[0].toStdString();
  EXPECT_TRUE(shown[1].startsWith("File 2 of 3: two.wav ")) << shown[1].toStdString();
  EXPECT_TRUE(shown[1].endsWith("%"));
  ASSERT_TRUE(Until([&] { return !w.isVisible(); }, 60s));
  EXPECT_EQ(w.Controller().Run()->ConvertedCount(), 3);
}

TEST_F(ProgressWindow, PauseHoldsTheRunAndCancelDeletesWhatItWrote) {
  CProgressWindow w(prefs_, prompter_, &engine_);
  ASSERT_TRUE(Begin(w, {Source("short.wav", 0.3), Source("long.wav", 60)}));
  CConversionRun& run = *w.Controller().Run();
  ASSERT_TRUE(Until([&] { return run.ConvertedCount() == 1 && run.WrittenBytes() > 0; }));
  Button(w, "pause")->click();
  EXPECT_EQ(Button(w, "pause")->text(), "Resume");
  EXPECT_TRUE(w.windowTitle().contains("(paused)"));
  Until([] { return false; }, 0s);
  std::this_thread::sleep_for(200ms);
  double held = run.WrittenBytes();
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(run.WrittenBytes(), held);
  Button(w, "pause")->click();
  EXPECT_EQ(Button(w, "pause")->text(), "Pause");
  ASSERT_TRUE(Until([&] { return run.WrittenBytes() > held; }));

  prompter_.script.answers = {kButtonYes};  // stop, deleting the converted files
  Button(w, "cancel")->click();
  ASSERT_TRUE(Until([&] { return !w.isVisible(); }));
  EXPECT_EQ(prompter_.script.Shown().at(0).text.substr(0, 18), "Stop converting no");
  uint32_t next = 0;
  w.Controller().Finish(next);
  EXPECT_FALSE(Exists(out_ + "/short.wav"));
  EXPECT_FALSE(Exists(out_ + "/long.wav"));
}

TEST_F(ProgressWindow, DroppedFilesJoinTheRun) {
  CProgressWindow w(prefs_, prompter_, &engine_);
  ASSERT_TRUE(Begin(w, {Source("first.wav", 30)}));
  QList<QUrl> urls;
  for (const char* name : {"d1.wav", "d2.wav", "d3.wav"})
    urls << QUrl::fromLocalFile(QString::fromStdString(Source(name, 0.2)));
  urls << QUrl("https://example.com/remote.wav");  // not on this machine: ignored
  QMimeData data;
  data.setUrls(urls);
  QPoint at(w.width() / 2, w.height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  EXPECT_TRUE(enter.isAccepted());
  prompter_.script.answers = {kButtonYes, kButtonYes, kButtonYes};  // WAV to WAV, yes
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &drop);
  EXPECT_EQ(w.Controller().Run()->JobCount(), 4);
  EXPECT_EQ(w.CounterText(), "File 1 of 4");

  // Text alone, without files, is not taken.
  QMimeData text;
  text.setText("a.wav");
  QDragEnterEvent other(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &other);
  EXPECT_FALSE(other.isAccepted());
  w.Controller().Run()->quit = true;
  w.Controller().Run()->Stop();
}

TEST_F(ProgressWindow, TheWorkersQuestionReachesTheWindowAndItsAnswerTheWorker) {
  std::string src = Source("a.wav", 0.3);
  ASSERT_TRUE(testsupport::WriteFile(out_ + "/a.wav", "old"));
  prefs_.cpuSleepTime = 0;
  CProgressWindow w(prefs_, prompter_, &engine_);
  prompter_.script.answers = {kButtonYes};
  ASSERT_TRUE(Begin(w, {src}));
  ASSERT_TRUE(Until([&] { return !w.isVisible(); }));
  ASSERT_EQ(prompter_.script.Shown().size(), 1u);
  EXPECT_EQ(prompter_.script.Shown()[0].resource, kPromptOverwrite);
  EXPECT_GT(testsupport::ReadFile(out_ + "/a.wav").size(), 44u);
}

}  // namespace
