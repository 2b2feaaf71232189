// The prompts as dialogs over the progress window (or over nothing before
// and after a run); folders and help pages open through the desktop.
#pragma once

#include <QPointer>
#include <QWidget>

#include "converter/ui/IPrompter.h"

class CQtPrompter : public IPrompter {
 public:
  int Ask(TPrompt& prompt) override;
  bool ChoosePlaylist(CPlaylistChoice& choice) override;
  int OpenFolder(const std::string& folder) override;
  int ShowHelp(const std::string& page) override;

  // The window that owns the dialogs while it is there.
  void SetOwner(QWidget* owner) { owner_ = owner; }

 private:
  QPointer<QWidget> owner_;
};
