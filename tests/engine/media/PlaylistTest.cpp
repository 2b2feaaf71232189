// Playlists written here in every format, read back through CPlaylist: the
// tracks must be the files meant, in order, and every entry that gives no
// track must be reported with its reason. No track reader is set, so tracks
// hold what the playlist says and the sound files need no real contents.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/media/AsxReader.h"
#include "engine/media/Playlist.h"
#include "tests/TestSupport.h"
#include "utilities/strings/BoundedCopy.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// A folder "music" with the sound files, a subfolder and a FIFO, and a
// folder "lists" beside it for the playlists.
class PlaylistFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.File("music/sub"));
    std::filesystem::create_directories(dir_.File("lists"));
    for (const char* name : {"music/a.mp3", "music/b c.wav", "music/sub/d.mp3", "music/.intro.mp3",
                             "music/\xc3\xa9t\xc3\xa9.mp3", "lists/near.mp3"})
      ASSERT_TRUE(WriteFile(dir_.File(name), "sound"));
    ASSERT_EQ(mkfifo(dir_.File("music/pipe.mp3").c_str(), 0600), 0);
  }

  std::string Music(const std::string& name) { return dir_.File("music/" + name); }
  std::string List(const std::string& name, const std::string& text) {
    std::string path = dir_.File("lists/" + name);
    EXPECT_TRUE(WriteFile(path, text));
    return path;
  }
  static std::vector<std::string> Paths(const CPlaylist& list) {
    std::vector<std::string> paths;
    for (int i = 0; i < list.NumTracks(); ++i) paths.push_back(list.GetTrackFilePath(i));
    return paths;
  }
  static std::vector<std::pair<std::string, TPlaylistEntryProblem>> Refused(const CPlaylist& list) {
    std::vector<std::pair<std::string, TPlaylistEntryProblem>> refused;
    for (const auto& r : list.Refusals()) refused.emplace_back(r.entry, r.problem);
    return refused;
  }

  TempDir dir_;
};

using P = std::pair<std::string, TPlaylistEntryProblem>;

TEST_F(PlaylistFiles, M3UResolvesEveryKindOfEntryAgainstItsOwnFolder) {
  const std::string text =
      "\xEF\xBB\xBF#EXTM3U\r\n"
      "#EXTINF:123,Artist - Title\r\n" +
      Music("a.mp3") +
      "\r\n\r\n   \r\n"
      "../music/b c.wav\r\n"
      "..\\music\\sub\\d.mp3\r\n"
      "./near.mp3\r\n"
      "near.mp3\r\n"
      "../music/sub/../../music/.intro.mp3\r\n"
      "file://" +
      dir_.File("music/b%20c.wav") +
      "\r\n"
      "file://localhost" +
      Music("a.mp3") +
      "\r\n"
      "http://radio.example/stream.mp3\r\n"
      "file://otherhost/x.mp3\r\n"
      "../music/gone.mp3\r\n"
      "C:\\Music\\a.mp3\r\n"
      "D:/a.mp3\r\n"
      "\\\\server\\share\\a.mp3\r\n"
      "; a comment\r\n$ * , ? ^ are comments too\r\n"
      "../music/\xe9t\xe9.mp3\r\n";  // Windows-1252
  CPlaylist list;
  ASSERT_TRUE(list.LoadFromFile(List("mixed.m3u", text).c_str(), false));
  const std::string near = dir_.File("lists/near.mp3");
  EXPECT_EQ(Paths(list),
            (std::vector<std::string>{Music("a.mp3"), Music("b c.wav"), Music("sub/d.mp3"), near,
                                      near, Music(".intro.mp3"), Music("b c.wav"), Music("a.mp3"),
                                      Music("\xc3\xa9t\xc3\xa9.mp3")}));
  EXPECT_EQ(Refused(list),
            (std::vector<P>{{"http://radio.example/stream.mp3", PLAYLIST_ENTRY_REMOTE},
                            {"file://otherhost/x.mp3", PLAYLIST_ENTRY_REMOTE},
                            {"../music/gone.mp3", PLAYLIST_ENTRY_MISSING},
                            {"C:\\Music\\a.mp3", PLAYLIST_ENTRY_MISSING},
                            {"D:/a.mp3", PLAYLIST_ENTRY_MISSING},
                            {"\\\\server\\share\\a.mp3", PLAYLIST_ENTRY_MISSING}}));
  EXPECT_EQ(list.Refusals()[2].path, Music("gone.mp3"));
  EXPECT_EQ(list.GetTrackTitle(0), std::string());
  EXPECT_EQ(list.GetSongCount(dir_.File("lists/mixed.m3u").c_str()), 9);
}

