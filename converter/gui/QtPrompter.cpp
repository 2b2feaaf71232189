#include "converter/gui/QtPrompter.h"

#include <QUrl>
#include <thread>

#include "converter/gui/PlaylistDialog.h"
#include "converter/gui/PromptDialog.h"
#include "platform/os/Spawn.h"
#include "utilities/strings/StringsFileLocation.h"
#include "utilities/ui/LaunchBrowser.h"

int CQtPrompter::Ask(TPrompt& prompt) {
  CPromptDialog dialog(prompt, this, owner_);
  return dialog.exec();
}

bool CQtPrompter::ChoosePlaylist(CPlaylistChoice& choice) {
  CPlaylistDialog dialog(choice, owner_);
  return dialog.exec() == QDialog::Accepted;
}

int CQtPrompter::OpenFolder(const std::string& folder) { return os::OpenInDesktop(folder) ? 1 : 0; }

// The browser is started beside the window's thread: a browser that starts
// fresh takes a moment to tell whether it came up, and the window must not
// stand still meanwhile.
// A page may name a place in it ("options.html#mp3"); the browser then gets
// the page's address with that place.
int CQtPrompter::ShowHelp(const std::string& page) {
  size_t hash = page.find('#');
  std::string path = FindHelpPage(page.substr(0, hash));
  if (path.empty()) return 0;
  std::string target = path;
  if (hash != std::string::npos) {
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
    url.setFragment(QString::fromStdString(page.substr(hash + 1)));
    target = url.toString(QUrl::FullyEncoded).toStdString();
  }
  std::thread([target] { LaunchBrowser(target.c_str()); }).detach();
  return 1;
}
