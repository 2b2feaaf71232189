#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "engine/base/EngineErrors.h"
#include "engine/base/TonalisStrings.h"
#include "engine/media/Id3TagV2.h"
#include "platform/LastError.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"

using testsupport::TempDir;

namespace {

std::string Be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string Synchsafe(uint32_t v) {
  return {static_cast<char>((v >> 21) & 0x7f), static_cast<char>((v >> 14) & 0x7f),
          static_cast<char>((v >> 7) & 0x7f), static_cast<char>(v & 0x7f)};
}

// A version 2.3 frame (2.4 with synchsafe sizes).
std::string Frame(const std::string& id, const std::string& data, bool v24 = false,
                  char formatFlags = 0) {
  return id + (v24 ? Synchsafe(data.size()) : Be32(data.size())) + std::string(1, '\0') +
         std::string(1, formatFlags) + data;
}

std::string Frame22(const std::string& id, const std::string& data) {
  uint32_t n = data.size();
  return id +
         std::string{static_cast<char>(n >> 16), static_cast<char>(n >> 8), static_cast<char>(n)} +
         data;
}

// A tag of the given version whose frames are padded with zeros to size bytes.
std::string Tag(const std::string& frames, uint32_t size = 2048, int version = 3, int flags = 0) {
  std::string body = frames;
  if (body.size() < size) body.resize(size, '\0');
  return std::string("ID3") + static_cast<char>(version) + '\0' + static_cast<char>(flags) +
         Synchsafe(body.size()) + body;
}

std::string Text(const std::string& s) { return std::string(1, '\0') + s; }

std::string Utf16(const std::u16string& s, bool bigEndian) {
  std::string out;
  for (char16_t u : s) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xff);
    out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return out;
}

// Reads the tag of a file as the loader does: its size, then its frames.
struct ReadBack {
  TMusicInfo info;
  bool loaded = false;
  bool decoded = false;
  uint32_t used = 0;
};

ReadBack ReadTag(const std::string& path) {
  ReadBack r;
  CFileObj file;
  if (!file.Open(path, 0, 0)) return r;
  CId3TagV2 probe;
  CId3TagV2 tag(probe.ReadSize(&file));
  r.loaded = tag.Read(&file, tag.GetBufferSize());
  r.decoded = tag.GetMusicInfo(&r.info);
  r.used = tag.GetBytesUsed();
  return r;
}

ReadBack ReadBytes(const std::string& bytes) {
  TempDir dir;
  testsupport::WriteFile(dir.File("t.mp3"), bytes);
  return ReadTag(dir.File("t.mp3"));
}

// Writes info into a new tag of the given size at the start of path.
bool WriteTag(const std::string& path, const TMusicInfo& info, uint32_t size = 2048) {
  CFileObj file;
  if (!file.Open(path, 1, 0)) return false;
  CId3TagV2 tag(size);
  return tag.UpdateFromMusicInfo(&info) && tag.CreateInitialTagV2(&file);
}

TMusicInfo FullRecord() {
  TMusicInfo m;
  std::strcpy(m.title, "Jóga — ünïcødé 𝄞");
  std::strcpy(m.artist, "Björk");
  std::strcpy(m.album, "Homogenic");
  std::strcpy(m.comment, "Ça va");
  std::strcpy(m.encoder, "Sonoduct");
  std::strcpy(m.copyright, "(c) 1997");
  for (int i = 0; i < 804; ++i) m.mcdi[i] = static_cast<uint8_t>(i * 7);
  m.mcdiLength = 804;
  m.year = 1997;
  m.genreIndex = 17;
  std::strcpy(m.genre, "(17)");
  m.trackNumber = 3;
  m.totalTracks = 12;
  return m;
}

