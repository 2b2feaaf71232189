// The menu a selection gets: entries, order, states, texts and switches.
#include <gtest/gtest.h>

#include <memory>

#include "platform/registry/RegKey.h"
#include "shell/ShellMenu.h"
#include "tests/shell/ShellTestSupport.h"

namespace {

using shell::CShellMenu;
using shell::TShellItemKind;
using shelltest::Available;
using shelltest::StringsFile;

CShellMenu Menu(const std::vector<std::string>& files,
                shell::TTargetAvailability a = shell::TTargetAvailability()) {
  return CShellMenu::Query(files, a, StringsFile());
}

TEST(ShellMenu, OneMp3FileGetsBothEntriesAndTheSubmenuInOrder) {
  CShellMenu menu = Menu({"/music/song.mp3"});
  ASSERT_FALSE(menu.IsEmpty());
  const auto& items = menu.Items();
  ASSERT_EQ(items.size(), 7u);
  struct Want {
    TShellItemKind kind;
    int command;
    int depth;
    const char* label;
    const char* help;
    char letter;
    bool enabled;
  } const want[] = {
      {TShellItemKind::kCommand, 0, 0, "Convert to WAV", "Converts the selected files to WAV.", 'C',
       true},
      {TShellItemKind::kSubmenu, 1, 0, "Convert song.mp3 to",
       "Converts the selected files to the format you choose.", 'C', true},
      {TShellItemKind::kCommand, 2, 1, "WAV", "Converts the selected files to WAV.", 'C', true},
      {TShellItemKind::kCommand, 3, 1, "MP3", "Converts the selected files to MP3.", '3', false},
      {TShellItemKind::kCommand, 4, 1, "WMA", "Converts the selected files to WMA.", 'M', false},
      {TShellItemKind::kSeparator, -1, 1, "", "", 0, false},
      {TShellItemKind::kCommand, 5, 1, "Sonoduct Options...", "Opens the Sonoduct options.", 'O',
       true},
  };
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(items[i].kind, want[i].kind);
    EXPECT_EQ(items[i].command, want[i].command);
    EXPECT_EQ(items[i].depth, want[i].depth);
    EXPECT_EQ(items[i].label, want[i].label);
    EXPECT_EQ(items[i].help, want[i].help);
    EXPECT_EQ(items[i].letter, want[i].letter);
    EXPECT_EQ(items[i].enabled, want[i].enabled);
  }
  EXPECT_EQ(menu.DefaultTarget(), shell::kTargetWav);
}

TEST(ShellMenu, UnknownCommandOffsetsGiveNothing) {
  CShellMenu menu = Menu({"/a.mp3"});
  for (int id : {-1, 6, 7, 1000}) {
    EXPECT_EQ(menu.Command(id), nullptr) << id;
    EXPECT_EQ(menu.CommandString(id), "") << id;
    EXPECT_EQ(menu.Letter(id), 0) << id;
    EXPECT_TRUE(menu.Invocations(id, "/bin/sonoduct").empty()) << id;
  }
  EXPECT_EQ(menu.CommandString(4), "Converts the selected files to WMA.");
  // An empty menu has no commands at all.
  CShellMenu none = Menu({"/a.txt"});
  EXPECT_EQ(none.CommandString(0), "");
  EXPECT_TRUE(none.Invocations(0, "/bin/sonoduct").empty());
}

TEST(ShellMenu, DefaultTargetOfAWavFileFollowsTheAvailableEncoders) {
  struct Case {
    bool mp3, wma;
    int target;
    const char* label;
    bool enabled;
  } const cases[] = {
      {true, false, shell::kTargetMp3, "Convert to MP3", true},
      {false, true, shell::kTargetWma, "Convert to WMA", true},
      {false, false, shell::kTargetMp3, "Convert to MP3", false},
      {true, true, shell::kTargetMp3, "Convert to MP3", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mp3 " << c.mp3 << " wma " << c.wma);
    CShellMenu menu = Menu({"/x/take.WAV"}, Available(true, c.mp3, c.wma));
    EXPECT_EQ(menu.DefaultTarget(), c.target);
    ASSERT_NE(menu.Command(0), nullptr);
    EXPECT_EQ(menu.Command(0)->label, c.label);
    EXPECT_EQ(menu.Command(0)->enabled, c.enabled);
    EXPECT_EQ(menu.Letter(0), c.target == shell::kTargetMp3 ? '3' : 'M');
    EXPECT_EQ(menu.Letter(1), menu.Letter(0));
  }
  // Every other kind converts to WAV, whatever is available.
  for (const char* f : {"/a.mp3", "/a.mp2", "/a.mp1", "/a.wma", "/a.m3u", "/a.pls", "/a.pl"})
    EXPECT_EQ(Menu({f}, Available(true, true, true)).DefaultTarget(), shell::kTargetWav) << f;
}

TEST(ShellMenu, FirstFileOutsideTheAcceptedKindsGetsNoEntries) {
  for (const char* first : {"/v/clip.mpg", "/a/notes.txt", "/a/noextension", "/a/dir.mp3/file",
                            "/a/.mp3", "/a/song.mp3.bak", "/a/song.mp4"}) {
    EXPECT_TRUE(Menu({first, "/a/b.mp3", "/a/c.wav"}).IsEmpty()) << first;
  }
  EXPECT_TRUE(Menu({}).IsEmpty());
  // The kind is read without regard to case; only the first file is looked at.
  EXPECT_FALSE(Menu({"/A/SONG.Mp3", "/a/notes.txt"}).IsEmpty());
}

TEST(ShellMenu, SeveralFilesOrAPlaylistUseTheTextsForFiles) {
  CShellMenu two = Menu({"/m/one.mp3", "/m/two.mp3"});
  EXPECT_EQ(two.Command(0)->label, "Convert files to WAV");
  EXPECT_EQ(two.Command(1)->label, "Convert files to");
  auto runs = two.Invocations(CShellMenu::kConvertWav, "/opt/s d/sonoduct");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0], (std::vector<std::string>{"/opt/s d/sonoduct", "-C", "/m/one.mp3"}));
  EXPECT_EQ(runs[1], (std::vector<std::string>{"/opt/s d/sonoduct", "-C", "/m/two.mp3"}));

  for (const char* list : {"/m/list.m3u", "/m/list.PLS", "/m/list.pl"}) {
    CShellMenu playlist = Menu({list});
    EXPECT_EQ(playlist.Command(0)->label, "Convert files to WAV") << list;
    EXPECT_EQ(playlist.Command(1)->label, "Convert files to") << list;
  }
  // Mixed kinds behind an accepted first file are all handed over.
  CShellMenu mixed = Menu({"/m/a.wav", "/m/b.mp3", "/m/c.txt"}, Available(true, true, false));
  EXPECT_EQ(mixed.Command(0)->label, "Convert files to MP3");
  EXPECT_EQ(mixed.Invocations(0, "/p").size(), 3u);
  EXPECT_EQ(mixed.Invocations(0, "/p")[2], (std::vector<std::string>{"/p", "-3", "/m/c.txt"}));
}

