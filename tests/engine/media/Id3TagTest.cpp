#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/base/TonalisStrings.h"
#include "engine/media/Id3Tag.h"
#include "tests/TestSupport.h"

using testsupport::TempDir;

namespace {

// A 128-byte tag with the given fields (ISO-8859-1 bytes), padded with NULs.
std::string Tag(const std::string& title, const std::string& comment, int b125, int b126, int genre,
                const std::string& year = "1999") {
  std::string t(128, '\0');
  std::memcpy(t.data(), "TAG", 3);
  t.replace(3, title.size(), title);
  t.replace(33, 6, "Artist");
  t.replace(63, 5, "Album");
  t.replace(93, 4, year);
  t.replace(97, comment.size(), comment);
  t[125] = static_cast<char>(b125);
  t[126] = static_cast<char>(b126);
  t[127] = static_cast<char>(genre);
  return t;
}

// Uses a strings file of its own for the engine while it lives.
class EngineStrings {
 public:
  explicit EngineStrings(const std::string& path) : old_(GetTonalisStringFile()) {
    SetTonalisStringFile(path);
  }
  ~EngineStrings() { SetTonalisStringFile(old_); }

 private:
  std::string old_;
};

std::string SourceStrings() { return testsupport::SourceDir() + "/engine/tonalis-strings.ini"; }

}  // namespace

TEST(Id3Tag, LoadsBothVersionsAndTrimsPadding) {
  CId3Tag tag;
  char out[CId3Tag::kTextSize];
  // Version 1.1: byte 125 is 0, byte 126 the track; the comment has 28 bytes.
  std::string comment28(28, 'c');
  ASSERT_EQ(tag.loadTag(Tag("Title   ", comment28, 0, 7, 17).data()), 1);
  EXPECT_FLOAT_EQ(tag.getVersion(), 1.1f);
  EXPECT_EQ(tag.getTrackNumber(), 7);
  tag.getComment(out);
  EXPECT_EQ(std::string(out), comment28);
  EXPECT_STREQ(tag.TitleString(), "Title");
  EXPECT_STREQ(tag.ArtistString(), "Artist");
  EXPECT_STREQ(tag.AlbumString(), "Album");
  EXPECT_EQ(tag.getYear(), 1999);
  EXPECT_EQ(tag.getGenreIndex(), 17);

  // Byte 126 = 0: version 1.0 without a track, the comment's trailing NULs removed.
  ASSERT_EQ(tag.loadTag(Tag(std::string(30, 'T'), comment28, 0, 0, 255, "    ").data()), 1);
  EXPECT_FLOAT_EQ(tag.getVersion(), 1.0f);
  EXPECT_EQ(tag.getTrackNumber(), -1);
  tag.getComment(out);
  EXPECT_EQ(std::string(out), comment28);
  tag.getTitle(out);
  EXPECT_EQ(std::string(out), std::string(30, 'T'));  // a full field loads whole
  EXPECT_EQ(tag.getYear(), 0);
  EXPECT_EQ(tag.getGenreIndex(), 255);

  // A 30-byte comment (byte 125 not 0) keeps all its bytes.
  ASSERT_EQ(tag.loadTag(Tag("", std::string(30, 'x'), 'x', 'x', 3).data()), 1);
  EXPECT_EQ(std::string(tag.CommentString()), std::string(30, 'x'));
  EXPECT_EQ(tag.getTrackNumber(), -1);

  // The track byte is unsigned.
  ASSERT_EQ(tag.loadTag(Tag("", "", 0, 200, 3).data()), 1);
  EXPECT_EQ(tag.getTrackNumber(), 200);

  // Anything that does not begin with "TAG" leaves the tag as it was.
  std::string notTag = Tag("Other", "", 0, 0, 1);
  notTag[0] = 'X';
  EXPECT_EQ(tag.loadTag(notTag.data()), 0);
  EXPECT_EQ(tag.getTrackNumber(), 200);
  EXPECT_STREQ(tag.TitleString(), "");
}

TEST(Id3Tag, TextIsUtf8InsideAndIso88591InTheFile) {
  CId3Tag tag;
  // 30 ISO-8859-1 characters above 127 become 60 UTF-8 bytes, none lost.
  std::string latin(30, '\xE9');
  ASSERT_EQ(tag.loadTag(Tag(latin, "caf\xE9", 0, 0, 0).data()), 1);
  std::string eAcute = "\xC3\xA9";
  std::string expected;
  for (int i = 0; i < 30; ++i) expected += eAcute;
  char out[CId3Tag::kTextSize];
  tag.getTitle(out);
  EXPECT_EQ(std::string(out), expected);
  EXPECT_EQ(std::string(tag.CommentString()), "caf" + eAcute);

  // Saving converts back; a character outside ISO-8859-1 becomes '?', and bytes
  // that are not UTF-8 are taken as ISO-8859-1 as they are.
  tag.setArtist("\xE2\x82\xAC 5 \xC3\xBC\xFC");  // euro sign, u-umlaut twice
  char saved[128];
  ASSERT_EQ(tag.saveTag(saved), 1);
  EXPECT_EQ(std::string(saved + 3, 30), latin);
  EXPECT_EQ(std::string(saved + 33), "? 5 \xFC\xFC");
  EXPECT_STREQ(tag.ArtistString(), "? 5 \xC3\xBC\xC3\xBC");  // as the tag holds it

  // The setters cut at 30 characters, not bytes.
  std::string long31;
  for (int i = 0; i < 31; ++i) long31 += eAcute;
  tag.setAlbum(long31.c_str());
  EXPECT_EQ(std::string(tag.AlbumString()), expected);
  EXPECT_EQ(CId3Tag::Utf8ToLatin1("a\xF0\x9F\x8E\xB5z\xC3"), "a?z\xC3");
}