TEST_F(PlaylistFiles, M3UInUtf16AndItsSizeLimit) {
  for (bool bigEndian : {false, true}) {
    std::u16string text = u"../music/\u00e9t\u00e9.mp3\r\n../music/a.mp3\r\n";
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
      char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
      bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    CPlaylist list;
    ASSERT_TRUE(list.LoadFromFile(List("wide.m3u", bytes).c_str(), false)) << bigEndian;
    EXPECT_EQ(Paths(list),
              (std::vector<std::string>{Music("\xc3\xa9t\xc3\xa9.mp3"), Music("a.mp3")}));
  }
  // 200000 bytes are read, one more is not.
  std::string entry = "../music/a.mp3\n";
  std::string text(200000 - entry.size(), '#');
  text[text.size() - 1] = '\n';
  text += entry;
  CPlaylist list;
  EXPECT_TRUE(list.LoadFromFile(List("limit.m3u", text).c_str(), false));
  // A failed load keeps the tracks held and says why it failed.
  EXPECT_TRUE(list.LoadFromFile(List("over.m3u", "#" + text).c_str(), false));
  EXPECT_EQ(list.ErrorCode(), PLAYLIST_ERROR_OPEN);
  EXPECT_EQ(list.NumTracks(), 1);
  CPlaylist fresh;
  EXPECT_FALSE(fresh.LoadFromFile(dir_.File("lists/over.m3u").c_str(), false));
  EXPECT_EQ(fresh.ErrorCode(), PLAYLIST_ERROR_EMPTY);
}

TEST_F(PlaylistFiles, PlsReadsTheNumberedEntriesPresent) {
  CPlaylist list;
  ASSERT_TRUE(list.LoadFromFile(
      List("gaps.pls",
           "[playlist]\r\nNumberOfEntries=3\r\nFile1=../music/a.mp3\r\nTitle1=A\r\n"
           "File3=.intro.mp3\r\nFile4=../music/sub/d.mp3\r\n")
          .c_str(),
      false));
  EXPECT_EQ(Paths(list), (std::vector<std::string>{Music("a.mp3")}));
  // ".intro.mp3" is a name beside the playlist, not "intro.mp3" one dot up.
  EXPECT_EQ(Refused(list), (std::vector<P>{{".intro.mp3", PLAYLIST_ENTRY_MISSING}}));
  EXPECT_EQ(list.Refusals()[0].path, dir_.File("lists/.intro.mp3"));

  list.DeleteAll();
  ASSERT_TRUE(list.LoadFromFile(
      List("music.pls", "[Playlist]\nnumberofentries=4\nFile1=" + Music("sub/d.mp3") +
                            "\nFile2=./a.mp3\nfile3=\".intro.mp3\"\nFile4=\n")
          .c_str(),
      false));
  // Placed beside the files: "./a.mp3" and ".intro.mp3" are found there.
  std::filesystem::rename(dir_.File("lists/music.pls"), Music("music.pls"));
  list.DeleteAll();
  ASSERT_TRUE(list.LoadFromFile(Music("music.pls").c_str(), false));
  EXPECT_EQ(Paths(list),
            (std::vector<std::string>{Music("sub/d.mp3"), Music("a.mp3"), Music(".intro.mp3")}));

  CPlaylist none;
  EXPECT_FALSE(none.LoadFromFile(List("zero.pls", "[playlist]\nFile1=a.mp3\n").c_str(), false));
  EXPECT_EQ(none.ErrorCode(), PLAYLIST_ERROR_EMPTY);
}

TEST_F(PlaylistFiles, IniListStopsAtTheFirstMissingNumber) {
  CPlaylist list;
  ASSERT_TRUE(list.LoadFromFile(
      List("list.pl", "[Files]\nFile0=../music/a.mp3\nFile2=../music/sub/d.mp3\n").c_str(), false));
  EXPECT_EQ(Paths(list), (std::vector<std::string>{Music("a.mp3")}));
  CPlaylist none;
  EXPECT_FALSE(none.LoadFromFile(List("none.pl", "[Files]\nFile1=a.mp3\n").c_str(), false));
  EXPECT_EQ(list.GetSongCount(dir_.File("lists/list.pl").c_str()), 1);
}

