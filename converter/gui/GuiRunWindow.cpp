#include "converter/gui/GuiRunWindow.h"

#include "converter/gui/ProgressWindow.h"
#include "converter/ui/ErrorLog.h"

CGuiRunWindow::CGuiRunWindow(CPreferences& preferences, CQtPrompter& prompter,
                             IEngineServices* engine)
    : prefs_(preferences), prompter_(prompter), engine_(engine) {}

int CGuiRunWindow::Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel& channel,
                           uint32_t& nextEntry) {
  CProgressWindow window(prefs_, prompter_, engine_);
  if (showOptions_) window.Controller().SetShowOptions(showOptions_);
  cancelled_ = false;
  if (!window.Begin(queue, channel, nextEntry)) {
    startFailed_ = true;
    return -1;
  }
  window.exec();
  CProgressController& controller = window.Controller();
  // The window closes when the run has ended; should it close otherwise, the
  // file in progress is abandoned and the worker ends.
  if (controller.Run()->IsRunning()) {
    controller.Run()->quit = true;
    controller.Run()->Stop();
  }
  int converted = controller.Finish(nextEntry);
  cancelled_ = controller.Cancelled();
  failed_ += controller.NotConverted();
  if (ErrorLog().Count() > 0 && failed_ == 0) failed_ = ErrorLog().Count();
  return converted;
}