TEST(Id3Tag, SettersAndSavedLayout) {
  CId3Tag tag;
  EXPECT_EQ(tag.getGenreIndex(), 255);  // a new tag has no genre
  EXPECT_EQ(tag.getTrackNumber(), -1);
  char b[128];
  CId3Tag back;

  tag.setTrackNumber(0);  // 1.1 with track 0 reads back as 1.0 without a track
  EXPECT_FLOAT_EQ(tag.getVersion(), 1.1f);
  tag.saveTag(b);
  EXPECT_EQ(b[125], 0);
  EXPECT_EQ(b[126], 0);
  ASSERT_EQ(back.loadTag(b), 1);
  EXPECT_FLOAT_EQ(back.getVersion(), 1.0f);
  EXPECT_EQ(back.getTrackNumber(), -1);

  for (int n : {100, -5}) {
    tag.setTrackNumber(n);
    EXPECT_FLOAT_EQ(tag.getVersion(), 1.0f);
    EXPECT_EQ(tag.getTrackNumber(), -1);
  }
  std::string comment(30, 'k');
  tag.setComment(comment.c_str());  // version 1.0: all 30 kept
  EXPECT_EQ(std::string(tag.CommentString()), comment);
  tag.setTrackNumber(99);
  tag.setComment(comment.c_str());  // version 1.1: 28 kept
  EXPECT_EQ(std::string(tag.CommentString()), comment.substr(0, 28));
  tag.saveTag(b);
  EXPECT_EQ(std::string(b + 97, 28), comment.substr(0, 28));
  EXPECT_EQ(b[125], 0);
  EXPECT_EQ(static_cast<unsigned char>(b[126]), 99);

  for (int y : {0, 999, 3001}) {
    tag.setYear(y);
    tag.saveTag(b);
    EXPECT_EQ(std::string(b + 93, 4), "    ") << y;
  }
  tag.setYear(1999);
  tag.setGenreIndex(300);
  EXPECT_EQ(tag.getGenreIndex(), 44);
  tag.setTitle("Song");
  tag.saveTag(b);
  EXPECT_EQ(std::string(b, 3), "TAG");
  EXPECT_EQ(std::string(b + 93, 4), "1999");
  EXPECT_EQ(std::string(b + 3, 30), std::string("Song") + std::string(26, '\0'));
  EXPECT_EQ(static_cast<unsigned char>(b[127]), 44);
  ASSERT_EQ(back.loadTag(b), 1);
  EXPECT_EQ(back.getYear(), 1999);
  EXPECT_EQ(back.getTrackNumber(), 99);
  EXPECT_STREQ(back.TitleString(), "Song");
}

TEST(Id3Tag, FieldsEndAtTheirFirstNulWithoutThePaddingBeforeIt) {
  // Found by the ID3v1 fuzz target: "Fuzz " NUL and other bytes in the title
  // loaded as "Fuzz " (padding was trimmed only at the field's end), and that
  // tag saved and loaded again gave "Fuzz".
  std::string fuzzed =
      testsupport::ReadFile(testsupport::VectorsDir() + "/fuzz/id3v1/space-before-nul.tag");
  ASSERT_EQ(fuzzed.size(), 128u);
  CId3Tag tag, back;
  ASSERT_EQ(tag.loadTag(fuzzed.data()), 1);
  EXPECT_STREQ(tag.TitleString(), "Fuzz");
  char b[128];
  tag.saveTag(b);
  ASSERT_EQ(back.loadTag(b), 1);
  EXPECT_STREQ(back.TitleString(), tag.TitleString());
  EXPECT_STREQ(back.ArtistString(), tag.ArtistString());
  EXPECT_STREQ(back.AlbumString(), tag.AlbumString());
  EXPECT_STREQ(back.CommentString(), tag.CommentString());
}