TEST(Id3TagV2, SizesAreWholeBlocksOf2048) {
  EXPECT_EQ(CId3TagV2(0).Size(), 2058u);
  EXPECT_EQ(CId3TagV2(1).Size(), 2058u);
  EXPECT_EQ(CId3TagV2(2048).Size(), 2058u);
  EXPECT_EQ(CId3TagV2(2049).Size(), 4106u);
  EXPECT_EQ(CId3TagV2(0xffffffffu).GetBufferSize(), CId3TagV2::kMaxSize);

  TempDir dir;
  std::string path = dir.File("t.mp3");
  testsupport::WriteFile(path, "");
  CFileObj file;
  ASSERT_TRUE(file.Open(path, 1, 0));
  CId3TagV2 tag(300000);
  ASSERT_TRUE(tag.CreateInitialTagV2(&file));
  std::string bytes = testsupport::ReadFile(path);
  ASSERT_EQ(bytes.size(), tag.Size());
  EXPECT_EQ(bytes.substr(0, 10), std::string("ID3\3\0\0", 6) + Synchsafe(301056));
  EXPECT_EQ(tag.ReadSize(&file), 301056u);
}

TEST(Id3TagV2, ReadSizeMasksTheTopBitOfEachByte) {
  TempDir dir;
  std::string path = dir.File("t.mp3");
  testsupport::WriteFile(path, std::string("ID3\3\0\0\x80\x80\x90\x81", 10));
  CFileObj file;
  ASSERT_TRUE(file.Open(path, 0, 0));
  CId3TagV2 tag;
  EXPECT_EQ(tag.ReadSize(&file), (0x10u << 7) | 1u);
  testsupport::WriteFile(path, std::string("ID3\3\0\0\0\0", 8));
  ASSERT_TRUE(file.Open(path, 0, 0));
  SetLastError(0);
  EXPECT_EQ(tag.ReadSize(&file), 0u);
  EXPECT_EQ(GetLastError(), kErrId3V2Frames);
}

TEST(Id3TagV2, DecodesTextFramesAndCountsBytesUsed) {
  ReadBack r = ReadBytes(Tag(Frame("TIT2", Text("Song")) + Frame("TPE1", Text("Band")) +
                             Frame("XXXX", "unknown") + Frame("TALB", Text("Disc"))));
  EXPECT_TRUE(r.loaded);
  EXPECT_TRUE(r.decoded);
  EXPECT_STREQ(r.info.title, "Song");
  EXPECT_STREQ(r.info.artist, "Band");
  EXPECT_STREQ(r.info.album, "Disc");
  EXPECT_EQ(r.used, 30u + 17u + 15u);
}

TEST(Id3TagV2, TextEncodingsBecomeUtf8) {
  std::u16string name = u"Björk 𝄞";
  ReadBack r = ReadBytes(Tag(
      Frame("TPE1", Text("Bj\xf6rk")) +                                               // ISO-8859-1
      Frame("TALB", "\x01\xff\xfe" + Utf16(name, false) + std::string("\0\0x", 3)) +  // UTF-16 LE
      Frame("TIT2", "\x01\xfe\xff" + Utf16(name, true)) +                             // UTF-16 BE
      Frame("TENC", "\x02" + Utf16(name, true)) +  // UTF-16BE, no BOM
      Frame("TCOP", std::string("\x03"
                                "Bj\xc3\xb6rk \xf0\x9d\x84\x9e\0more",
                                17))));  // UTF-8
  EXPECT_TRUE(r.decoded);
  EXPECT_STREQ(r.info.artist, "Björk");
  EXPECT_STREQ(r.info.album, "Björk 𝄞");
  EXPECT_STREQ(r.info.title, "Björk 𝄞");
  EXPECT_STREQ(r.info.encoder, "Björk 𝄞");
  EXPECT_STREQ(r.info.copyright, "Björk 𝄞");
}

TEST(Id3TagV2, CommentInTheChosenLanguageWins) {
  std::string tag = Tag(Frame("COMM", std::string("\0fre", 4) + "d" + '\0' + "Bonjour") +
                        Frame("COMM", std::string("\0eng", 4) + "d" + '\0' + "Hello") +
                        Frame("COMM", std::string("\0deu", 4) + "Beschreibung" + '\0'));
  char saved[3];
  GetLangCode(saved);
  EXPECT_EQ(std::string(saved, 3), "eng");
  EXPECT_STREQ(ReadBytes(tag).info.comment, "Hello");
  SetLangCode("ita");
  EXPECT_STREQ(ReadBytes(tag).info.comment, "Bonjour");
  // An empty text gives the description.
  SetLangCode("DEU");
  EXPECT_STREQ(ReadBytes(tag).info.comment, "Beschreibung");
  SetLangCode(saved);

  // UTF-16 descriptions end in a zero unit, not a zero byte.
  ReadBack r = ReadBytes(Tag(Frame("COMM", std::string("\x01"
                                                       "eng\xff\xfe",
                                                       6) +
                                               Utf16(u"\u0100", false) + std::string("\0\0", 2) +
                                               "\xff\xfe" + Utf16(u"Ça", false))));
  EXPECT_STREQ(r.info.comment, "Ça");
}

