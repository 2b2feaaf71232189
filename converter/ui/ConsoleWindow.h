// The progress window's part for runs without a display: it starts the run,
// shows which file goes where with the overall progress on a status line
// (rewritten in place on a terminal, one line per file otherwise), answers
// the worker's questions on the terminal (or with their safe answers), runs
// the Cancel command on Ctrl+C, and ends the run when every file was tried.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "converter/app/IConversionRun.h"
#include "converter/run/IRunWindow.h"
#include "converter/ui/PromptModel.h"

class CConsolePrompts;
class CConversionRun;
class CPreferences;

class CConsoleWindow : public IConversionRun, public IRunWindow {
 public:
  CConsoleWindow(CPreferences& preferences, CConsolePrompts& prompts);

  int Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
              uint32_t& nextEntry) override;
  bool UserCancelled() const override { return cancelled_; }
  void PostQuestion(int question, int parameter) override;

  // Files of all runs that did not convert (failed, or not tried after a cancel).
  int FailedCount() const { return failed_; }
  bool StartFailed() const { return startFailed_; }
  std::string StatusText(CConversionRun& run) const;

 private:
  void Tick(CConversionRun& run);
  void ShowNames(CConversionRun& run);
  void ShowStatus(CConversionRun& run);
  void ReportUnavailableTargets(CConversionRun& run);
  TPrompt QuestionPrompt(int question, const std::string& source, const std::string& target) const;
  void Answer(CConversionRun& run, int question);
  // The Cancel command; true when the run is to end.
  bool Cancel(CConversionRun& run);
  void EndRun(CConversionRun& run);
  // Every queued file was tried and none is in hand.
  bool AllTried(CConversionRun& run) const;
  void ClearLine();
  void Show(const std::string& line);

  CPreferences& prefs_;
  CConsolePrompts& prompts_;
  std::atomic<int> question_{0};
  bool terminal_;
  bool lineShown_ = false;
  bool deleteConverted_ = false;
  bool ended_ = false;
  bool cancelled_ = false;
  std::string lastTargetShown_;
  int lastNumberShown_ = 0;
  int failed_ = 0;
  bool startFailed_ = false;
};
