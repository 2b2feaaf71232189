// Where the converter's prompts are shown: dialogs on a desktop, the
// terminal without one, a script in tests. The prompts themselves (texts,
// choices, what the boxes change) are the plain data of PromptModel.h.
#pragma once

#include <string>

#include "converter/ui/PromptModel.h"

class CPlaylistChoice;

class IPrompter {
 public:
  virtual ~IPrompter() = default;
  // Shows the prompt modally and returns the identifier of the button that
  // closed it (the escape button for Escape or the close box; -1 when it could
  // not be shown). The box state the user left is stored in prompt.boxChecked.
  virtual int Ask(TPrompt& prompt) = 0;
  // Shows the entries of a playlist for the user to choose from; true for
  // OK (the choice then holds what to queue), false for Cancel.
  virtual bool ChoosePlaylist(CPlaylistChoice& choice) = 0;
  // Opens a folder in the desktop's file manager; 1 when that was done.
  virtual int OpenFolder(const std::string& folder) = 0;
  // Opens one of the help pages; 1 when it was opened.
  virtual int ShowHelp(const std::string& page) = 0;
};