TEST(Id3TagV2, NumbersFromYearGenreAndTrack) {
  auto read = [](const std::string& id, const std::string& text) {
    return ReadBytes(Tag(Frame(id, Text(text)))).info;
  };
  EXPECT_EQ(read("TYER", "1999").year, 1999);
  EXPECT_EQ(read("TYER", "0999").year, 0);
  EXPECT_EQ(read("TYER", "3001").year, 0);

  TMusicInfo g = read("TCON", "(17)");
  EXPECT_EQ(g.genreIndex, 17);
  EXPECT_STREQ(g.genre, "(17)");
  g = read("TCON", "(255)");
  EXPECT_EQ(g.genreIndex, 255);
  g = read("TCON", "(17)Rock");
  EXPECT_EQ(g.genreIndex, 17);
  // Genre names as the engine's strings file shows them.
  std::string saved = GetTonalisStringFile();
  SetTonalisStringFile(testsupport::SourceDir() + "/engine/tonalis-strings.ini");
  g = read("TCON", "hard ROCK");
  EXPECT_EQ(g.genreIndex, 79);
  EXPECT_STREQ(g.genre, "(79)");
  g = read("TCON", "No Such Genre");
  SetTonalisStringFile(saved);
  EXPECT_EQ(g.genreIndex, 255);
  EXPECT_STREQ(g.genre, "No Such Genre");

  TMusicInfo t = read("TRCK", "3/12");
  EXPECT_EQ(t.trackNumber, 3);
  EXPECT_EQ(t.totalTracks, 12);
  EXPECT_EQ(read("TRCK", "0").trackNumber, -1);
  t = read("TRCK", "5/");
  EXPECT_EQ(t.trackNumber, 5);
  EXPECT_EQ(t.totalTracks, -1);
  t = read("TRCK", "7/100");
  EXPECT_EQ(t.trackNumber, 7);
  EXPECT_EQ(t.totalTracks, -1);
}

TEST(Id3TagV2, BuildsFramesInTableOrder) {
  TMusicInfo only;
  std::strcpy(only.title, "Song");
  CId3TagV2 tag;
  ASSERT_TRUE(tag.UpdateFromMusicInfo(&only));
  EXPECT_EQ(tag.GetBytesUsed(), 15u);
  EXPECT_EQ(std::string(tag.Data(), 15), Frame("TIT2", Text("Song")));

  TMusicInfo full = FullRecord();
  ASSERT_TRUE(tag.UpdateFromMusicInfo(&full));
  std::string ids;
  uint32_t at = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(tag.Data());
  while (at < tag.GetBytesUsed()) {
    ids += std::string(tag.Data() + at, 4) + " ";
    at += 10 + ((p[at + 4] << 24) | (p[at + 5] << 16) | (p[at + 6] << 8) | p[at + 7]);
  }
  EXPECT_EQ(ids, "TPE1 TALB TIT2 COMM TENC TCOP MCDI TYER TCON TRCK ");
  EXPECT_EQ(at, tag.GetBytesUsed());

  // Plain ASCII is written as ISO-8859-1 in the specified layout.
  uint32_t offset = 0, size = 0;
  ASSERT_TRUE(tag.FindFrame("TENC", &offset, &size));
  EXPECT_EQ(std::string(tag.Data() + offset + 10, size), Text("Sonoduct"));
  ASSERT_TRUE(tag.FindFrame("TYER", &offset, &size));
  EXPECT_EQ(std::string(tag.Data() + offset + 10, size), Text("1997"));

  // Nothing to write: no year, no CD identifier without tracks, no genre.
  TMusicInfo none = full;
  none.year = 0;
  none.totalTracks = -1;
  none.genreIndex = 255;
  none.genre[0] = 0;
  ASSERT_TRUE(tag.UpdateFromMusicInfo(&none));
  EXPECT_FALSE(tag.FindFrame("TYER", &offset, &size));
  EXPECT_FALSE(tag.FindFrame("MCDI", &offset, &size));
  EXPECT_FALSE(tag.FindFrame("TCON", &offset, &size));
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(size, 0u);
}

