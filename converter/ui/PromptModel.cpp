#include "converter/ui/PromptModel.h"

#include "converter/prefs/Preferences.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {
std::string Text(const char* key, size_t max = 512) {
  std::string s = LoadKeyedString(key);
  if (s.size() > max) s.resize(max);
  return s;
}
}  // namespace

TPrompt BuildPrompt(int resource, const std::string& text) {
  TPrompt p;
  p.resource = resource;
  p.text = text.substr(0, 2048);
  switch (resource) {
    case kPromptOverwrite:
      p.title = Text("OF_Title");
      p.choices = {{kButtonYes, Text("OF_Yes")},
                   {kButtonYesAll, Text("OF_YesAll")},
                   {kButtonSkip, Text("OF_No")},
                   {kButtonSkipAll, Text("OF_NoAll")},
                   {kButtonCancel, Text("Cancel")}};
      p.box = kBoxAlwaysOverwrite;
      p.boxLabel = Text("OF_Always");
      p.safeAnswer = kButtonSkip;
      p.defaultButton = kButtonSkip;  // Return never replaces a file by accident
      p.helpPage = kHelpQuestions;
      break;
    case kPromptSilent:
    case kPromptPartial:
      p.title = Text("CA_Title", 256);
      p.choices = {{kButtonYes, Text("CA_Yes", 256)},
                   {kButtonSkip, Text("CA_No", 256)},
                   {kButtonCancel, Text("Cancel", 256)}};
      if (resource == kPromptPartial) {
        p.box = kBoxAlwaysConvertIncomplete;
        p.boxLabel = Text("CPF_Always");
        p.safeAnswer = kButtonYes;  // a song that ends early is still the user's music
      } else {
        p.safeAnswer = kButtonSkip;
      }
      p.defaultButton = p.safeAnswer;
      p.helpPage = kHelpQuestions;
      break;
    case kPromptDiskFull:
      p.title = Text("HDF_Title");
      if (p.text.empty()) p.text = Text("HDF_Message");
      p.choices = {{kButtonNewDir, Text("HDF_NewDir")},
                   {kButtonContinue, Text("HDF_Continue")},
                   {kButtonCancel, Text("HDF_QuitNow")}};
      p.safeAnswer = kButtonCancel;
      p.defaultButton = kButtonNewDir;
      p.icon = TPromptIcon::Warning;
      p.helpPage = kHelpQuestions;
      break;
    case kPromptHowTo:
      p.title = FormatKeyed("HT_Title", Text("HT_Title"), {Text("ProgramName", 256)});
      if (p.text.empty()) p.text = Text("HT_Mess");
      p.notes = {Text("HT_Explanation"), Text("HT_Icon")};
      p.choices = {{kButtonOptions, Text("HT_Options"), false},
                   {kButtonHelp, Text("HT_Help"), false},
                   {kButtonOk, Text("HT_OK")}};
      p.safeAnswer = p.defaultButton = p.escapeButton = kButtonOk;
      p.icon = TPromptIcon::Program;
      p.helpPage = kHelpHowTo;
      break;
    case kPromptOpenDecode:
      p.title = Text("ODD_Title");
      if (p.text.empty()) p.text = Text("ODD_Mess1");
      p.notes = {Text("ODD_Mess2")};
      p.choices = {{kButtonOk, Text("ODD_Open")}, {kButtonCancel, Text("ODD_Quit")}};
      p.box = kBoxAlwaysOpen;
      p.boxLabel = Text("ODD_Always");
      p.boxChecked = true;
      p.safeAnswer = kButtonCancel;
      p.defaultButton = kButtonOk;
      break;
    case kPromptErrorDetails:
      p.title = FormatKeyed("CED_Title", Text("CED_Title"), {0});
      p.notes = {Text("CED_ErrMess1"), Text("CED_ErrMess2")};
      p.choices = {{kButtonOk, Text("OK", 64)}};
      p.box = kBoxDontShowErrors;
      p.boxLabel = Text("CED_DontShow");
      p.safeAnswer = p.defaultButton = p.escapeButton = kButtonOk;
      p.logText = true;
      p.icon = TPromptIcon::Warning;
      p.helpPage = kHelpErrors;
      break;
    case kPromptInfo:
    case kPromptError:
      p.title = Text("ProgramName", 256);
      p.choices = {{kButtonOk, Text("OK", 64)}};
      p.safeAnswer = p.defaultButton = p.escapeButton = kButtonOk;
      p.icon = resource == kPromptInfo ? TPromptIcon::Information : TPromptIcon::Warning;
      break;
    default:
      p.choices = {{kButtonOk, "OK"}};
      p.safeAnswer = p.defaultButton = p.escapeButton = kButtonOk;
      break;
  }
  return p;
}

void ApplyPromptAnswer(const TPrompt& prompt, int answer, CPreferences* prefs) {
  if (!prefs) return;
  switch (prompt.box) {
    case kBoxAlwaysOverwrite:
      if (prompt.boxChecked && (answer == kButtonYes || answer == kButtonYesAll ||
                                answer == kButtonSkip || answer == kButtonSkipAll))
        prefs->promptForOverWrites = 0;
      break;
    case kBoxAlwaysConvertIncomplete:
      if (prompt.boxChecked && (answer == kButtonYes || answer == kButtonSkip))
        prefs->warnAboutIncompleteSongs = 0;
      break;
    case kBoxAlwaysOpen:
      prefs->openDecodeOnExit = prompt.boxChecked ? 1 : 0;
      break;
    case kBoxDontShowErrors:
      prefs->showErrorsAtEnd = prompt.boxChecked ? 0 : 1;
      break;
    default:
      break;
  }
}