TEST(Id3Tag, SetTextsAreWhatASavedTagGivesBack) {
  // Found by the ID3v1 fuzz target: the raw artist field of this tag ("Fuzz "
  // and padding) set as the comment kept its trailing space, which loading drops.
  std::string fuzzed =
      testsupport::ReadFile(testsupport::VectorsDir() + "/fuzz/id3v1/comment-trailing-space.tag");
  ASSERT_GE(fuzzed.size(), 63u);
  CId3Tag tag, back;
  tag.setComment(fuzzed.substr(33, 30).c_str());
  tag.setTitle("Song  ");
  tag.setTrackNumber(3);
  tag.setAlbum(std::string(29, 'a').append("  b").c_str());  // cut to 30, then trimmed
  char b[128];
  tag.saveTag(b);
  ASSERT_EQ(back.loadTag(b), 1);
  EXPECT_STREQ(tag.CommentString(), "Fuzz");
  EXPECT_STREQ(back.CommentString(), tag.CommentString());
  EXPECT_STREQ(tag.TitleString(), "Song");
  EXPECT_STREQ(back.TitleString(), tag.TitleString());
  EXPECT_EQ(std::string(tag.AlbumString()), std::string(29, 'a'));
  EXPECT_STREQ(back.AlbumString(), tag.AlbumString());
}

TEST(Id3Tag, OtherTagReadersReadWhatIsSaved) {
  if (!testsupport::HaveProgram("id3v2")) GTEST_SKIP() << "id3v2 is not installed";
  TempDir dir;
  std::string path = dir.File("t.mp3");
  CId3Tag tag;
  tag.setTitle(
      "Gr\xC3\xBC\xC3\x9F"
      "e");  // "Gruesse" with u-umlaut and sharp s
  tag.setArtist("Someone");
  tag.setTrackNumber(12);
  tag.setComment("note");
  tag.setYear(2004);
  tag.setGenreIndex(17);
  char b[128];
  tag.saveTag(b);
  ASSERT_TRUE(testsupport::WriteFile(path, std::string(1000, '\0') + std::string(b, 128)));
  auto r = testsupport::Run("id3v2 -l '" + path + "'", {"LC_ALL=C.UTF-8"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // id3v2 prints the tag's ISO-8859-1 bytes as they are.
  EXPECT_NE(r.out.find("Title  : Gr\xFC\xDF"
                       "e"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Someone"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Year: 2004"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Track: 12"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Rock (17)"), std::string::npos) << r.out;

  // And we read what id3v2 writes, a track above 127 included.
  std::string other = dir.File("other.mp3");
  ASSERT_TRUE(testsupport::WriteFile(other, std::string(1000, '\0')));
  r = testsupport::Run("id3v2 -1 -t Outside -a Writer -y 1987 -T 200 -g 17 -c note '" + other +
                       "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string bytes = testsupport::ReadFile(other);
  ASSERT_GE(bytes.size(), 128u);
  CId3Tag read;
  ASSERT_EQ(read.loadTag(bytes.data() + bytes.size() - 128), 1);
  EXPECT_STREQ(read.TitleString(), "Outside");
  EXPECT_STREQ(read.ArtistString(), "Writer");
  EXPECT_STREQ(read.CommentString(), "note");
  EXPECT_EQ(read.getYear(), 1987);
  EXPECT_EQ(read.getTrackNumber(), 200);
  EXPECT_EQ(read.getGenreIndex(), 17);
}

TEST(Id3Tag, GenreNamesAndNumbers) {
  CId3Tag tag;
  char text[CId3Tag::kGenreTextSize];
  {
    EngineStrings strings(SourceStrings());
    tag.setGenreIndex(17);
    tag.genreString(text, 1);
    EXPECT_STREQ(text, "Rock");
    tag.setGenreIndex(147);
    tag.genreString(text, 1);
    EXPECT_STREQ(text, "Synthpop");
    tag.setGenreIndex(148);
    tag.genreString(text, 1);
    EXPECT_STREQ(text, "Unknown genre");
    std::strcpy(text, "cLASSIC rOCK");
    tag.genreString(text, 0);
    EXPECT_EQ(tag.getGenreIndex(), 1);
    std::strcpy(text, "Rock & Roll");
    tag.genreString(text, 0);
    EXPECT_EQ(tag.getGenreIndex(), 78);
    std::strcpy(text, "No Such Genre");
    tag.genreString(text, 0);
    EXPECT_EQ(tag.getGenreIndex(), 255);
    // Every number names a genre that finds its number again.
    for (int i = 0; i < CId3Tag::kGenreCount; ++i) {
      tag.setGenreIndex(i);
      tag.genreString(text, 1);
      CId3Tag other;
      other.genreString(text, 0);
      EXPECT_EQ(other.getGenreIndex(), i) << text;
    }
  }
  TempDir dir;
  std::string path = dir.File("tonalis-strings.ini");
  ASSERT_TRUE(testsupport::WriteFile(path, "[Strings]\nID3_Pop=Same\nID3_Rock=Same\n"));
  {
    EngineStrings strings(path);
    std::strcpy(text, "same");
    tag.genreString(text, 0);
    EXPECT_EQ(tag.getGenreIndex(), 13);  // equal names resolve to the lower number
    std::strcpy(text, "ID3_Rap");        // without a text the key itself is the name
    tag.genreString(text, 0);
    EXPECT_EQ(tag.getGenreIndex(), 15);
    tag.setGenreIndex(15);
    tag.genreString(text, 1);
    EXPECT_STREQ(text, "ID3_Rap");
  }
}