TEST_F(PlaylistFiles, AsxEntriesGiveTitleArtistAndDuration) {
  CPlaylist list;
  ASSERT_TRUE(list.LoadFromFile(
      List("show.asx",
           "<ASX version=\"3.0\"><Title>Show</Title>\n"
           "<Ref href=\"../music/sub/d.mp3\"/>\n"  // outside an entry: passed over
           "<!-- <Entry><Ref href=\"../music/a.mp3\"/></Entry> -->\n"
           "<Entry>\n  <Ref href=\"../music/a.mp3\" />\n"
           "  <Duration value=\"00:03:25.5\" />\n"
           "  <Param name=\"Name\" value=\"Song &amp; Dance\"/>\n"
           "  <PARAM NAME='Artist' VALUE='Band'/>\n</Entry>\n"
           "<entry><ref HREF=\"http://host/live.wma\"/></entry>\n"
           "<Entry><Param name=\"Name\" value=\"Only a title\"/></Entry>\n"
           "<Entry><Ref href=\"../music/b c.wav\"/>")  // no end tag at the end of the file
          .c_str(),
      false));
  EXPECT_EQ(Paths(list), (std::vector<std::string>{Music("a.mp3"), Music("b c.wav")}));
  EXPECT_STREQ(list.GetTrackTitle(0), "Song & Dance");
  EXPECT_STREQ(list.GetTrackInfo(0)->artist, "Band");
  EXPECT_EQ(list.GetTrackInfo(0)->length, 205500);
  EXPECT_EQ(Refused(list), (std::vector<P>{{"http://host/live.wma", PLAYLIST_ENTRY_REMOTE},
                                           {"", PLAYLIST_ENTRY_MISSING}}));
}

TEST(AsxDuration, RunsOfDigitsFromTheSecondsUp) {
  EXPECT_EQ(ParseAsxDuration("00:03:25.5"), 205500);
  EXPECT_EQ(ParseAsxDuration("3:25.05"), 205050);
  EXPECT_EQ(ParseAsxDuration("42"), 42000);
  EXPECT_EQ(ParseAsxDuration("1:00:00:00.999"), 999);  // a fourth run is dropped
  EXPECT_EQ(ParseAsxDuration("99999999999:0:0"), INT32_MAX);
  EXPECT_EQ(ParseAsxDuration(""), 0);
  EXPECT_EQ(ParseAsxDuration(".123456"), 123);
}

TEST_F(PlaylistFiles, CompilationFilesRoundTripAndBoundTheirCount) {
  CPlaylist list;
  ASSERT_TRUE(list.LoadFromFile(
      List("src.m3u", Music("a.mp3") + "\n" + Music("sub/d.mp3") + "\n").c_str(), false));
  CopyBounded(list.GetTrackInfo(1)->title, 256, "Dee");
  list.GetTrackInfo(1)->compK = 77;
  const std::string qvl = dir_.File("lists/saved.qvl");
  ASSERT_TRUE(list.SaveToFile(qvl.c_str()));
  EXPECT_FALSE(list.SaveToFile(dir_.File("lists/saved.m3u").c_str()));
  EXPECT_EQ(list.ErrorCode(), PLAYLIST_ERROR_FORMAT);

  CPlaylist back;
  ASSERT_TRUE(back.LoadFromFile(qvl.c_str(), false));
  EXPECT_EQ(Paths(back), Paths(list));
  EXPECT_STREQ(back.GetTrackTitle(1), "Dee");
  EXPECT_EQ(back.GetTrackInfo(1)->compK, 77);
  EXPECT_EQ(back.GetSongCount(qvl.c_str()), 2);

  // The header claims two billion tracks, and the last record is cut short.
  std::string bytes = testsupport::ReadFile(qvl);
  size_t header = bytes.find("cdhd") + 12;
  bytes.replace(header, 4, std::string("\x00\x94\x35\x77", 4));
  bytes.resize(bytes.size() - 100);
  uint32_t riffSize = static_cast<uint32_t>(bytes.size() - 8);
  bytes.replace(4, 4, reinterpret_cast<const char*>(&riffSize), 4);
  auto start = std::chrono::steady_clock::now();
  CPlaylist cut;
  ASSERT_TRUE(cut.LoadFromFile(List("cut.qvl", bytes).c_str(), false));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(Paths(cut), (std::vector<std::string>{Music("a.mp3")}));

  CPlaylist empty;
  EXPECT_FALSE(empty.SaveToFile(qvl.c_str()));
  EXPECT_EQ(empty.ErrorCode(), PLAYLIST_ERROR_EMPTY);
}

