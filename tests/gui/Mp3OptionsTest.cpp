// The MP3 page and its advanced dialog on the offscreen platform: choices
// made there reach the store, and "sonoduct -3" then writes the MP3 they
// describe (checked with ffprobe).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <set>
#include <sstream>

#include "converter/gui/OptionsSheet.h"
#include "converter/prefs/Preferences.h"
#include "engine/core/SoundEngine.h"
#include "tests/TestSupport.h"
#include "tests/converter/ui/RunSandbox.h"
#include "tests/converter/ui/ScriptedPrompter.h"

namespace {

class Mp3Options : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::MissingPrograms({"sox", "ffprobe"}).empty())
      GTEST_SKIP() << "sox and ffprobe are needed";
    static bool started = SoundEngineStartup() != 0;
    ASSERT_TRUE(started);
    CPreferences seed;
    runsandbox::Enter(dir_, seed);
    ASSERT_EQ(prefs_.Load(), 1);
    wav_ = runsandbox::Sound(dir_, "song.wav", "synth 3 pinknoise vol 0.5");
  }
  // Shows the MP3 page, runs what the test does there, and OKs the sheet.
  template <typename F>
  void OnMp3Page(F edit) {
    COptionsSession session(prefs_, prompter_);
    COptionsSheet sheet(session);
    sheet.show();
    QTabWidget* tabs = sheet.Tabs();
    int mp3 = -1;
    for (int i = 0; i < tabs->count(); ++i)
      if (tabs->tabText(i) == "MP3") mp3 = i;
    ASSERT_GE(mp3, 0) << "no MP3 page: the encoder libraries are not beside the tests";
    tabs->setCurrentIndex(mp3);
    edit(*tabs->widget(mp3));
    sheet.findChild<QPushButton*>("ok")->click();
    ASSERT_EQ(sheet.result(), QDialog::Accepted);
    ASSERT_EQ(prefs_.SaveChanged(HKEY_CURRENT_USER), 1);
  }
  // The advanced dialog, edited by the test while it is open.
  template <typename F>
  static void Advanced(QWidget& page, F edit) {
    QTimer::singleShot(0, [edit] {
      QWidget* dialog = QApplication::activeModalWidget();
      ASSERT_NE(dialog, nullptr);
      edit(*dialog);
      dialog->findChild<QPushButton*>("ok")->click();
    });
    page.findChild<QPushButton*>("advanced")->click();
  }
  static void Choose(QWidget& w, const char* combo, const QString& text) {
    auto* c = w.findChild<QComboBox*>(combo);
    ASSERT_NE(c, nullptr) << combo;
    int i = c->findText(text);
    ASSERT_GE(i, 0) << text.toStdString();
    c->setCurrentIndex(i);
    emit c->activated(i);
  }
  // The target "sonoduct -3" writes now, and its frame sizes.
  std::set<int> Convert(std::string* bitRate) {
    auto r = testsupport::Run(testsupport::BinPath("sonoduct") + " --console -3 '" + wav_ +
                              "' </dev/null");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::string mp3 = prefs_.defaultDir + "song.mp3";
    auto probe = testsupport::Run(
        "ffprobe -v error -select_streams a -show_entries "
        "stream=bit_rate -of csv=p=0 '" +
        mp3 + "'");
    *bitRate = probe.out.substr(0, probe.out.find('\n'));
    auto frames =
        testsupport::Run("ffprobe -v error -show_entries packet=size -of csv=p=0 '" + mp3 + "'");
    std::set<int> sizes;
    std::istringstream in(frames.out);
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) sizes.insert(std::stoi(line));
    testsupport::Run("rm -f '" + mp3 + "'");
    return sizes;
  }

  testsupport::TempDir dir_;
  CPreferences prefs_;
  CScriptedPrompter prompter_;
  std::string wav_;
};

TEST_F(Mp3Options, OwnSettingsReachTheStoreAndTheTarget) {
  // Constant 128 kbit/s.
  OnMp3Page([](QWidget& page) {
    page.findChild<QRadioButton*>("ownSettings")->click();
    Advanced(page, [](QWidget& d) {
      d.findChild<QRadioButton*>("constant")->click();
      Choose(d, "bitrate", "128 kbit/s");
    });
  });
  EXPECT_EQ(prefs_.mp3Advanced, 1u);
  std::string rate;
  std::set<int> sizes = Convert(&rate);
  EXPECT_EQ(rate, "128000");
  EXPECT_LE(sizes.size(), 2u);  // 417 or 418 bytes: padding only

  // Variable rate at quality 2.
  OnMp3Page([](QWidget& page) {
    Advanced(page, [](QWidget& d) {
      d.findChild<QRadioButton*>("variable")->click();
      d.findChild<QRadioButton*>("vbrQuality")->click();
    });
  });
  sizes = Convert(&rate);
  EXPECT_GT(sizes.size(), 3u);  // frames of many sizes
}

}  // namespace
