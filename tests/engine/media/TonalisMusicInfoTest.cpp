#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/media/TonalisMusicInfo.h"
#include "platform/data/MemObj.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"

namespace {

TONALIS_CMusicInfo Sample() {
  TONALIS_CMusicInfo m;
  std::strcpy(m.title, "Title \xc3\xa9t\xc3\xa9");
  std::strcpy(m.extraText, "extra");
  std::strcpy(m.artist, "Artist");
  std::strcpy(m.album, "Album");
  std::strcpy(m.genre, "(17)");
  std::strcpy(m.comment, "Comment");
  std::strcpy(m.copyright, "(c)");
  std::strcpy(m.filePath, "/music/a.mp3");
  std::strcpy(m.sourceFormat, "MPEG");
  std::strcpy(m.encoder, "lame");
  m.genreIndex = 17;
  m.year = 1999;
  m.tagSize = 128;
  m.tagType = TAG_ID3_V1;
  m.mcdi[0] = 9;
  m.mcdi[803] = 7;
  m.mcdiLength = 804;
  m.trackNumber = 3;
  m.totalTracks = 12;
  for (int i = 0; i < 9; ++i) m.flags[i] = i % 2 == 0;
  m.fileSize = 123456;
  m.waveFormat = {1, 2, 44100, 176400, 4, 16, 0};
  m.length = 215000;
  int32_t v = 1;
  for (int32_t* c : {&m.compA, &m.compB, &m.compC, &m.compD, &m.compE, &m.compF, &m.compG, &m.compH,
                     &m.compI, &m.compJ, &m.compK, &m.compL, &m.compM, &m.compN})
    *c = v++ * 1000;
  return m;
}

bool SameRecord(const TONALIS_CMusicInfo& a, const TONALIS_CMusicInfo& b) {
  return std::strcmp(a.title, b.title) == 0 && std::strcmp(a.extraText, b.extraText) == 0 &&
         std::strcmp(a.comment, b.comment) == 0 && std::strcmp(a.filePath, b.filePath) == 0 &&
         std::strcmp(a.encoder, b.encoder) == 0 && a.genreIndex == b.genreIndex &&
         a.year == b.year && std::memcmp(a.mcdi, b.mcdi, sizeof a.mcdi) == 0 &&
         std::memcmp(a.flags, b.flags, sizeof a.flags) == 0 && a.fileSize == b.fileSize &&
         std::memcmp(&a.waveFormat, &b.waveFormat, sizeof a.waveFormat) == 0 &&
         a.length == b.length && a.compA == b.compA && a.compB == b.compB && a.compF == b.compF &&
         a.compM == b.compM && a.compN == b.compN && a.trackNumber == b.trackNumber &&
         a.totalTracks == b.totalTracks;
}

TEST(MusicInfo, NewRecordsHaveNoGenreOrTrack) {
  TMusicInfo info;
  EXPECT_EQ(info.genreIndex, 255);
  EXPECT_EQ(info.trackNumber, -1);
  EXPECT_EQ(info.totalTracks, -1);
  EXPECT_EQ(info.title[0], 0);
  TONALIS_CMusicInfo m;
  EXPECT_EQ(m.genreIndex, 0);
  EXPECT_EQ(m.trackNumber, -1);
  EXPECT_EQ(m.totalTracks, -1);
}

TEST(MusicInfo, LongTextsAreCutToTheFieldAtCharacterBoundaries) {
  TMusicInfo info;
  std::memset(info.title, 'a', 600);
  info.title[600] = 0;
  // 254 ASCII bytes then a two-byte character that no longer fits whole.
  std::memset(info.artist, 'b', 254);
  std::strcpy(info.artist + 254, "\xc3\xa9xyz");
  info.copyrighted = 1;
  info.privateBit = 1;
  TONALIS_CMusicInfo m;
  m.flags[3] = true;
  m = info;
  EXPECT_EQ(std::strlen(m.title), 255u);
  EXPECT_EQ(std::strlen(m.artist), 254u);
  EXPECT_TRUE(m.flags[TONALIS_CMusicInfo::kFlagCopyrighted]);
  EXPECT_TRUE(m.flags[3]);  // untouched
  TMusicInfo back;
  m.CopyToTMusicInfo(back);
  EXPECT_EQ(std::string(back.title), std::string(255, 'a'));
  EXPECT_EQ(back.copyrighted, 1);
  EXPECT_EQ(back.privateBit, 0);
}

TEST(MusicInfo, AssignmentKeepsTheTargetsSkipMarks) {
  TONALIS_CMusicInfo a = Sample(), b;
  b.flags[2] = true;
  b.flags[5] = true;
  b = a;
  EXPECT_TRUE(b.flags[2]);
  EXPECT_TRUE(b.flags[5]);
  EXPECT_FALSE(b.flags[3]);
  EXPECT_EQ(b.compM, a.compM);
  TONALIS_CMusicInfo c(a);
  EXPECT_TRUE(SameRecord(a, c));
}

TEST(MusicInfo, CompilationRecordRoundTripsAndFillsLengthValues) {
  TONALIS_CMusicInfo m = Sample();
  m.compF = 0;
  CMemObj mem;
  ASSERT_TRUE(mem.Create());
  CRIFF writer;
  ASSERT_TRUE(writer.Create(&mem, FourCC("QVL ")));
  ASSERT_TRUE(writer.StartWriteStream(FourCC("trak")));
  ASSERT_TRUE(m.Write(writer, 5));
  EXPECT_EQ(writer.CurrentStreamDataCount(), TONALIS_CMusicInfo::kRecordBytes);
  ASSERT_TRUE(writer.EndWriteStream());
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(m.compF, 215000);
  EXPECT_EQ(m.compH, 215000);

  mem.Seek(0, kSeekBegin);
  CRIFF reader;
  ASSERT_TRUE(reader.Open(&mem));
  ASSERT_TRUE(reader.SeekToChunk(FourCC("trak"), 1));
  TONALIS_CMusicInfo back;
  ASSERT_TRUE(back.Read(reader, 5));
  EXPECT_TRUE(SameRecord(m, back));
  EXPECT_FALSE(back.Read(reader, 6));
}

// A version 3 record laid out by hand: the old field order must land in the
// right fields.
TEST(MusicInfo, ReadsVersionThreeRecords) {
  std::string rec;
  auto text = [&](const std::string& s, size_t n) {
    std::string f = s;
    f.resize(n, '\0');
    rec += f;
  };
  auto num = [&](int32_t v) { rec.append(reinterpret_cast<const char*>(&v), 4); };
  text("/x/a.wav", 260);
  text("PCM", 128);
  rec.append(8, 'z');
  for (const char* s : {"T", "A", "L", "G", "C", "E", "R"}) text(s, 1024);
  rec.append(804, '\x01');
  num(804);
  num(2001);
  num(1);  // discarded
  num(1);  // copyrighted
  num(0);  // original
  for (int32_t v : {5, 7, 9, 10, 2}) num(v);
  tWAVEFORMATEX wf{1, 1, 22050, 44100, 2, 16, 0};
  rec.append(reinterpret_cast<const char*>(&wf), sizeof wf);
  rec.append(2, '\0');
  num(1);      // CD quality
  num(61000);  // length
  num(999);    // file size
  text("xt", 512);
  for (int v = 1; v <= 11; ++v) num(v);
  for (int v = 0; v < 5; ++v) num(v % 2);

  CMemObj mem;
  ASSERT_TRUE(mem.Create());
  CRIFF writer;
  ASSERT_TRUE(writer.Create(&mem, FourCC("QVL ")));
  ASSERT_TRUE(writer.WriteSubChunk(FourCC("trak"), rec.data(), rec.size()));
  ASSERT_TRUE(writer.Close());
  mem.Seek(0, kSeekBegin);
  CRIFF reader;
  ASSERT_TRUE(reader.Open(&mem));
  ASSERT_TRUE(reader.SeekToChunk(FourCC("trak"), 1));
  TONALIS_CMusicInfo m;
  ASSERT_TRUE(m.Read(reader, 3));
  EXPECT_STREQ(m.filePath, "/x/a.wav");
  EXPECT_STREQ(m.comment, "C");
  EXPECT_STREQ(m.copyright, "R");
  EXPECT_EQ(m.year, 2001);
  EXPECT_TRUE(m.flags[0]);
  EXPECT_FALSE(m.flags[8]);
  EXPECT_TRUE(m.flags[1]);
  EXPECT_EQ(m.genreIndex, 5);
  EXPECT_EQ(m.tagType, 2);
  EXPECT_EQ(m.waveFormat.nSamplesPerSec, 22050u);
  EXPECT_EQ(m.length, 61000);
  EXPECT_EQ(m.fileSize, 999);
  EXPECT_STREQ(m.extraText, "xt");
  EXPECT_EQ(m.compC, 1);
  EXPECT_EQ(m.compM, 11);
  EXPECT_EQ(m.compA, 0);
  EXPECT_FALSE(m.flags[3]);
  EXPECT_TRUE(m.flags[4]);
  EXPECT_FALSE(m.flags[2]);
}

}  // namespace