TEST_F(PlaylistFiles, ScannerFindsPathsInAnyFile) {
  // A path begins at a '/' that follows no name character.
  std::string bytes = std::string("junk\x00", 5) + Music("a.mp3") + std::string("\xff\x00", 2) +
                      Music("sub/d.MP3x") + "\ttext\t" + Music("gone.wav") + "\x01" +
                      Music("b c.wav") + " x" + Music("a.mp3");
  CPlaylist list;
  ASSERT_TRUE(list.LoadFromFile(List("other.lst", bytes).c_str(), false));
  EXPECT_EQ(Paths(list), (std::vector<std::string>{Music("a.mp3"), Music("b c.wav")}));
  // "d.MP3" does not exist by that case; gone.wav not at all.
  ASSERT_EQ(list.Refusals().size(), 2u);
  EXPECT_EQ(list.Refusals()[1].entry, Music("gone.wav"));

  // Sixteen-bit text; and lists that name each file twice.
  std::string wide;
  for (char c : Music("a.mp3") + "|" + Music("sub/d.mp3")) wide += std::string{c, '\0'};
  CPlaylist w;
  ASSERT_TRUE(w.LoadFromFile(List("wide.cl5", wide).c_str(), false));
  EXPECT_EQ(Paths(w), (std::vector<std::string>{Music("a.mp3"), Music("sub/d.mp3")}));
  CPlaylist twice;
  ASSERT_TRUE(
      twice.LoadFromFile(List("twice.cl3", Music("a.mp3") + "|" + Music("a.mp3") + "|" +
                                               Music("sub/d.mp3") + "|" + Music("sub/d.mp3"))
                             .c_str(),
                         false));
  EXPECT_EQ(Paths(twice), (std::vector<std::string>{Music("a.mp3"), Music("sub/d.mp3")}));

  CPlaylist nothing;
  EXPECT_FALSE(nothing.LoadFromFile(List("text.txt", "no paths in here").c_str(), false));
  EXPECT_EQ(nothing.ErrorCode(), PLAYLIST_ERROR_EMPTY);
}

TEST_F(PlaylistFiles, SingleFilesAndTheListsBookkeeping) {
  CPlaylist list;
  ASSERT_TRUE(list.LoadFromFile(Music("a.mp3").c_str(), false));
  ASSERT_TRUE(list.LoadFromFile(List("one.m3u", "../music/sub/d.mp3\n").c_str(), false));
  EXPECT_EQ(Paths(list), (std::vector<std::string>{Music("a.mp3"), Music("sub/d.mp3")}));
  EXPECT_EQ(list.GetTrackFilePath(-1), nullptr);
  EXPECT_EQ(list.GetTrackFilePath(list.NumTracks()), nullptr);
  EXPECT_EQ(list.GetTrackTitle(2), nullptr);
  EXPECT_EQ(list.GetSongCount(Music("a.mp3").c_str()), 0);
  EXPECT_EQ(list.ErrorCode(), PLAYLIST_ERROR_FORMAT);
  list.Randomize();
  EXPECT_EQ(list.NumTracks(), 2);
  list.DeleteAll();
  EXPECT_EQ(list.NumTracks(), 0);
  EXPECT_FALSE(list.LoadFromFile(Music("nothing.mp3").c_str(), false));
  EXPECT_EQ(Refused(list), (std::vector<P>{{Music("nothing.mp3"), PLAYLIST_ENTRY_MISSING}}));
  EXPECT_FALSE(list.LoadFromFile(dir_.File("lists/absent.m3u").c_str(), false));
  EXPECT_FALSE(list.LoadFromFile("", false));
}

