// Centring, the standard file dialogs driven to a choice, and the control
// helpers, on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstring>
#include <functional>

#include "tests/TestSupport.h"
#include "utilities/qt/DialogHelpers.h"

namespace {

// Runs act on the file dialog once it is up, every 20 ms until it closes.
// The dialog reads its folder in the background: before it knows a file it
// may answer an accept with a message box, which is closed, and the choice
// made again.
QFileDialog* VisibleFileDialog() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) return d;
  return nullptr;
}

void WhenTheDialogIsUp(std::function<void(QFileDialog*)> act, int tries = 250,
                       QPointer<QFileDialog> acted = nullptr) {
  QTimer::singleShot(20, [act, tries, acted]() mutable {
    // The dialog this call acted on has closed: done.
    if (acted && !acted->isVisible()) return;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) box->reject();
    QFileDialog* d = acted ? acted.data() : VisibleFileDialog();
    if (d) {
      acted = d;
      act(d);
      if (!d->isVisible()) return;
    }
    if (tries > 0) return WhenTheDialogIsUp(act, tries - 1, acted);
    // Never closed: close it so that the test fails instead of hanging.
    ADD_FAILURE() << "the file dialog did not take the choice";
    if (QFileDialog* left = VisibleFileDialog()) left->reject();
  });
}

// Types a name into the dialog's file name box, as a user would.
void Type(QFileDialog* d, const std::string& path) {
  auto* edit = d->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(edit, nullptr);
  edit->setText(QString::fromStdString(path));
}

class DialogHelpers : public ::testing::Test {
 protected:
  void SetUp() override { QApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }
};

TEST_F(DialogHelpers, CentringOverTheParentStaysOnTheScreen) {
  QRect screen = QApplication::primaryScreen()->geometry();
  QWidget parent;
  parent.setGeometry(screen.x(), screen.y() + 100, 100, 100);
  QWidget window(&parent, Qt::Window);
  window.resize(200, 100);
  CenterWindow(&window);
  EXPECT_EQ(window.frameGeometry().x(), screen.x());
  EXPECT_EQ(window.frameGeometry().y(), screen.y() + 100);
  EXPECT_EQ(window.size(), QSize(200, 100));

  // Near the bottom: moved up until its bottom lies 30 pixels above the end.
  parent.move(screen.x() + 300, screen.bottom() - 50);
  CenterWindow(&window, &parent);
  EXPECT_EQ(window.frameGeometry().y(), screen.y() + screen.height() - 30 - 100);
  EXPECT_EQ(window.frameGeometry().x(), screen.x() + 250);

  CenterWindow(nullptr);  // nothing to do
}

TEST_F(DialogHelpers, TheOpenDialogReturnsTheChosenFileAndFilter) {
  testsupport::TempDir dir;
  ASSERT_TRUE(testsupport::WriteFile(dir.File("song.mp3"), "x"));
  WhenTheDialogIsUp([&](QFileDialog* d) {
    d->selectNameFilter("MP3 (*.mp3)");
    Type(d, dir.File("song.mp3"));
    static_cast<QDialog*>(d)->accept();
  });
  const char filter[] = "WAV\0*.wav\0MP3\0*.mp3\0";
  char file[260] = "";
  char title[260] = "";
  unsigned index = 1;
  ASSERT_EQ(DoStandardFileDialog(nullptr, filter, file, sizeof file, 1, title, dir.Path().c_str(),
                                 "Open", nullptr, &index),
            1);
  EXPECT_EQ(std::string(file), dir.File("song.mp3"));
  EXPECT_STREQ(title, "song.mp3");
  EXPECT_EQ(index, 2u);
}

TEST_F(DialogHelpers, TheSaveDialogAddsTheDefaultExtensionAndCancelGivesNothing) {
  testsupport::TempDir dir;
  WhenTheDialogIsUp([&](QFileDialog* d) {
    Type(d, dir.File("new"));
    static_cast<QDialog*>(d)->accept();
  });
  char file[260] = "";
  unsigned index = 1;
  ASSERT_EQ(DoStandardFileDialog(nullptr, "WAV\0*.wav\0", file, sizeof file, 0, nullptr,
                                 dir.Path().c_str(), "Save", "wav", &index),
            1);
  EXPECT_EQ(std::string(file), dir.File("new.wav"));

  WhenTheDialogIsUp([](QFileDialog* d) { d->reject(); });
  std::strcpy(file, "kept");
  EXPECT_EQ(DoStandardFileDialog(nullptr, nullptr, file, sizeof file, 0, nullptr,
                                 dir.Path().c_str(), "Save", nullptr, nullptr),
            0);
  EXPECT_STREQ(file, "kept");

  // A path longer than the buffer is refused, not cut short.
  WhenTheDialogIsUp([&](QFileDialog* d) {
    Type(d, dir.File("new.wav"));
    static_cast<QDialog*>(d)->accept();
  });
  char small[8] = "kept";
  EXPECT_EQ(DoStandardFileDialog(nullptr, nullptr, small, sizeof small, 0, nullptr,
                                 dir.Path().c_str(), "Save", nullptr, nullptr),
            0);
  EXPECT_STREQ(small, "kept");
}

TEST_F(DialogHelpers, ControlGroupsAndTheHitTest) {
  QWidget dialog;
  auto* a = new QPushButton("a", &dialog);
  a->setObjectName("a");
  a->setGeometry(10, 20, 30, 40);
  auto* b = new QPushButton("b", &dialog);
  b->setObjectName("b");
  const char* const names[] = {"a", "b", "absent"};

  EnableZeControls(&dialog, names, 0, 0);
  EXPECT_TRUE(a->isEnabled());
  EnableZeControls(&dialog, names, 3, 0);
  EXPECT_FALSE(a->isEnabled());
  EXPECT_FALSE(b->isEnabled());
  EnableZeControls(&dialog, names, 1, 1);
  EXPECT_TRUE(a->isEnabled());
  EXPECT_FALSE(b->isEnabled());
  ShowZeControls(&dialog, names, 2, 0);
  EXPECT_TRUE(a->isHidden());
  ShowZeControls(&dialog, names, 2, 1);
  EXPECT_FALSE(b->isHidden());

  EXPECT_EQ(MouseOverDialogControl(&dialog, "a", {10, 20}), 1);
  EXPECT_EQ(MouseOverDialogControl(&dialog, "a", {39, 59}), 1);
  EXPECT_EQ(MouseOverDialogControl(&dialog, "a", {40, 59}), 0);
  EXPECT_EQ(MouseOverDialogControl(&dialog, "a", {39, 60}), 0);
  EXPECT_EQ(MouseOverDialogControl(&dialog, "absent", {10, 20}), 0);
}

}  // namespace