TEST(Id3TagV2, EveryFieldRoundTrips) {
  TempDir dir;
  std::string path = dir.File("t.mp3");
  testsupport::WriteFile(path, "");
  TMusicInfo in = FullRecord();
  ASSERT_TRUE(WriteTag(path, in));
  ReadBack r = ReadTag(path);
  ASSERT_TRUE(r.decoded);
  const TMusicInfo& out = r.info;
  EXPECT_STREQ(out.title, in.title);
  EXPECT_STREQ(out.artist, in.artist);
  EXPECT_STREQ(out.album, in.album);
  EXPECT_STREQ(out.comment, in.comment);
  EXPECT_STREQ(out.encoder, in.encoder);
  EXPECT_STREQ(out.copyright, in.copyright);
  EXPECT_EQ(out.mcdiLength, 804);
  EXPECT_EQ(std::memcmp(out.mcdi, in.mcdi, 804), 0);
  EXPECT_EQ(out.year, 1997);
  EXPECT_EQ(out.genreIndex, 17);
  EXPECT_STREQ(out.genre, "(17)");
  EXPECT_EQ(out.trackNumber, 3);
  EXPECT_EQ(out.totalTracks, 12);

  // A genre without a number is written as its name.
  in.genreIndex = 255;
  std::strcpy(in.genre, "Nü Gaze");
  ASSERT_TRUE(WriteTag(path, in));
  EXPECT_STREQ(ReadTag(path).info.genre, "Nü Gaze");
}

TEST(Id3TagV2, FramesThatOverflowTheReservedSpaceAreShortened) {
  TMusicInfo m = FullRecord();
  std::string longText;
  while (longText.size() < 1020) longText += "é";  // 510 characters, 1022 bytes UTF-16
  for (char* field : {m.title, m.artist, m.album, m.comment, m.encoder, m.copyright})
    std::strcpy(field, longText.c_str());
  CId3TagV2 tag(2048);
  ASSERT_TRUE(tag.UpdateFromMusicInfo(&m));
  EXPECT_LE(tag.GetBytesUsed(), 2048u);
  EXPECT_EQ(tag.Size(), 2058u);

  TempDir dir;
  std::string path = dir.File("t.mp3");
  testsupport::WriteFile(path, std::string(4096, 'A'));
  CFileObj file;
  ASSERT_TRUE(file.Open(path, 1, 0));
  ASSERT_TRUE(tag.CreateInitialTagV2(&file));
  file.Close();
  EXPECT_EQ(testsupport::ReadFile(path).substr(2058), std::string(4096 - 2058, 'A'));
  ReadBack r = ReadTag(path);
  ASSERT_TRUE(r.decoded);
  // The numbers keep their frames; the texts share the rest, cut between characters.
  EXPECT_EQ(r.info.year, 1997);
  EXPECT_EQ(r.info.trackNumber, 3);
  EXPECT_EQ(r.info.genreIndex, 17);
  EXPECT_EQ(r.info.mcdiLength, 804);
  for (const char* field :
       {r.info.title, r.info.artist, r.info.album, r.info.comment, r.info.encoder}) {
    std::string s = field;
    EXPECT_GT(s.size(), 100u);
    EXPECT_EQ(longText.compare(0, s.size(), s), 0);
  }

  // A larger source tag read into the target's tag first does not enlarge the rebuilt one.
  testsupport::WriteFile(dir.File("src.mp3"), Tag(Frame("TIT2", Text("Song")), 8192));
  CFileObj source;
  ASSERT_TRUE(source.Open(dir.File("src.mp3"), 0, 0));
  CId3TagV2 target(2048);
  ASSERT_TRUE(target.Read(&source, 8192));
  ASSERT_TRUE(target.UpdateFromMusicInfo(&m));
  EXPECT_EQ(target.Size(), 2058u);
  EXPECT_LE(target.GetBytesUsed(), 2048u);
}

