// The Options sheet on the offscreen platform, over the real settings store:
// what the controls show, and that OK writes exactly what changed while
// Cancel and Escape write nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <cstdlib>
#include <sstream>

#include "converter/gui/OptionsSheet.h"
#include "converter/prefs/Preferences.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/RunSandbox.h"
#include "tests/converter/ui/ScriptedPrompter.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class OptionsSheet : public ::testing::Test {
 protected:
  void SetUp() override {
    CPreferences seed;
    runsandbox::Enter(dir_, seed);
    // A store as a first run leaves it, and the settings read back from it.
    ASSERT_EQ(prefs_.Load(), 1);
    ASSERT_EQ(prefs_.SaveChanged(HKEY_CURRENT_USER), 1);
    CPreferences fresh;
    ASSERT_EQ(fresh.Load(), 1);
    store_ = std::string(std::getenv("XDG_CONFIG_HOME")) + "/quillon/HKEY_CURRENT_USER.reg";
    before_ = testsupport::ReadFile(store_);
    ASSERT_FALSE(before_.empty());
  }
  // The store's lines that differ after saving what the sheet changed.
  std::vector<std::string> Changes() {
    EXPECT_EQ(prefs_.SaveChanged(HKEY_CURRENT_USER), 1);
    std::vector<std::string> a = Lines(before_), b = Lines(testsupport::ReadFile(store_));
    std::vector<std::string> changed;
    EXPECT_EQ(a.size(), b.size());
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
      if (a[i] != b[i]) changed.push_back(b[i]);
    return changed;
  }
  template <typename W>
  static W* Find(QWidget& w, const char* name) {
    W* found = w.findChild<W*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  testsupport::TempDir dir_;
  CPreferences prefs_;
  CScriptedPrompter prompter_;
  std::string store_, before_;
};

TEST_F(OptionsSheet, TheControlsShowTheStoredSettings) {
  prefs_.normalizeLevel = 90;
  prefs_.cpuSleepTime = 1000;
  prefs_.playSound = 0;
  prefs_.warnAboutIncompleteSongs = 0;
  COptionsSession session(prefs_, prompter_);
  COptionsSheet sheet(session);
  sheet.show();
  EXPECT_EQ(sheet.windowTitle(), "Sonoduct Options");
  EXPECT_EQ(Find<QTabWidget>(sheet, "tabs")->tabText(0), "General");
  EXPECT_EQ(Find<QLineEdit>(sheet, "outputFolder")->text().toStdString(), prefs_.defaultDir);
  EXPECT_EQ(Find<QLineEdit>(sheet, "tempFolder")->text().toStdString(), prefs_.tempDirectory);
  EXPECT_EQ(Find<QComboBox>(sheet, "level")->currentText(), " 90%");
  EXPECT_TRUE(Find<QComboBox>(sheet, "level")->isEnabled());
  EXPECT_EQ(Find<QComboBox>(sheet, "cpu")->currentText(), "Pause 1 second after each block");
  EXPECT_FALSE(Find<QCheckBox>(sheet, "playSound")->isChecked());
  EXPECT_TRUE(Find<QCheckBox>(sheet, "normalize")->isChecked());
  EXPECT_FALSE(Find<QComboBox>(sheet, "threshold")->isEnabled());
  EXPECT_FALSE(Find<QCheckBox>(sheet, "playSound")->whatsThis().isEmpty());
  // The partial-song box enables its threshold.
  Find<QCheckBox>(sheet, "warnIncomplete")->click();
  EXPECT_TRUE(Find<QComboBox>(sheet, "threshold")->isEnabled());
}

TEST_F(OptionsSheet, OkWritesExactlyWhatChanged) {
  COptionsSession session(prefs_, prompter_);
  COptionsSheet sheet(session);
  sheet.show();
  Find<QCheckBox>(sheet, "playSound")->click();
  Find<QComboBox>(sheet, "cpu")->setCurrentIndex(7);
  Find<QPushButton>(sheet, "ok")->click();
  EXPECT_EQ(sheet.result(), QDialog::Accepted);
  std::vector<std::string> changed = Changes();
  EXPECT_EQ(changed, (std::vector<std::string>{"\"CPUSleepTime\"=dword:00000bb8",
                                               "\"PlaySound\"=dword:00000000"}));
}

TEST_F(OptionsSheet, CancelAndEscapeWriteNothing) {
  for (bool escape : {false, true}) {
    COptionsSession session(prefs_, prompter_);
    COptionsSheet sheet(session);
    sheet.show();
    Find<QCheckBox>(sheet, "trim")->click();
    Find<QLineEdit>(sheet, "outputFolder")->setText("/somewhere/else");
    if (escape)
      QTest::keyClick(&sheet, Qt::Key_Escape);
    else
      Find<QPushButton>(sheet, "cancel")->click();
    EXPECT_EQ(sheet.result(), QDialog::Rejected);
    EXPECT_TRUE(Changes().empty()) << escape;
  }
}

TEST_F(OptionsSheet, AFolderCheckThatFailsKeepsTheSheetOpen) {
  COptionsSession session(prefs_, prompter_);
  COptionsSheet sheet(session);
  sheet.show();
  std::string old = prefs_.defaultDir;
  Find<QLineEdit>(sheet, "outputFolder")->setText(QString::fromStdString(dir_.Path() + "/new"));
  prompter_.answers = {kButtonSkip};  // don't make it
  Find<QPushButton>(sheet, "ok")->click();
  EXPECT_TRUE(sheet.isVisible());
  EXPECT_EQ(Find<QLineEdit>(sheet, "outputFolder")->text().toStdString(), old);
  prompter_.answers = {};
  Find<QPushButton>(sheet, "ok")->click();
  EXPECT_FALSE(sheet.isVisible());
  EXPECT_TRUE(Changes().empty());
}

}  // namespace
