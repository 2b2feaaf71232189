// The converter's small questions and messages as plain data: texts, choices
// and what each answer does to the preferences. A front-end (the terminal
// here, a window later) only shows them and hands back the answer.
#pragma once

#include <functional>
#include <string>
#include <vector>

class CPreferences;

// Dialog and button identifiers; the answers are the button identifiers.
enum TPromptResource {
  kPromptHowTo = 103,
  kPromptOverwrite = 129,
  kPromptErrorDetails = 138,
  kPromptOpenDecode = 140,
  kPromptInfo = 207,
  kPromptError = 208,
  kPromptDiskFull = 209,
  kPromptSilent = 218,
  kPromptPartial = 219
};

enum TPromptButton {
  kButtonOk = 1,  // also Open in the open-decode question
  kButtonCancel = 2,
  kButtonYes = 1003,
  kButtonYesAll = 1007,
  kButtonSkip = 1024,
  kButtonSkipAll = 1027,
  kButtonContinue = 1032,
  kButtonNewDir = 1036,
  kButtonOptions = 1017,
  kButtonHelp = 1076
};

enum TPromptBoxId {
  kBoxNone = 0,
  kBoxAlwaysOverwrite = 1025,
  kBoxDontShowErrors = 1049,
  kBoxAlwaysOpen = 1051,
  kBoxAlwaysConvertIncomplete = 1175
};

// The icon beside a prompt's text.
// Program: the program's own icon (the how-to dialog points at it).
enum class TPromptIcon { None, Information, Warning, Question, Program };

// Help pages, in the program's help folder.
inline constexpr const char* kHelpContents = "index.html";
inline constexpr const char* kHelpProgress = "progress.html";
inline constexpr const char* kHelpQuestions = "questions.html";
inline constexpr const char* kHelpErrors = "errorlog.html";
inline constexpr const char* kHelpHowTo = "howto.html";

struct TPromptChoice {
  int id;
  std::string label;
  // A choice that does not close the prompt (Options and Help of the how-to
  // dialog) is handed to the prompt's onAction instead.
  bool closes = true;
};

struct TPrompt {
  int resource = 0;
  std::string title;
  std::string text;
  std::vector<TPromptChoice> choices;
  int box = kBoxNone;
  std::string boxLabel;
  bool boxChecked = false;
  // The answer when nobody can be asked: never overwrite, never lose data.
  int safeAnswer = kButtonCancel;
  TPromptIcon icon = TPromptIcon::Question;
  // Further texts shown below the main one (the error details' two notes).
  std::vector<std::string> notes;
  // The text is a log to show in a scrolling, read-only box.
  bool logText = false;
  // The button that Return presses, and the answer of Escape and of the
  // window's close box.
  int defaultButton = 0;
  int escapeButton = kButtonCancel;
  // The help page for F1; empty when the prompt has none.
  std::string helpPage;
  std::function<void(int)> onAction;
};

// The prompt of a resource with its texts from the converter's strings file;
// text is the message (already formatted by the caller where it has one).
TPrompt BuildPrompt(int resource, const std::string& text);
// What an answer changes in the preferences (the boxes).
void ApplyPromptAnswer(const TPrompt& prompt, int answer, CPreferences* preferences);