TEST(Id3TagV2, DamagedFramesAreSkippedAndTheRestKept) {
  // A comment without the end of its description, then a good frame.
  ReadBack r =
      ReadBytes(Tag(Frame("TIT2", Text("Song")) + Frame("COMM", std::string("\0engno end", 10)) +
                    Frame("TPE1", Text("Band"))));
  EXPECT_FALSE(r.decoded);
  EXPECT_STREQ(r.info.title, "Song");
  EXPECT_STREQ(r.info.artist, "Band");
  EXPECT_STREQ(r.info.comment, "");

  // A frame running past the buffer ends the walk; sizes near 2^32 do not wrap around.
  for (uint32_t size : {5000u, 0xfffffff8u, 0xffffffffu}) {
    SetLastError(0);
    r = ReadBytes(
        Tag(Frame("TIT2", Text("Song")) + "TPE1" + Be32(size) + std::string(2, '\0') + "Band"));
    EXPECT_FALSE(r.decoded) << size;
    EXPECT_EQ(GetLastError(), kErrId3V2Frames);
    EXPECT_STREQ(r.info.title, "Song");
    EXPECT_STREQ(r.info.artist, "");
    EXPECT_EQ(r.used, 15u);
  }

  // A CD identifier longer than the record holds is not taken.
  r = ReadBytes(Tag(Frame("MCDI", std::string(900, 'x')) + Frame("TIT2", Text("Song"))));
  EXPECT_EQ(r.info.mcdiLength, 0);
  EXPECT_STREQ(r.info.title, "Song");

  // Frames filling the buffer to the last byte, without padding.
  std::string exact = Frame("TIT2", Text(std::string(2048 - 11, 's')));
  r = ReadBytes(Tag(exact));
  EXPECT_TRUE(r.decoded);
  EXPECT_EQ(std::strlen(r.info.title), 1023u);
  EXPECT_EQ(r.used, 2048u);
}

TEST(Id3TagV2, JunkNeverCrashes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string frames;
    int pieces = rng() % 6;
    for (int i = 0; i < pieces; ++i) {
      static const char* ids[] = {"TIT2", "COMM", "TCON", "TRCK", "TYER", "MCDI", "TPE1", "XXXX"};
      std::string data(rng() % 40, '\0');
      for (char& c : data) c = static_cast<char>(rng());
      if (rng() % 4 == 0) data.clear();
      frames += Frame(ids[rng() % 8], data, round % 3 == 0, static_cast<char>(rng()));
    }
    std::string junk(rng() % 64, '\0');
    for (char& c : junk) c = static_cast<char>(rng());
    int version = 2 + round % 4;
    ReadBack r = ReadBytes(Tag(frames + junk, 256, version, static_cast<int>(rng() & 0xf0)));
    EXPECT_LE(r.used, 2048u);
  }
}

