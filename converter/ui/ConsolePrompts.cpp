#include "converter/ui/ConsolePrompts.h"

#include <cctype>
#include <cstdlib>

#include "converter/app/LongOptions.h"
#include "converter/ui/PlaylistChoice.h"
#include "platform/os/Terminal.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {
// Texts come with "\r\n" line ends from the error log and Windows-minded
// translators; the terminal wants plain line feeds.
std::string Lines(const std::string& s) {
  std::string out;
  for (char c : s)
    if (c != '\r') out.push_back(c);
  return out;
}

std::string Joined(const TPrompt& p) {
  std::string text = p.title.empty() ? p.text : p.title + ": " + p.text;
  if (p.logText) {
    // The log sits between the note that introduces it and the others.
    text = p.title;
    for (size_t i = 0; i < p.notes.size(); ++i) {
      text += "\n" + p.notes[i];
      if (i == 0) text += "\n" + p.text;
    }
    if (p.notes.empty()) text += "\n" + p.text;
    return text;
  }
  for (const std::string& note : p.notes) text += "\n" + note;
  return text;
}
}  // namespace

CConsolePrompts::CConsolePrompts(bool interactive) : interactive_(interactive) {}

void CConsolePrompts::Say(const std::string& text) { os::WriteError(Lines(text) + "\n"); }

int CConsolePrompts::Ask(TPrompt& prompt) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (beforeQuestion_) beforeQuestion_();
  std::string text = Joined(prompt);
  int closing = 0, only = kButtonOk;
  for (const TPromptChoice& c : prompt.choices)
    if (c.closes) ++closing, only = c.id;
  if (prompt.resource == kPromptHowTo) text += "\n\n" + UsageText();
  if (closing <= 1) {
    Say((prompt.resource == kPromptError ? "sonoduct: " : "") +
        (prompt.resource == kPromptError || prompt.resource == kPromptInfo ? prompt.text : text));
    return only;
  }
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
    if (!(end && *end == 0 && n >= 1 && n <= static_cast<long>(prompt.choices.size()))) continue;
    const TPromptChoice& choice = prompt.choices[static_cast<size_t>(n - 1)];
    if (choice.closes) return choice.id;
    if (prompt.onAction) prompt.onAction(choice.id);
  }
}

bool CConsolePrompts::ChoosePlaylist(CPlaylistChoice& choice) {
  std::string list;
  for (int i = 0; i < choice.Count(); ++i) list += "  " + choice.RowText(i) + "\n";
  TPrompt p;
  p.title = LoadKeyedString("PL_Title").substr(0, 512);
  p.text = list + choice.RequiredText() + ", " + choice.AvailableText() + "\n" +
           LoadFormatted("PL_AskConsole", choice.CheckedCount(), choice.Playlist()).substr(0, 1024);
  p.choices = {{kButtonYes, LoadKeyedString("Yes").substr(0, 64)},
               {kButtonSkip, LoadKeyedString("No").substr(0, 64)}};
  p.safeAnswer = p.defaultButton = kButtonYes;
  p.escapeButton = kButtonSkip;
  return Ask(p) == kButtonYes;
}

int CConsolePrompts::OpenFolder(const std::string& folder) {
  Say(folder);
  return 1;
}

int CConsolePrompts::ShowHelp(const std::string& page) {
  std::string path = FindHelpPage(page.substr(0, page.find('#')));
  if (path.empty()) return 0;
  Say(path);
  return 1;
}
