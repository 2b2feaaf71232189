// The progress window for runs without a display: which file goes where, one
// line per file, and the overall progress on a status line rewritten in place
// on a terminal; the questions on the terminal (or with their safe answers);
// Ctrl+C runs the Cancel command.
#pragma once

#include <string>
#include <vector>

#include "converter/app/IConversionRun.h"
#include "converter/ui/ProgressController.h"

class CConsolePrompts;

// The first code points of a UTF-8 line that fit that many columns.
std::string FitColumns(const std::string& line, int columns);
class CPreferences;

class CConsoleWindow : public IConversionRun, public IProgressView {
 public:
  CConsoleWindow(CPreferences& preferences, CConsolePrompts& prompts);

  int Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
              uint32_t& nextEntry) override;
  bool UserCancelled() const override { return cancelled_; }

  // Files of all runs that did not convert (failed, or not tried after a cancel).
  int FailedCount() const { return failed_; }
  bool StartFailed() const { return startFailed_; }

  void ShowNamed(const TNamedTarget& named) override;
  void ShowProgress(const TProgressTexts& texts) override;
  void ShowNotice(const std::string& text) override;

 private:
  void ClearLine();
  void Show(const std::string& line);

  CPreferences& prefs_;
  CConsolePrompts& prompts_;
  bool terminal_;
  bool lineShown_ = false;
  bool cancelled_ = false;
  std::string lastTargetShown_;
  int lastNumberShown_ = 0;
  int failed_ = 0;
  bool startFailed_ = false;
};