TEST(Id3TagV2, ReadsVersion22And24Tags) {
  ReadBack r = ReadBytes(Tag(Frame22("TT2", Text("Song")) + Frame22("TP1", Text("Band")) +
                                 Frame22("TAL", "\x01\xff\xfe" + Utf16(u"Dïsc", false)) +
                                 Frame22("TYE", Text("1987")) + Frame22("TCO", Text("(8)")) +
                                 Frame22("TRK", Text("4/9")) +
                                 Frame22("COM", std::string("\0eng\0Notes", 10)),
                             2048, 2));
  EXPECT_TRUE(r.decoded);
  EXPECT_STREQ(r.info.title, "Song");
  EXPECT_STREQ(r.info.artist, "Band");
  EXPECT_STREQ(r.info.album, "Dïsc");
  EXPECT_EQ(r.info.year, 1987);
  EXPECT_EQ(r.info.genreIndex, 8);
  EXPECT_EQ(r.info.trackNumber, 4);
  EXPECT_EQ(r.info.totalTracks, 9);
  EXPECT_STREQ(r.info.comment, "Notes");

  // 2.4: synchsafe frame sizes (200 bytes needs two groups), the year in
  // TDRC, a bare genre number, an unsynchronised frame with a data length
  // indicator, behind an extended header.
  std::string longTitle(200, 't');
  std::string unsynced(
      "\0\0\0\x06\0A\xff\0\xe0"
      "B",
      10);
  r = ReadBytes(Tag(std::string("\0\0\0\x06\x01\0", 6) + Frame("TIT2", Text(longTitle), true) +
                        Frame("TDRC",
                              "\x03"
                              "2004-05-06",
                              true) +
                        Frame("TCON", Text("13"), true) + Frame("TPE1", unsynced, true, 0x03),
                    2048, 4, 0x40));
  EXPECT_TRUE(r.decoded);
  EXPECT_EQ(r.info.title, longTitle);
  EXPECT_EQ(r.info.year, 2004);
  EXPECT_EQ(r.info.genreIndex, 13);
  EXPECT_STREQ(r.info.genre, "(13)");
  EXPECT_STREQ(r.info.artist,
               "A\xc3\xbf\xc3\xa0"
               "B");

  // A 2.4 tag written with plain frame sizes (256 reads as 128 synchsafe).
  std::string plainSize = "TIT2" + Be32(256) + std::string(2, '\0') + Text(std::string(255, 'p'));
  r = ReadBytes(Tag(plainSize + Frame("TPE1", Text("Band"), true), 2048, 4));
  EXPECT_TRUE(r.decoded);
  EXPECT_EQ(r.info.title, std::string(255, 'p'));
  EXPECT_STREQ(r.info.artist, "Band");

  // 2.3 unsynchronised as a whole, with an extended header.
  std::string frames = std::string("\0\0\0\x06\0\0\0\0\0\0", 10) +
                       Frame("TIT2", Text("S\xff\xe1")) + Frame("TPE1", Text("Band"));
  std::string sync;
  for (char c : frames) {
    sync += c;
    if (c == '\xff') sync += '\0';
  }
  r = ReadBytes(Tag(sync, 2048, 3, 0xc0));
  EXPECT_TRUE(r.decoded);
  EXPECT_STREQ(r.info.title, "S\xc3\xbf\xc3\xa1");
  EXPECT_STREQ(r.info.artist, "Band");

  // Another major version is another layout: nothing is taken from it.
  r = ReadBytes(Tag(Frame("TIT2", Text("Song")), 2048, 5));
  EXPECT_FALSE(r.decoded);
  EXPECT_STREQ(r.info.title, "");
}

TEST(Id3TagV2, SingleFrameUpdates) {
  CId3TagV2 tag;
  char text[1024];
  int track = 0, total = 0;
  long year = 1;
  EXPECT_FALSE(tag.GetTitle(text));
  EXPECT_STREQ(text, "");
  EXPECT_FALSE(tag.GetTrack(&track, &total));
  EXPECT_EQ(track, -1);
  EXPECT_EQ(total, -1);
  EXPECT_FALSE(tag.GetYear(&year));
  EXPECT_EQ(year, 0);

  ASSERT_TRUE(tag.UpdateTitle("First", false));
  ASSERT_TRUE(tag.UpdateArtist("Band", false));
  ASSERT_TRUE(tag.UpdateTitle("Second", false));  // kept: no replace
  EXPECT_TRUE(tag.GetTitle(text));
  EXPECT_STREQ(text, "First");
  ASSERT_TRUE(tag.UpdateTitle("A longer title", true));  // grows in place, Band moves behind
  EXPECT_TRUE(tag.GetTitle(text));
  EXPECT_STREQ(text, "A longer title");
  EXPECT_TRUE(tag.GetArtist(text));
  EXPECT_STREQ(text, "Band");
  EXPECT_EQ(tag.GetBytesUsed(), 25u + 15u);

  ASSERT_TRUE(tag.UpdateTrack(2, 10, false));
  ASSERT_TRUE(tag.UpdateYear(2001, false));
  ASSERT_TRUE(tag.UpdateGenreIndex(80, false));
  unsigned char cd[4] = {1, 2, 3, 4};
  ASSERT_TRUE(tag.UpdateMCDI(cd, 4, false));
  ASSERT_TRUE(tag.UpdateComments("Ünïcode", false));
  EXPECT_TRUE(tag.GetTrack(&track, &total));
  EXPECT_EQ(track, 2);
  EXPECT_EQ(total, 10);
  EXPECT_TRUE(tag.GetYear(&year));
  EXPECT_EQ(year, 2001);
  int genre = 0;
  EXPECT_TRUE(tag.GetGenreIndex(&genre));
  EXPECT_EQ(genre, 80);
  unsigned char got[804];
  unsigned int length = 0;
  EXPECT_TRUE(tag.GetMCDI(got, &length));
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(std::memcmp(got, cd, 4), 0);
  EXPECT_TRUE(tag.GetComments(text));
  EXPECT_STREQ(text, "Ünïcode");

  // An empty value removes the frame and closes the gap.
  ASSERT_TRUE(tag.UpdateTitle("", true));
  EXPECT_FALSE(tag.GetTitle(text));
  EXPECT_TRUE(tag.GetArtist(text));
  EXPECT_STREQ(text, "Band");
  TMusicInfo info;
  EXPECT_TRUE(tag.GetMusicInfo(&info));
  EXPECT_EQ(info.trackNumber, 2);
}

