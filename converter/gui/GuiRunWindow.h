// Conversion runs in the progress window: each run shows the window modally
// until every queued file was tried or the user cancelled.
#pragma once

#include "converter/app/IConversionRun.h"

class CPreferences;
class CQtPrompter;
class IEngineServices;

class CGuiRunWindow : public IConversionRun {
 public:
  CGuiRunWindow(CPreferences& preferences, CQtPrompter& prompter, IEngineServices* engine);

  int Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
              uint32_t& nextEntry) override;
  bool UserCancelled() const override { return cancelled_; }
  int FailedCount() const { return failed_; }
  bool StartFailed() const { return startFailed_; }

 private:
  CPreferences& prefs_;
  CQtPrompter& prompter_;
  IEngineServices* engine_;
  bool cancelled_ = false;
  bool startFailed_ = false;
  int failed_ = 0;
};
