// Each prompt as a dialog: its texts, its buttons, which one Return presses,
// what Escape answers, and what the box reports.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "converter/gui/PromptDialog.h"
#include "converter/ui/Prompts.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/ScriptedPrompter.h"
#include "utilities/strings/StringFile.h"

namespace {

class PromptDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string strings = testsupport::SourceDir() + "/converter/sonoduct-strings.ini";
    SetStringFile(strings.c_str());
  }
  static QPushButton* Button(QDialog& d, int id) {
    return d.findChild<QPushButton*>(CPromptDialog::ButtonName(id));
  }
  static QStringList Labels(QDialog& d) {
    QStringList labels;
    for (QPushButton* b : d.findChildren<QPushButton*>()) labels << b->text();
    return labels;
  }
  static QString Text(QDialog& d) {
    if (auto* label = d.findChild<QLabel*>("text")) return label->text();
    if (auto* log = d.findChild<QPlainTextEdit*>("text")) return log->toPlainText();
    return {};
  }
  CScriptedPrompter help_;
};

struct Expected {
  int resource;
  const char* title;
  QStringList buttons;
  int defaultButton;
  int escapeAnswer;
};

TEST_F(PromptDialogs, EachDialogHasItsTextsButtonsDefaultAndEscape) {
  const Expected all[] = {
      {kPromptOverwrite,
       "File Already Exists",
       {"Replace", "Replace All", "Skip", "Skip All", "Cancel"},
       kButtonSkip,
       kButtonCancel},
      {kPromptSilent, "Convert Anyway?", {"Convert", "Skip", "Cancel"}, kButtonSkip, kButtonCancel},
      {kPromptPartial, "Convert Anyway?", {"Convert", "Skip", "Cancel"}, kButtonYes, kButtonCancel},
      {kPromptDiskFull,
       "Disk Almost Full",
       {"Choose Folder...", "Continue", "Stop Now"},
       kButtonNewDir,
       kButtonCancel},
      {kPromptHowTo, "How to Use Sonoduct", {"Options...", "Help", "OK"}, kButtonOk, kButtonOk},
      {kPromptOpenDecode, "Conversion Finished", {"Open", "Close"}, kButtonOk, kButtonCancel},
      {kPromptErrorDetails, "Conversion Errors: 0", {"OK"}, kButtonOk, kButtonOk},
      {kPromptInfo, "Sonoduct", {"OK"}, kButtonOk, kButtonOk},
      {kPromptError, "Sonoduct", {"OK"}, kButtonOk, kButtonOk},
  };
  for (const Expected& e : all) {
    SCOPED_TRACE(e.resource);
    TPrompt p = BuildPrompt(e.resource, "the text");
    {
      CPromptDialog d(p, &help_, nullptr);
      d.show();
      EXPECT_EQ(d.windowTitle(), e.title);
      EXPECT_EQ(Labels(d), e.buttons);
      if (e.resource != kPromptHowTo && e.resource != kPromptOpenDecode &&
          e.resource != kPromptDiskFull) {
        EXPECT_EQ(Text(d), "the text");
      }
      ASSERT_NE(Button(d, e.defaultButton), nullptr);
      EXPECT_TRUE(Button(d, e.defaultButton)->isDefault());
      QTest::keyClick(&d, Qt::Key_Escape);
      EXPECT_EQ(d.result(), e.escapeAnswer);
      EXPECT_FALSE(d.isVisible());
    }
    {
      CPromptDialog d(p, &help_, nullptr);
      d.show();
      QTest::keyClick(&d, Qt::Key_Return);
      EXPECT_EQ(d.result(), e.defaultButton);
    }
  }
}

TEST_F(PromptDialogs, AButtonClosesWithItsAnswerAndTheBoxIsReported) {
  TPrompt p = BuildPrompt(kPromptOverwrite, "a.wav exists");
  CPromptDialog d(p, &help_, nullptr);
  d.show();
  auto* box = d.findChild<QCheckBox*>("box");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "Always overwrite without asking");
  EXPECT_FALSE(box->isChecked());
  box->click();
  Button(d, kButtonSkipAll)->click();
  EXPECT_EQ(d.result(), kButtonSkipAll);
  EXPECT_TRUE(p.boxChecked);

  TPrompt open = BuildPrompt(kPromptOpenDecode, "");
  CPromptDialog o(open, &help_, nullptr);
  o.show();
  EXPECT_TRUE(o.findChild<QCheckBox*>("box")->isChecked());  // starts checked
  o.findChild<QCheckBox*>("box")->click();
  QTest::keyClick(&o, Qt::Key_Escape);  // Close: the box's state is kept too
  EXPECT_EQ(o.result(), kButtonCancel);
  EXPECT_FALSE(open.boxChecked);
}

TEST_F(PromptDialogs, HowToButtonsActWithoutClosingAndF1OpensTheHelp) {
  TPrompt p = BuildPrompt(kPromptHowTo, "");
  std::vector<int> acted;
  p.onAction = [&](int id) { acted.push_back(id); };
  CPromptDialog d(p, &help_, nullptr);
  d.show();
  Button(d, kButtonOptions)->click();
  Button(d, kButtonHelp)->click();
  EXPECT_TRUE(d.isVisible());
  EXPECT_EQ(acted, (std::vector<int>{kButtonOptions, kButtonHelp}));
  QTest::keyClick(&d, Qt::Key_F1);
  EXPECT_EQ(help_.help, std::vector<std::string>{"howto.html"});
  EXPECT_TRUE(d.isVisible());

  // A help page that can't be opened says so.
  help_.helpFound = false;
  QTest::keyClick(&d, Qt::Key_F1);
  ASSERT_EQ(help_.Shown().size(), 1u);
  EXPECT_EQ(help_.Shown()[0].text, "The help file could not be found or opened.");
}

TEST_F(PromptDialogs, TheErrorLogShowsEachLineOnItsOwnLine) {
  TPrompt p = BuildPrompt(kPromptErrorDetails, "a.wav: empty\r\nb.mp3: missing\r\nc.txt: unknown");
  CPromptDialog d(p, &help_, nullptr);
  d.show();
  auto* log = d.findChild<QPlainTextEdit*>("text");
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->isReadOnly());
  EXPECT_EQ(log->document()->blockCount(), 3);
  EXPECT_EQ(log->toPlainText(), "a.wav: empty\nb.mp3: missing\nc.txt: unknown");
  EXPECT_EQ(d.findChild<QLabel*>("note0")->text(), "Some files could not be converted:");
}

}  // namespace
