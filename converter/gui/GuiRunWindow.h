// Conversion runs in the progress window: each run shows the window modally
// until every queued file was tried or the user cancelled.
#pragma once

#include <functional>

#include "converter/app/IConversionRun.h"

class CPreferences;
class CQtPrompter;
class IEngineServices;

class CGuiRunWindow : public IConversionRun {
 public:
  CGuiRunWindow(CPreferences& preferences, CQtPrompter& prompter, IEngineServices* engine);

  // The Options sheet, for the Options button and the disk-full question.
  void SetShowOptions(std::function<void()> show) { showOptions_ = std::move(show); }

  int Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
              uint32_t& nextEntry) override;
  bool UserCancelled() const override { return cancelled_; }
  int FailedCount() const { return failed_; }
  bool StartFailed() const { return startFailed_; }

 private:
  CPreferences& prefs_;
  CQtPrompter& prompter_;
  IEngineServices* engine_;
  std::function<void()> showOptions_;
  bool cancelled_ = false;
  bool startFailed_ = false;
  int failed_ = 0;
};