TEST(Id3TagV2, AnEmptyCdIdentifierFrameReadsAsNone) {
  // Found by the ID3v2 fuzz target: an MCDI frame of no bytes at the end of
  // the tag (the sanitizer build catches the copy from nothing).
  TempDir dir;
  std::string path = dir.File("t.mp3");
  ASSERT_TRUE(testsupport::WriteFile(
      path,
      testsupport::ReadInput(testsupport::VectorsDir() + "/fuzz/id3v2/empty-mcdi-frame.mp3")));
  CFileObj file;
  ASSERT_TRUE(file.Open(path, 0, 0));
  CId3TagV2 probe;
  CId3TagV2 tag(probe.ReadSize(&file));
  tag.Read(&file, tag.GetBufferSize());
  TMusicInfo info;
  tag.GetMusicInfo(&info);
  EXPECT_EQ(info.mcdiLength, 0);
}

TEST(Id3TagV2, FramesAddedToAReadTagEndTheWalk) {
  // Found by the ID3v2 fuzz target: the walk of this tag stops at once (its
  // first frame is damaged), with frame-like bytes left behind. A title added
  // at the start made those bytes frames behind it, and a later update moved
  // a negative number of bytes.
  TempDir dir;
  std::string path = dir.File("t.mp3");
  ASSERT_TRUE(testsupport::WriteFile(
      path, testsupport::ReadFile(testsupport::VectorsDir() +
                                  "/fuzz/id3v2/stale-bytes-behind-frames.mp3")));
  CFileObj file;
  ASSERT_TRUE(file.Open(path, 0, 0));
  CId3TagV2 tag;
  tag.Read(&file, 0);
  TMusicInfo info;
  EXPECT_FALSE(tag.GetMusicInfo(&info));
  // The fuzz target's edits, in its order.
  char text[1024];
  long year = 0;
  ASSERT_TRUE(tag.UpdateTitle("Fuzz value", true));
  EXPECT_FALSE(tag.GetComments(text));
  ASSERT_TRUE(tag.UpdateComments("Fuzz value", true));
  ASSERT_TRUE(tag.UpdateYear(1999, true));
  ASSERT_TRUE(tag.UpdateArtist("", true));
  EXPECT_TRUE(tag.GetYear(&year));
  EXPECT_EQ(year, 1999);
  TMusicInfo after;
  EXPECT_TRUE(tag.GetMusicInfo(&after));
  EXPECT_STREQ(after.title, "Fuzz value");
  EXPECT_STREQ(after.comment, "Fuzz value");
  EXPECT_STREQ(after.artist, "");
  EXPECT_EQ(tag.GetBytesUsed(), 21u + 33u + 15u);

  // Frames that end a few bytes (too few for another frame header) before
  // the end of the buffer: a frame added behind them directly follows them.
  CId3TagV2 full;
  ASSERT_TRUE(full.UpdateTitle(std::string(1023, 't').c_str(), true));
  ASSERT_TRUE(full.UpdateArtist(std::string(998, 'a').c_str(), true));
  ASSERT_EQ(full.GetBytesUsed(), 2043u);
  EXPECT_TRUE(full.GetMusicInfo(&info));
  ASSERT_TRUE(full.UpdateAlbum("Album", true));
  EXPECT_EQ(full.GetBufferSize(), 4096u);
  EXPECT_TRUE(full.GetAlbum(text));
  EXPECT_STREQ(text, "Album");
  EXPECT_EQ(full.GetBytesUsed(), 2043u + 16u);
}

