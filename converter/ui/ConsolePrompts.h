// The questions and messages on the terminal, for runs without a display.
// When standard input is not a terminal nobody can answer, and each question
// gets its safe answer: never overwrite, never delete, stop when the disk is
// almost full, skip silent sources, convert songs that end early.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "converter/app/IPrompts.h"
#include "converter/ui/PromptModel.h"

class CPreferences;

class CConsolePrompts : public IPrompts {
 public:
  // interactive: questions are asked on the terminal; otherwise safe answers.
  CConsolePrompts(CPreferences* preferences, bool interactive);

  void ShowErrorMessage(const char* key) override;
  void ShowInfoMessage(const char* key) override;
  // Without anyone to answer, Yes: a WAV file named for conversion is
  // converted to WAV when no other encoder exists.
  bool AskConvertWaveToWave(const std::string& name) override;
  int ShowHowTo() override;
  int ErrorCount() override;
  int ShowErrorDetails() override;
  bool AskOpenDecodeDirectory() override;
  int OpenFolder(const std::string& folder) override;

  // Shows a prompt and returns the answer (a button identifier); the prompt's
  // box state is updated when the user toggles it.
  int Ask(TPrompt& prompt);
  // Writes a message line (also used by the progress display to get a clean line).
  void Say(const std::string& text);
  // Called before a question is printed, so that a status line can step aside.
  void SetBeforeQuestion(std::function<void()> hook) { beforeQuestion_ = std::move(hook); }
  bool Interactive() const { return interactive_; }

 private:
  CPreferences* preferences_;
  bool interactive_;
  std::function<void()> beforeQuestion_;
  std::mutex mutex_;
};
