// The folder tree over a temporary folder tree: what it lists, where a
// start path leads and what it reports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTreeWidget>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "utilities/qt/ExplorerTree.h"

namespace {

std::vector<std::string> reported;

void Remember(const char* path, unsigned long user) {
  reported.push_back(std::string(path) + "#" + std::to_string(user));
}

class ExplorerTree : public ::testing::Test {
 protected:
  void SetUp() override {
    reported.clear();
    for (const char* name :
         {"music", "music/Rock", "music/jazz", "music/.cache", "music/jazz/x", "empty"})
      ASSERT_EQ(mkdir(dir_.File(name).c_str(), 0755), 0);
  }

  void Make(const std::string& start) {
    TExplorerTreeProperties p;
    p.objectName = "folders";
    p.left = 10;
    p.right = 209;
    p.bottom = 299;
    p.callback = Remember;
    p.user = 7;
    p.startPath = start;
    ASSERT_TRUE(tree_.Create(p));
  }

  static std::vector<std::string> Texts(QTreeWidgetItem* item) {
    std::vector<std::string> texts;
    for (int i = 0; i < item->childCount(); ++i)
      texts.push_back(item->child(i)->text(0).toStdString());
    return texts;
  }

  testsupport::TempDir dir_;
  CExplorerTree tree_;
};

TEST_F(ExplorerTree, AStartPathOpensTheLevelsDownToItAndIsReported) {
  Make(dir_.File("music/jazz"));
  EXPECT_TRUE(tree_.Loaded());
  EXPECT_EQ(tree_.width(), 200);
  QTreeWidgetItem* current = tree_.TreehWnd()->currentItem();
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(current->text(0).toStdString(), "jazz");
  EXPECT_EQ(std::string(tree_.CurrentSelection()), dir_.File("music/jazz"));
  EXPECT_EQ(reported, std::vector<std::string>{dir_.File("music/jazz") + "#7"});
  // Hidden folders are listed; the order ignores case.
  QTreeWidgetItem* music = current->parent();
  EXPECT_TRUE(music->isExpanded());
  EXPECT_EQ(Texts(music), (std::vector<std::string>{".cache", "jazz", "Rock"}));
  EXPECT_EQ(music->child(1)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(music->child(2)->childIndicatorPolicy(),
            QTreeWidgetItem::DontShowIndicatorWhenChildless);
  // Every level above is open too, up to a drive at the top.
  QTreeWidgetItem* top = music;
  while (top->parent()) {
    top = top->parent();
    EXPECT_TRUE(top->isExpanded());
  }
  EXPECT_EQ(top->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

TEST_F(ExplorerTree, AMissingLevelSelectsTheLastOneThatExists) {
  Make(dir_.File("music/blues/old"));
  EXPECT_EQ(std::string(tree_.CurrentSelection()), dir_.File("music"));
  EXPECT_EQ(reported, std::vector<std::string>{dir_.File("music") + "#7"});
}

TEST_F(ExplorerTree, ChangingTheSelectionReportsTheNewPath) {
  Make(dir_.File("music"));
  QTreeWidgetItem* music = tree_.TreehWnd()->currentItem();
  music->setExpanded(true);
  reported.clear();
  tree_.TreehWnd()->setCurrentItem(music->child(2));
  EXPECT_EQ(std::string(tree_.CurrentSelection()), dir_.File("music/Rock"));
  EXPECT_EQ(reported, std::vector<std::string>{dir_.File("music/Rock") + "#7"});
}

TEST_F(ExplorerTree, ReopeningAFolderReadsItFromTheDiskAgain) {
  Make(dir_.File("music"));
  QTreeWidgetItem* music = tree_.TreehWnd()->currentItem();
  music->setExpanded(true);
  EXPECT_EQ(Texts(music).size(), 3u);
  music->setExpanded(false);
  ASSERT_EQ(mkdir(dir_.File("music/Blues").c_str(), 0755), 0);
  ASSERT_EQ(rmdir(dir_.File("music/.cache").c_str()), 0);
  music->setExpanded(true);
  EXPECT_EQ(Texts(music), (std::vector<std::string>{"Blues", "jazz", "Rock"}));
  // A folder that has lost its folders loses its button when opened.
  QTreeWidgetItem* jazz = music->child(1);
  ASSERT_EQ(rmdir(dir_.File("music/jazz/x").c_str()), 0);
  jazz->setExpanded(true);
  EXPECT_EQ(jazz->childCount(), 0);
  EXPECT_EQ(jazz->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TEST_F(ExplorerTree, ADriveRootStartSelectsTheDriveUnopened) {
  Make("/");
  QTreeWidgetItem* current = tree_.TreehWnd()->currentItem();
  ASSERT_NE(current, nullptr);
  EXPECT_EQ(current->text(0).toStdString(), "/");
  EXPECT_FALSE(current->isExpanded());
  EXPECT_EQ(current->childCount(), 0);
  EXPECT_EQ(std::string(tree_.CurrentSelection()), "/");
  EXPECT_TRUE(reported.empty());
  // With flags 0 only fixed drives are listed, the root folder first.
  EXPECT_EQ(tree_.TreehWnd()->topLevelItem(0)->text(0).toStdString(), "/");
  EXPECT_FALSE(tree_.ShowRemovableDrives());
}

}  // namespace