TEST(Id3TagV2, GrowingATagMovesTheAudioBehindIt) {
  TempDir dir;
  std::string path = dir.File("t.mp3");
  std::string audio(3 * 1048576 + 12345, '\0');
  for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<char>(i * 31 + i / 4096);
  testsupport::WriteFile(path, Tag(Frame("TIT2", Text("Song"))) + audio);

  CFileObj file;
  ASSERT_TRUE(file.Open(path, 1, 0));
  CId3TagV2 tag(2048);
  ASSERT_TRUE(tag.Read(&file, 0));
  // Several growths before one write: the audio still moves from behind the tag in the file.
  std::string longText(1023, 'a');
  ASSERT_TRUE(tag.UpdateArtist(longText.c_str(), true));
  ASSERT_TRUE(tag.UpdateAlbum(longText.c_str(), true));
  ASSERT_TRUE(tag.UpdateEncoder(longText.c_str(), true));
  ASSERT_TRUE(tag.UpdateCopyright(longText.c_str(), true));
  ASSERT_EQ(tag.GetBufferSize(), 6144u);
  ASSERT_TRUE(tag.Write(&file));
  file.Close();

  std::string bytes = testsupport::ReadFile(path);
  ASSERT_EQ(bytes.size(), 10 + 6144 + audio.size());
  EXPECT_TRUE(bytes.substr(10 + 6144) == audio);
  ReadBack r = ReadTag(path);
  EXPECT_TRUE(r.decoded);
  EXPECT_STREQ(r.info.title, "Song");
  EXPECT_EQ(r.info.artist, longText);
  EXPECT_EQ(r.info.copyright, longText);

  // A tag read whole into a smaller object grows the buffer only: writing it
  // back leaves the audio where it is.
  ASSERT_TRUE(file.Open(path, 1, 0));
  CId3TagV2 small(2048);
  ASSERT_TRUE(small.Read(&file, 6144));
  ASSERT_TRUE(small.UpdateTitle("Other", true));
  ASSERT_TRUE(small.Write(&file));
  file.Close();
  bytes = testsupport::ReadFile(path);
  EXPECT_TRUE(bytes.substr(10 + 6144) == audio);
  EXPECT_STREQ(ReadTag(path).info.title, "Other");
}

TEST(Id3TagV2, TagsInAnotherLayoutAreNotWrittenBack) {
  TempDir dir;
  std::string path = dir.File("t.mp3");
  std::string original = Tag(Frame("TIT2", Text("Song"), true), 2048, 4) + "audio";
  testsupport::WriteFile(path, original);
  CFileObj file;
  ASSERT_TRUE(file.Open(path, 1, 0));
  CId3TagV2 tag;
  ASSERT_TRUE(tag.Read(&file, 0));
  char text[1024];
  EXPECT_TRUE(tag.GetTitle(text));
  EXPECT_STREQ(text, "Song");
  EXPECT_FALSE(tag.UpdateTitle("New", true));
  EXPECT_FALSE(tag.Write(&file));
  EXPECT_EQ(testsupport::ReadFile(path), original);
  // Rebuilt and written with its own header, it is an ordinary tag.
  TMusicInfo info;
  std::strcpy(info.title, "New");
  ASSERT_TRUE(tag.UpdateFromMusicInfo(&info));
  ASSERT_TRUE(file.Seek(0, kSeekBegin));
  ASSERT_TRUE(tag.CreateInitialTagV2(&file));
  file.Close();
  EXPECT_STREQ(ReadTag(path).info.title, "New");
  EXPECT_EQ(testsupport::ReadFile(path).substr(2058), "audio");
}

}  // namespace