TEST(ShellMenu, WmaFilesWhileWmaCannotBeWritten) {
  // Only WMA files: no entries.
  EXPECT_TRUE(Menu({"/w/a.wma", "/w/b.WMA"}).IsEmpty());
  // A WMA file first, then MP3 files: entries, and only the others are handed over.
  CShellMenu menu = Menu({"/w/a.wma", "/w/b.mp3", "/w/c.wma", "/w/d.mp3"});
  ASSERT_FALSE(menu.IsEmpty());
  auto runs = menu.Invocations(0, "/p/sonoduct");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0][2], "/w/b.mp3");
  EXPECT_EQ(runs[1][2], "/w/d.mp3");
  // With WMA available every file goes.
  CShellMenu wma = Menu({"/w/a.wma", "/w/b.wma"}, Available(true, false, true));
  ASSERT_FALSE(wma.IsEmpty());
  EXPECT_EQ(wma.Invocations(4, "/p").size(), 2u);
  EXPECT_EQ(wma.Invocations(4, "/p")[0][1], "-M");
}

TEST(ShellMenu, OneFileNamesItselfInTheSubmenuAndFlatLabelsNameTheTarget) {
  CShellMenu menu = Menu({"/music/My $ong \"live\".mp3"});
  EXPECT_EQ(menu.Command(1)->label, "Convert My $ong \"live\".mp3 to");
  EXPECT_EQ(menu.FlatLabel(3), "Convert files to MP3");
  EXPECT_EQ(menu.FlatLabel(5), "Sonoduct Options...");
  EXPECT_EQ(menu.FlatLabel(0), "");
  EXPECT_EQ(menu.FlatLabel(6), "");
}

TEST(ShellMenu, WithoutAStringsFileTheKeysAreShown) {
  CShellMenu menu = CShellMenu::Query({"/a.mp3"}, shell::TTargetAvailability(),
                                      testsupport::SourceDir() + "/no-such-strings.ini");
  // The key holds no %s, so the checked formatter shows the key and its argument.
  EXPECT_EQ(menu.Command(0)->label, "IDS_CONVERT_TO_FORMAT IDM_WAV");
  EXPECT_EQ(menu.Command(2)->label, "IDM_WAV");
  EXPECT_EQ(menu.CommandString(5), "IDM_SET_OPTIONS");
}

TEST(ShellMenu, AvailabilityComesFromTheConverterKey) {
  shelltest::TempHomes homes;
  // No key at all: WAV only.
  shell::TTargetAvailability a = shell::ReadTargetAvailability();
  EXPECT_TRUE(a.available[0]);
  EXPECT_FALSE(a.available[1]);
  EXPECT_FALSE(a.available[2]);

  // Values without NumAvailableConversionTypes are not read.
  {
    CRegKey user(HKEY_CURRENT_USER);
    std::unique_ptr<CRegKey> key(user.CreateSubKey(shell::kConverterKey));
    ASSERT_TRUE(key);
    key->SetKeyNum("AvailableConversionType1", 1);
    key->SetKeyNum("AvailableConversionType2", 1);
  }
  a = shell::ReadTargetAvailability();
  EXPECT_FALSE(a.available[1]);
  EXPECT_FALSE(a.available[2]);
  CShellMenu menu = Menu({"/a.mp3"}, a);
  EXPECT_TRUE(menu.Command(2)->enabled);
  EXPECT_FALSE(menu.Command(3)->enabled);
  EXPECT_FALSE(menu.Command(4)->enabled);

  // With it, each value present decides; a missing one keeps its default.
  {
    CRegKey user(HKEY_CURRENT_USER);
    std::unique_ptr<CRegKey> key(user.CreateSubKey(shell::kConverterKey));
    key->SetKeyNum("NumAvailableConversionTypes", 0);  // its content is not read
    key->SetKeyNum("AvailableConversionType0", 0);
    key->DeleteRegValue("AvailableConversionType2");
  }
  a = shell::ReadTargetAvailability();
  EXPECT_FALSE(a.available[0]);
  EXPECT_TRUE(a.available[1]);
  EXPECT_FALSE(a.available[2]);
  EXPECT_FALSE(Menu({"/a.mp3"}, a).Command(0)->enabled);  // WAV can't be written
}

}  // namespace
