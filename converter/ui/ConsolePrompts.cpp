#include "converter/ui/ConsolePrompts.h"

#include <cctype>
#include <cstdlib>

#include "converter/prefs/Preferences.h"
#include "converter/ui/ErrorLog.h"
#include "platform/os/Terminal.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {
// Texts come with "\r\n" line ends from the error log and Windows-minded
// translators; the terminal wants plain line feeds.
std::string Lines(std::string s) {
  std::string out;
  for (char c : s)
    if (c != '\r') out.push_back(c);
  return out;
}
}  // namespace

CConsolePrompts::CConsolePrompts(CPreferences* preferences, bool interactive)
    : preferences_(preferences), interactive_(interactive) {}

void CConsolePrompts::Say(const std::string& text) { os::WriteError(Lines(text) + "\n"); }

void CConsolePrompts::ShowErrorMessage(const char* key) {
  Say("sonoduct: " + LoadKeyedString(key).substr(0, 2048));
}

void CConsolePrompts::ShowInfoMessage(const char* key) {
  Say(LoadKeyedString(key).substr(0, 2048));
}

int CConsolePrompts::Ask(TPrompt& prompt) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (beforeQuestion_) beforeQuestion_();
  std::string text = prompt.title.empty() ? prompt.text : prompt.title + ": " + prompt.text;
  if (!interactive_) {
    int answer = prompt.safeAnswer;
    std::string label;
    for (const TPromptChoice& c : prompt.choices)
      if (c.id == answer) label = c.label;
    Say(text + (label.empty() ? "" : " -> " + label));
    return answer;
  }
  for (;;) {
    std::string menu = Lines(text) + "\n";
    for (size_t i = 0; i < prompt.choices.size(); ++i)
      menu += "  " + std::to_string(i + 1) + ") " + prompt.choices[i].label + "\n";
    if (prompt.box != kBoxNone)
      menu += "  a) [" + std::string(prompt.boxChecked ? "x" : " ") + "] " + prompt.boxLabel + "\n";
    menu += "> ";
    os::WriteError(menu);
    std::string line;
    if (!os::ReadInputLine(&line)) return prompt.safeAnswer;  // input ended
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    if (prompt.box != kBoxNone && (line == "a" || line == "A")) {
      prompt.boxChecked = !prompt.boxChecked;
      continue;
    }
    char* end = nullptr;
    long n = std::strtol(line.c_str(), &end, 10);
    if (end && *end == 0 && n >= 1 && n <= static_cast<long>(prompt.choices.size()))
      return prompt.choices[static_cast<size_t>(n - 1)].id;
  }
}

bool CConsolePrompts::AskConvertWaveToWave(const std::string& name) {
  TPrompt p;
  p.title = LoadKeyedString("CFE_ConversionWarning").substr(0, 128);
  p.text = LoadFormatted("CFE_NoNonWaveEncoders", name).substr(0, 1024);
  p.choices = {{kButtonYes, "Yes"}, {kButtonSkip, "No"}};
  p.safeAnswer = kButtonYes;
  return Ask(p) == kButtonYes;
}

int CConsolePrompts::ShowHowTo() {
  TPrompt p = BuildPrompt(kPromptHowTo, "");
  Say(p.title + "\n" + p.text);
  Say("Usage: sonoduct [-C|-3|-M] FILE...   (-C WAV, -3 MP3, -M WMA)");
  return 1;
}

int CConsolePrompts::ErrorCount() { return ErrorLog().Count(); }

int CConsolePrompts::ShowErrorDetails() {
  TPrompt p = BuildPrompt(kPromptErrorDetails, ErrorLog().Text());
  p.title = LoadFormatted("CED_Title", ErrorLog().Count());
  Say(p.title + "\n" + LoadKeyedString("CED_ErrMess1") + "\n" + ErrorLog().Text());
  return 1;
}

bool CConsolePrompts::AskOpenDecodeDirectory() {
  TPrompt p = BuildPrompt(kPromptOpenDecode, "");
  int answer = Ask(p);
  ApplyPromptAnswer(p, answer, preferences_);
  return answer == kButtonOk;
}

// Without a display there is no file manager to open; the folder is named instead.
int CConsolePrompts::OpenFolder(const std::string& folder) {
  Say(folder);
  return 1;
}
