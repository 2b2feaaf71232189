#include <gtest/gtest.h>

#include "converter/prefs/Preferences.h"
#include "converter/ui/ConsolePrompts.h"
#include "converter/ui/ErrorLog.h"
#include "converter/ui/PromptModel.h"
#include "converter/ui/Prompts.h"
#include "tests/TestSupport.h"
#include "utilities/strings/StringFile.h"

namespace {

class Prompts : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string strings = testsupport::SourceDir() + "/converter/sonoduct-strings.ini";
    SetStringFile(strings.c_str());
  }
};

TEST_F(Prompts, UnansweredQuestionsTakeTheSafeAnswers) {
  CPreferences prefs;
  CConsolePrompts prompter(false);
  CPrompts console(prompter, &prefs);
  TPrompt overwrite = BuildPrompt(kPromptOverwrite, "a.wav exists");
  EXPECT_EQ(prompter.Ask(overwrite), kButtonSkip);
  TPrompt disk = BuildPrompt(kPromptDiskFull, "");
  EXPECT_EQ(prompter.Ask(disk), kButtonCancel);
  EXPECT_FALSE(disk.text.empty());
  TPrompt silent = BuildPrompt(kPromptSilent, "silent");
  EXPECT_EQ(prompter.Ask(silent), kButtonSkip);
  TPrompt partial = BuildPrompt(kPromptPartial, "partial");
  EXPECT_EQ(prompter.Ask(partial), kButtonYes);
  EXPECT_TRUE(console.AskConvertWaveToWave("/x/a.wav"));
  EXPECT_FALSE(console.AskOpenDecodeDirectory());
  EXPECT_EQ(overwrite.title, "File Already Exists");
}

TEST_F(Prompts, BoxesChangeThePreferences) {
  CPreferences prefs;
  TPrompt overwrite = BuildPrompt(kPromptOverwrite, "");
  overwrite.boxChecked = true;
  ApplyPromptAnswer(overwrite, kButtonSkip, &prefs);  // Skip still turns the question off
  EXPECT_EQ(prefs.promptForOverWrites, 0u);
  TPrompt open = BuildPrompt(kPromptOpenDecode, "");
  EXPECT_TRUE(open.boxChecked);
  open.boxChecked = false;
  ApplyPromptAnswer(open, kButtonOk, &prefs);
  EXPECT_EQ(prefs.openDecodeOnExit, 0u);
  TPrompt partial = BuildPrompt(kPromptPartial, "");
  partial.boxChecked = true;
  ApplyPromptAnswer(partial, kButtonCancel, &prefs);
  EXPECT_EQ(prefs.warnAboutIncompleteSongs, 1u);  // Cancel answers nothing
  ApplyPromptAnswer(partial, kButtonYes, &prefs);
  EXPECT_EQ(prefs.warnAboutIncompleteSongs, 0u);
  TPrompt details = BuildPrompt(kPromptErrorDetails, "");
  details.boxChecked = true;
  ApplyPromptAnswer(details, kButtonOk, &prefs);
  EXPECT_EQ(prefs.showErrorsAtEnd, 0u);
}

TEST_F(Prompts, ErrorLogKeepsLinesAndCount) {
  CErrorLog log;
  log.Add("one");
  log.Add("two");
  log.Add("three");
  EXPECT_EQ(log.Count(), 3);
  EXPECT_EQ(log.Text(), "one\r\ntwo\r\nthree");
}

}  // namespace
