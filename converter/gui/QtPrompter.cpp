#include "converter/gui/QtPrompter.h"

#include <QProcess>

#include "converter/gui/PromptDialog.h"
#include "utilities/strings/StringsFileLocation.h"

int CQtPrompter::Ask(TPrompt& prompt) {
  CPromptDialog dialog(prompt, this, owner_);
  return dialog.exec();
}

// TODO(launch): the platform's detached launcher.
int CQtPrompter::OpenFolder(const std::string& folder) {
  return QProcess::startDetached("xdg-open", {QString::fromStdString(folder)}) ? 1 : 0;
}

int CQtPrompter::ShowHelp(const std::string& page) {
  std::string path = FindHelpPage(page);
  return !path.empty() && QProcess::startDetached("xdg-open", {QString::fromStdString(path)}) ? 1
                                                                                              : 0;
}
