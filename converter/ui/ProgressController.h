// The progress window's logic, whatever shows it: it starts the run, keeps
// the texts (file counter, names, status line, bar, title), runs the Pause,
// Options and Cancel commands, answers the worker's questions through a
// prompter on the window's thread, takes dropped files, and ends the run
// when every queued file was tried. The terminal front-end and the window
// are views over it; tests drive it directly.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "converter/app/QueuedFile.h"
#include "converter/run/ConversionRun.h"
#include "converter/run/IRunWindow.h"
#include "converter/ui/IPrompter.h"

class CInstanceChannel;
class CPreferences;
class IEngineServices;

// What the window shows, as it stands.
struct TProgressTexts {
  std::string counter;  // "File 2 of 5"
  std::string source, target;
  // With several files converted at once, each of them, by number.
  std::vector<TFileInProgress> inProgress;
  int jobs = 0;
  std::string status;
  int barPosition = 0;  // 0 to 1000
  int percent = 0;
  std::string title;
  std::string pauseLabel;
  bool paused = false;
};

class IProgressView {
 public:
  virtual ~IProgressView() = default;
  // A file whose target is settled, once, in order.
  virtual void ShowNamed(const TNamedTarget& named) = 0;
  // The texts, once a second and after each command.
  virtual void ShowProgress(const TProgressTexts& texts) = 0;
  // A line for the user that is not a question (a target without encoder).
  virtual void ShowNotice(const std::string& text) = 0;
  // Called on the worker's thread when it asks a question: the view makes
  // its own thread call Step soon.
  virtual void Wake() {}
};

class CProgressController : public IRunWindow, public IPlaylistChooser {
 public:
  CProgressController(CPreferences& preferences, IPrompter& prompter, IProgressView& view);
  ~CProgressController() override;

  // For dropped files: the target of a source and the WAV-to-WAV question.
  void SetEngine(IEngineServices* engine) { engine_ = engine; }
  // The Options sheet; shown by the Options command and the disk-full question.
  void SetShowOptions(std::function<void()> show) { showOptions_ = std::move(show); }

  // Starts a run over the queue and the hand-off entries from nextEntry on;
  // false (after the message) when it can't start.
  bool Begin(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel, uint32_t nextEntry);
  // One pass of the window's loop: questions, the end, and the texts once a
  // second. False once the run is over and its worker has ended.
  bool Step();
  // Ends the run's bookkeeping: deletes what was converted when the user
  // chose so, and returns the number of files converted.
  int Finish(uint32_t& nextEntry);

  // Commands.
  void TogglePause();
  // True when the run ends.
  bool Cancel();
  void Options();
  // Dropped names join the run, with the checks of the command line.
  void Drop(const std::vector<std::string>& paths);

  TProgressTexts Texts();
  // What the run did, in one line: files converted, skipped and failed,
  // megabytes written and how long it took.
  std::string SummaryText() const;
  static std::string InProgressName(const TFileInProgress& file);
  static std::string InProgressLine(const TFileInProgress& file, int jobs);
  std::string StatusText();
  CConversionRun* Run() { return run_.get(); }
  bool Ended() const { return ended_; }
  bool Cancelled() const { return cancelled_; }
  bool Cancelling() const { return cancelling_; }
  // Files of this run that did not convert (failed, or not tried after a cancel).
  int NotConverted() const;

  // IRunWindow, on the worker's thread.
  void PostQuestion(int question, int parameter) override;
  // IPlaylistChooser, on the window's thread.
  std::vector<std::string> ChooseEntries(const TPlaylistQuestion& question) override;

 private:
  void Tick();
  void ReportUnavailableTargets();
  void ShowNames();
  TPrompt QuestionPrompt(int question, const std::string& source, const std::string& target) const;
  void Answer(int question);
  void EndRun();
  bool AllTried() const;

  CPreferences& prefs_;
  IPrompter& prompter_;
  IProgressView& view_;
  IEngineServices* engine_ = nullptr;
  std::function<void()> showOptions_;
  std::unique_ptr<CConversionRun> run_;
  std::atomic<int> question_{0};
  std::chrono::steady_clock::time_point nextTick_, started_;
  // A prompt is open: the loop that runs meanwhile only updates the texts.
  bool prompting_ = false;
  bool ended_ = false;
  bool cancelled_ = false;
  bool cancelling_ = false;
  bool deleteConverted_ = false;
};
