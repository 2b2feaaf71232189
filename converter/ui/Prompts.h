// The messages and questions of the program's entry, over one prompter.
#pragma once

#include <functional>
#include <string>

#include "converter/app/IPrompts.h"
#include "converter/ui/IPrompter.h"

class CPreferences;

class CPrompts : public IPrompts {
 public:
  CPrompts(IPrompter& prompter, CPreferences* preferences);

  // The how-to dialog's Options button.
  void SetShowOptions(std::function<void()> show) { showOptions_ = std::move(show); }

  void ShowErrorMessage(const char* key) override;
  void ShowInfoMessage(const char* key) override;
  bool AskConvertWaveToWave(const std::string& name) override;
  int ShowHowTo() override;
  int ErrorCount() override;
  int ShowErrorDetails() override;
  bool AskOpenDecodeDirectory() override;
  int OpenFolder(const std::string& folder) override;

  IPrompter& Prompter() { return prompter_; }

 private:
  IPrompter& prompter_;
  CPreferences* preferences_;
  std::function<void()> showOptions_;
};

// A keyed message as a prompt (207 information, 208 error).
TPrompt MessagePrompt(int resource, const std::string& text);
// The WAV-to-WAV question (no MP3 or WMA encoder is available).
TPrompt WaveToWavePrompt(const std::string& name);
// Opens a help page, or says that it is missing.
void ShowHelpOrSay(IPrompter& prompter, const std::string& page);
