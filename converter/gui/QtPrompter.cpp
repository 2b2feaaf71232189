#include "converter/gui/QtPrompter.h"

#include <thread>

#include "converter/gui/PromptDialog.h"
#include "platform/os/Spawn.h"
#include "utilities/strings/StringsFileLocation.h"
#include "utilities/ui/LaunchBrowser.h"

int CQtPrompter::Ask(TPrompt& prompt) {
  CPromptDialog dialog(prompt, this, owner_);
  return dialog.exec();
}

int CQtPrompter::OpenFolder(const std::string& folder) { return os::OpenInDesktop(folder) ? 1 : 0; }

// The browser is started beside the window's thread: a browser that starts
// fresh takes a moment to tell whether it came up, and the window must not
// stand still meanwhile.
int CQtPrompter::ShowHelp(const std::string& page) {
  std::string path = FindHelpPage(page);
  if (path.empty()) return 0;
  std::thread([path] { LaunchBrowser(path.c_str()); }).detach();
  return 1;
}