// Playlists made to hurt: none may hang, crash or yield a track that is
// not a regular file.
TEST_F(PlaylistFiles, HostilePlaylistsNeitherHangNorCrash) {
  auto start = std::chrono::steady_clock::now();
  CPlaylist list;
  // A FIFO as entry, as single file and as the playlist itself.
  EXPECT_FALSE(list.LoadFromFile(List("fifo.m3u", "../music/pipe.mp3\n").c_str(), false));
  EXPECT_EQ(Refused(list), (std::vector<P>{{"../music/pipe.mp3", PLAYLIST_ENTRY_NOT_REGULAR}}));
  EXPECT_FALSE(list.LoadFromFile(Music("pipe.mp3").c_str(), false));
  ASSERT_EQ(mkfifo(dir_.File("lists/fifo.pls").c_str(), 0600), 0);
  EXPECT_FALSE(list.LoadFromFile(dir_.File("lists/fifo.pls").c_str(), false));
  EXPECT_EQ(list.GetSongCount(dir_.File("lists/fifo.pls").c_str()), 0);
  EXPECT_EQ(list.ErrorCode(), PLAYLIST_ERROR_OPEN);
  // A folder named as entry.
  list.DeleteAll();
  EXPECT_FALSE(list.LoadFromFile(List("dir.m3u", "../music/sub\n").c_str(), false));
  EXPECT_EQ(Refused(list), (std::vector<P>{{"../music/sub", PLAYLIST_ENTRY_NOT_REGULAR}}));

  // A huge claimed count, a line of 100000 bytes, NUL bytes, a deep ../ chain.
  list.DeleteAll();
  std::string longLine(100000, 'x');
  EXPECT_TRUE(list.LoadFromFile(
      List("huge.pls",
           "[playlist]\nNumberOfEntries=2000000000\nFile1999999999=../music/a.mp3\n"
           "File7=" +
               longLine + "\n")
          .c_str(),
      false));
  EXPECT_EQ(Paths(list), (std::vector<std::string>{Music("a.mp3")}));
  EXPECT_EQ(Refused(list), (std::vector<P>{{longLine, PLAYLIST_ENTRY_TOO_LONG}}));

  list.DeleteAll();
  std::string deep;
  for (int i = 0; i < 60; ++i) deep += "../";
  std::string nul("../music/a.mp3\0.txt", 19);
  EXPECT_TRUE(list.LoadFromFile(
      List("hostile.m3u", longLine + "\n" + nul + "\n" + deep + Music("a.mp3").substr(1) +
                              "\nfile://" + Music("a.mp3") + "%00.txt\n" + std::string(5000, '\0'))
          .c_str(),
      false));
  EXPECT_EQ(Paths(list), (std::vector<std::string>{Music("a.mp3")}));
  EXPECT_EQ(Refused(list),
            (std::vector<P>{{longLine, PLAYLIST_ENTRY_TOO_LONG},
                            {nul, PLAYLIST_ENTRY_BAD_NAME},
                            {"file://" + Music("a.mp3") + "%00.txt", PLAYLIST_ENTRY_BAD_NAME},
                            {std::string(5000, '\0'), PLAYLIST_ENTRY_TOO_LONG}}));

  // A resolved path longer than a track can hold is refused, not cut.
  std::string longName(250, 'n');
  list.DeleteAll();
  EXPECT_FALSE(list.LoadFromFile(List("long.m3u", longName + ".mp3\n").c_str(), false));
  EXPECT_EQ(Refused(list), (std::vector<P>{{longName + ".mp3", PLAYLIST_ENTRY_TOO_LONG}}));

  // Unterminated ASX tags and quotes.
  list.DeleteAll();
  list.LoadFromFile(List("cut.asx", "<Entry><Ref href=\"../music/a.mp3").c_str(), false);
  EXPECT_LE(list.NumTracks(), 1);
  for (const char* text : {"<Entry><Ref href", "<", "<Entry><!--", "<Entry><Param name=\"Name\""}) {
    CPlaylist cut;
    EXPECT_FALSE(cut.LoadFromFile(List("cut2.asx", text).c_str(), false)) << text;
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(PlaylistTitle, DefaultTitleIsTheNameWithoutItsExtension) {
  EXPECT_EQ(DefaultTrackTitle("/m/Song.mp3"), "Song");
  EXPECT_EQ(DefaultTrackTitle("/m/.intro.mp3"), ".intro");
  EXPECT_EQ(DefaultTrackTitle("/m/ab"), "ab");
  EXPECT_EQ(DefaultTrackTitle("/m/.x"), ".x");
  EXPECT_EQ(DefaultTrackTitle("/m/a.b.wav"), "a.b");
}

}  // namespace
