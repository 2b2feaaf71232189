// The playlist dialog on the offscreen platform: pages of ten, check all and
// none, and the texts following the selection.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include "converter/gui/PlaylistDialog.h"
#include "converter/prefs/Preferences.h"
#include "tests/converter/ui/RunSandbox.h"

namespace {

TEST(PlaylistDialog, PagesBoxesAndTextsFollowTheChoice) {
  if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
  testsupport::TempDir dir;
  CPreferences prefs;
  runsandbox::Enter(dir, prefs);
  std::vector<std::string> entries;
  for (int i = 0; i < 12; ++i)
    entries.push_back(runsandbox::Tone(dir, "t" + std::to_string(i) + ".wav", 0.1));
  entries[11] = dir.File("gone.wav");
  CPlaylistChoice choice("list.m3u", 0, entries, prefs);
  CPlaylistDialog d(choice);
  d.show();
  auto* rows = d.findChild<QListWidget*>("rows");
  auto* count = d.findChild<QLabel*>("count");
  auto* required = d.findChild<QLabel*>("required");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->count(), 10);
  EXPECT_EQ(count->text(), "Files to convert: 11 of 12");
  EXPECT_FALSE(d.findChild<QPushButton*>("back")->isEnabled());
  EXPECT_EQ(d.findChild<QPushButton*>("on")->text(), "Next 2 >");
  QString before = required->text();
  rows->item(0)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(count->text(), "Files to convert: 10 of 12");
  EXPECT_NE(required->text(), before);

  d.findChild<QPushButton*>("on")->click();
  EXPECT_EQ(rows->count(), 2);
  EXPECT_EQ(rows->item(1)->text().toStdString(), "12.  (file not found)");
  EXPECT_FALSE(rows->item(1)->flags() & Qt::ItemIsEnabled);
  d.findChild<QPushButton*>("uncheckAll")->click();
  EXPECT_EQ(count->text(), "Files to convert: 0 of 12");
  EXPECT_EQ(required->text(), "Space needed: 0.00 MB");
  d.findChild<QPushButton*>("checkAll")->click();
  EXPECT_EQ(count->text(), "Files to convert: 11 of 12");
  d.findChild<QCheckBox*>("dontAsk")->click();
  d.findChild<QPushButton*>("ok")->click();
  EXPECT_EQ(d.result(), QDialog::Accepted);
  EXPECT_EQ(choice.Accept().size(), 11u);
  EXPECT_EQ(prefs.convertPlaylistFilesWithoutPrompting, 1u);
}

}  // namespace
