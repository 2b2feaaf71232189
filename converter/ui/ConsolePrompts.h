// The prompts on the terminal, for runs without a display. When standard
// input is not a terminal nobody can answer, and each question gets its safe
// answer: never overwrite, never delete, stop when the disk is almost full,
// skip silent sources, convert songs that end early.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "converter/ui/IPrompter.h"

class CConsolePrompts : public IPrompter {
 public:
  // interactive: questions are asked on the terminal; otherwise safe answers.
  explicit CConsolePrompts(bool interactive);

  // A prompt with one way to close it is a message: it is printed, not asked.
  int Ask(TPrompt& prompt) override;
  // Lists the entries and asks once about all of them; without anyone to
  // answer, all are converted.
  bool ChoosePlaylist(CPlaylistChoice& choice) override;
  // Without a display there is no file manager: the folder is named instead.
  int OpenFolder(const std::string& folder) override;
  // Names the page's file, for a browser of the user's choice.
  int ShowHelp(const std::string& page) override;

  // Writes a message line (also used by the progress display to get a clean line).
  void Say(const std::string& text);
  // Called before a question is printed, so that a status line can step aside.
  void SetBeforeQuestion(std::function<void()> hook) { beforeQuestion_ = std::move(hook); }
  bool Interactive() const { return interactive_; }

 private:
  bool interactive_;
  std::function<void()> beforeQuestion_;
  std::mutex mutex_;
};
