#include "converter/ui/Prompts.h"

#include "converter/prefs/Preferences.h"
#include "converter/ui/ErrorLog.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

TPrompt MessagePrompt(int resource, const std::string& text) {
  return BuildPrompt(resource, text.substr(0, 2048));
}

TPrompt WaveToWavePrompt(const std::string& name) {
  TPrompt p;
  p.title = LoadKeyedString("CFE_ConversionWarning").substr(0, 128);
  p.text = LoadFormatted("CFE_NoNonWaveEncoders", name).substr(0, 1024);
  p.choices = {{kButtonYes, LoadKeyedString("Yes")}, {kButtonSkip, LoadKeyedString("No")}};
  p.safeAnswer = p.defaultButton = kButtonYes;
  p.escapeButton = kButtonSkip;
  p.icon = TPromptIcon::Warning;
  return p;
}

void ShowHelpOrSay(IPrompter& prompter, const std::string& page) {
  if (prompter.ShowHelp(page)) return;
  TPrompt missing = MessagePrompt(kPromptError, LoadKeyedString("MHF_Missing").substr(0, 256));
  prompter.Ask(missing);
}

CPrompts::CPrompts(IPrompter& prompter, CPreferences* preferences)
    : prompter_(prompter), preferences_(preferences) {}

void CPrompts::ShowErrorMessage(const char* key) {
  TPrompt p = MessagePrompt(kPromptError, LoadKeyedString(key));
  prompter_.Ask(p);
}

void CPrompts::ShowInfoMessage(const char* key) {
  TPrompt p = MessagePrompt(kPromptInfo, LoadKeyedString(key));
  prompter_.Ask(p);
}

bool CPrompts::AskConvertWaveToWave(const std::string& name) {
  TPrompt p = WaveToWavePrompt(name);
  return prompter_.Ask(p) == kButtonYes;
}

int CPrompts::ShowHowTo() {
  TPrompt p = BuildPrompt(kPromptHowTo, "");
  p.onAction = [this](int button) {
    if (button == kButtonOptions && showOptions_) showOptions_();
    if (button == kButtonHelp) ShowHelpOrSay(prompter_, kHelpContents);
  };
  return prompter_.Ask(p) >= 0 ? 1 : 0;
}

int CPrompts::ErrorCount() { return ErrorLog().Count(); }

int CPrompts::ShowErrorDetails() {
  TPrompt p = BuildPrompt(kPromptErrorDetails, ErrorLog().Text());
  p.title = LoadFormatted("CED_Title", ErrorLog().Count());
  p.boxChecked = preferences_ && preferences_->showErrorsAtEnd == 0;
  int answer = prompter_.Ask(p);
  if (answer < 0) return 0;
  // OK and the close box both keep the box's state.
  ApplyPromptAnswer(p, kButtonOk, preferences_);
  return 1;
}

bool CPrompts::AskOpenDecodeDirectory() {
  TPrompt p = BuildPrompt(kPromptOpenDecode, "");
  int answer = prompter_.Ask(p);
  ApplyPromptAnswer(p, answer, preferences_);
  return answer == kButtonOk;
}

int CPrompts::OpenFolder(const std::string& folder) { return prompter_.OpenFolder(folder); }
