#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/data/FileObj.h"
#include "platform/data/MemObj.h"
#include "platform/riff/RIFF.h"
#include "tests/TestSupport.h"

using testsupport::TempDir;

namespace {

std::string Contents(CRefObj* obj) {
  std::string s(static_cast<size_t>(obj->Size()), '\0');
  obj->Seek(0, kSeekBegin);
  obj->Read(s.data(), static_cast<int64_t>(s.size()));
  return s;
}

std::string Le32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(v >> (8 * i));
  return s;
}

std::string Chunk(const char* id, const std::string& data, bool pad = true) {
  std::string s = std::string(id, 4) + Le32(static_cast<uint32_t>(data.size())) + data;
  if (pad && data.size() % 2) s += '\0';
  return s;
}

std::string Riff(const std::string& form, const std::string& body, int64_t length = -1) {
  uint32_t len =
      length < 0 ? static_cast<uint32_t>(4 + body.size()) : static_cast<uint32_t>(length);
  return "RIFF" + Le32(len) + form + body;
}

std::string ReadChunk(CRIFF& r) {
  _subChunk sub;
  r.GetCurrentChunkInfo(nullptr, &sub);
  std::string s(static_cast<size_t>(sub.dataSize), '\0');
  s.resize(static_cast<size_t>(r.ReadCurrentSubChunk(s.data(), sub.dataSize)));
  return s;
}

// The 18-byte wave format of 16-bit PCM.
std::string PcmFormat(int channels, int rate) {
  std::string f;
  f += std::string("\x01\x00", 2);
  f += static_cast<char>(channels);
  f += '\0';
  f += Le32(rate);
  f += Le32(rate * channels * 2);
  f += static_cast<char>(channels * 2);
  f += '\0';
  f += std::string("\x10\x00\x00\x00", 4);
  return f;
}

// Walks every chunk of every level; returns the number of chunks seen.
int WalkAll(CRIFF& r, int depth = 0) {
  int n = 0;
  if (!r.SeekToLevelBeginning()) return 0;
  do {
    ++n;
    char buf[64];
    r.Read(buf, sizeof buf);
    if (depth < 8 && r.Descend()) {
      n += WalkAll(r, depth + 1);
      EXPECT_TRUE(r.Ascend());
    }
  } while (r.SeekToNextChunk() && n < 100000);
  return n;
}

}  // namespace

TEST(RIFF, WrittenFileHasPaddedChunksAndCompletedLengths) {
  CMemObj m;
  ASSERT_TRUE(m.Create());
  m.Write("xx", 2);  // the RIFF starts at the object's position
  {
    CRIFF w;
    ASSERT_TRUE(w.Create(&m, FourCC("WAVE")));
    ASSERT_TRUE(w.WriteSubChunk(FourCC("fmt "), PcmFormat(2, 44100).data(), 18));
    ASSERT_TRUE(w.WriteSubChunk(FourCC("odd "), "abc", 3));
    ASSERT_TRUE(w.StartWriteStream(FourCC("data")));
    EXPECT_EQ(w.WriteStreamData("12", 2), 2);
    EXPECT_EQ(w.WriteStreamData("345", 3), 3);
    EXPECT_EQ(w.CurrentStreamDataCount(), 5);
    ASSERT_TRUE(w.EndWriteStream());
    EXPECT_EQ(w.WriteStreamData("x", 1), 0);  // no stream open
    ASSERT_TRUE(w.WriteListChunkHeader(FourCC("INFO")));
    ASSERT_TRUE(w.WriteSubChunk(FourCC("INAM"), "Song", 4));
    ASSERT_TRUE(w.WriteListChunkHeader(FourCC("sub ")));
    ASSERT_TRUE(w.StartWriteStream(FourCC("deep")));
    EXPECT_EQ(w.WriteStreamData("z", 1), 1);
    // Ascend ends the open stream; Close ends the open list and the RIFF.
    ASSERT_TRUE(w.Ascend());
    ASSERT_TRUE(w.WriteSubChunk(FourCC("IART"), "Me", 2));
    ASSERT_TRUE(w.WriteListChunkHeader(FourCC("more")));
    ASSERT_TRUE(w.WriteSubChunk(FourCC("ICMT"), "hi!", 3));
    ASSERT_TRUE(w.Close());
  }
  std::string expect =
      Riff("WAVE",
           Chunk("fmt ", PcmFormat(2, 44100)) + Chunk("odd ", "abc") + Chunk("data", "12345") +
               Chunk("LIST", "INFO" + Chunk("INAM", "Song") +
                                 Chunk("LIST", "sub " + Chunk("deep", "z")) + Chunk("IART", "Me") +
                                 Chunk("LIST", "more" + Chunk("ICMT", "hi!"))));
  EXPECT_EQ(Contents(&m), "xx" + expect);
}

TEST(RIFF, ReadsBackNestedListsAndSearchesByCodeAndType) {
  std::string body =
      Chunk("fmt ", PcmFormat(1, 8000)) + Chunk("LIST", "adtl" + Chunk("labl", "x")) +
      Chunk("data", "ABCDEFG") +
      Chunk("LIST", "INFO" + Chunk("INAM", "Title") + Chunk("LIST", "sub " + Chunk("deep", "q")) +
                        Chunk("IART", "Artist"));
  CMemObj m;
  ASSERT_TRUE(m.Create(Riff("WAVE", body).data(), static_cast<int64_t>(Riff("WAVE", body).size())));
  CRIFF r;
  _chunkInfo info;
  ASSERT_TRUE(r.Open(&m, &info));
  EXPECT_EQ(info.id, FourCC("RIFF"));
  EXPECT_EQ(info.type, FourCC("WAVE"));
  EXPECT_EQ(info.size, 4 + body.size());

  ASSERT_TRUE(r.SeekToChunk(FourCC("fmt "), 0, 0));
  EXPECT_EQ(ReadChunk(r), PcmFormat(1, 8000));
  ASSERT_TRUE(r.SeekToChunk(FourCC("data"), 0, 0));
  // The object stands at the chunk's data, which is where callers take the data window from.
  _chunkInfo ci;
  _subChunk sub;
  ASSERT_TRUE(r.GetCurrentChunkInfo(&ci, &sub));
  EXPECT_EQ(ci.id, FourCC("data"));
  EXPECT_EQ(ci.size, 7u);
  EXPECT_EQ(ci.type, 0u);
  EXPECT_EQ(m.Tell(), sub.dataOffset);
  char b[16];
  EXPECT_EQ(r.Read(b, 3), 3);
  EXPECT_EQ(r.Read(b + 3, 16), 4);  // short at the chunk's end
  EXPECT_EQ(std::string(b, 7), "ABCDEFG");
  EXPECT_EQ(r.Read(b, 16), 0);
  EXPECT_EQ(r.ReadCurrentSubChunk(b, 2), 2);  // from the beginning again
  EXPECT_EQ(std::string(b, 2), "AB");
  // Searching goes forward only: "fmt " lies behind.
  EXPECT_FALSE(r.SeekToChunk(FourCC("fmt "), 0, 0));
  EXPECT_TRUE(r.GetCurrentChunkInfo(&ci, nullptr));
  EXPECT_EQ(ci.id, FourCC("data"));  // a failed search leaves the reader in place
  EXPECT_TRUE(r.SeekToChunk(FourCC("fmt "), 1, 0));

  // Finding the INFO list among LIST chunks of other types.
  ASSERT_TRUE(r.SeekToChunk(FourCC("LIST"), 1, FourCC("INFO")));
  ASSERT_TRUE(r.Descend());
  ASSERT_TRUE(r.GetCurrentChunkInfo(&ci, nullptr));
  EXPECT_EQ(ci.id, FourCC("INAM"));
  EXPECT_EQ(ReadChunk(r), "Title");
  ASSERT_TRUE(r.SeekToNextChunk());
  ASSERT_TRUE(r.Descend());
  EXPECT_EQ(ReadChunk(r), "q");
  EXPECT_FALSE(r.SeekToNextChunk());
  ASSERT_TRUE(r.Ascend());
  ASSERT_TRUE(r.SeekToNextChunk());
  EXPECT_EQ(ReadChunk(r), "Artist");
  EXPECT_FALSE(r.SeekToNextChunk());
  EXPECT_FALSE(r.Descend());
  ASSERT_TRUE(r.Ascend());
  r.GetCurrentChunkInfo(&ci, nullptr);
  EXPECT_EQ(ci.type, FourCC("INFO"));
  EXPECT_FALSE(r.SeekToNextChunk());  // it was the last chunk
  EXPECT_FALSE(r.Ascend());           // already at the top
  ASSERT_TRUE(r.SeekToLevelBeginning());
  EXPECT_EQ(WalkAll(r), 9);
}

TEST(RIFF, RefusesWhatIsNotRiff) {
  CRIFF r;
  CMemObj m;
  EXPECT_FALSE(r.Open(nullptr, nullptr));
  EXPECT_FALSE(r.Open(&m, nullptr));  // not open
  m.Create("RIFF\x04\0\0", 7);
  EXPECT_FALSE(r.Open(&m, nullptr));
  m.Create("RIFX\x04\0\0\0WAVE", 12);
  EXPECT_FALSE(r.Open(&m, nullptr));
  EXPECT_FALSE(r.SeekToChunk(FourCC("fmt ")));
  EXPECT_FALSE(r.WriteSubChunk(FourCC("fmt "), "x", 1));
  // An empty form opens and has no chunks.
  m.Create("RIFF\x04\0\0\0WAVE", 12);
  ASSERT_TRUE(r.Open(&m, nullptr));
  EXPECT_FALSE(r.SeekToLevelBeginning());
  EXPECT_FALSE(r.SeekToChunk(FourCC("fmt "), 1, 0));
  EXPECT_FALSE(r.GetCurrentChunkInfo(nullptr, nullptr));
}

TEST(RIFF, DamagedLengthsAreCutToTheFile) {
  // A data chunk claiming more than the file holds (a cut-off recording) and a
  // RIFF length of 0 (never filled in): the data that is there is read.
  std::string body = Chunk("fmt ", PcmFormat(1, 8000)) + "data" + Le32(1000000) + "abcdef";
  std::string file = Riff("WAVE", body, 0);
  CMemObj m;
  m.Create(file.data(), static_cast<int64_t>(file.size()));
  CRIFF r;
  ASSERT_TRUE(r.Open(&m, nullptr));
  ASSERT_TRUE(r.SeekToChunk(FourCC("data")));
  _subChunk sub;
  r.GetCurrentChunkInfo(nullptr, &sub);
  EXPECT_EQ(sub.dataSize, 6);
  EXPECT_EQ(ReadChunk(r), "abcdef");
  EXPECT_FALSE(r.SeekToNextChunk());

  // A RIFF length shorter than the file hides what follows it.
  file = Riff("WAVE", Chunk("aaaa", "12"), 14) + Chunk("bbbb", "34");
  m.Create(file.data(), static_cast<int64_t>(file.size()));
  ASSERT_TRUE(r.Open(&m, nullptr));
  EXPECT_FALSE(r.SeekToChunk(FourCC("bbbb")));

  // A huge length in the middle ends the walk; a list claiming more than its
  // parent is cut to the parent.
  file = Riff("WAVE", Chunk("aaaa", "12") + "bbbb" + Le32(0xFFFFFFFF) + Chunk("cccc", "34"));
  m.Create(file.data(), static_cast<int64_t>(file.size()));
  ASSERT_TRUE(r.Open(&m, nullptr));
  EXPECT_EQ(WalkAll(r), 2);
  file = Riff("WAVE", "LIST" + Le32(5000) + "INFO" + Chunk("INAM", "x")) + "trailing";
  m.Create(file.data(), static_cast<int64_t>(file.size()));
  ASSERT_TRUE(r.Open(&m, nullptr));
  ASSERT_TRUE(r.Descend());
  EXPECT_EQ(ReadChunk(r), "x");
  EXPECT_FALSE(r.SeekToNextChunk());
  // A header cut off at the end is not a chunk.
  file = Riff("WAVE", Chunk("aaaa", "12") + "bbb");
  m.Create(file.data(), static_cast<int64_t>(file.size()));
  ASSERT_TRUE(r.Open(&m, nullptr));
  EXPECT_EQ(WalkAll(r), 1);
}

TEST(RIFF, OddChunksWithAndWithoutPadByte) {
  // Padded as RIFF requires, and (from careless writers) not padded.
  for (bool pad : {true, false}) {
    std::string file = Riff("WAVE", Chunk("odd ", "abc", pad) + Chunk("data", "1234"));
    CMemObj m;
    m.Create(file.data(), static_cast<int64_t>(file.size()));
    CRIFF r;
    ASSERT_TRUE(r.Open(&m, nullptr));
    ASSERT_TRUE(r.SeekToChunk(FourCC("data"))) << pad;
    EXPECT_EQ(ReadChunk(r), "1234");
  }
}

TEST(RIFF, RandomDamageNeverHangsOrReadsOutside) {
  std::string good =
      Riff("WAVE", Chunk("fmt ", PcmFormat(2, 44100)) + Chunk("data", std::string(301, 'd')) +
                       Chunk("LIST", "INFO" + Chunk("INAM", "Name") +
                                         Chunk("LIST", "sub " + Chunk("deep", "xyz")) +
                                         Chunk("IART", "A")));
  std::mt19937 rng(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string file = good;
    int edits = 1 + static_cast<int>(rng() % 6);
    for (int e = 0; e < edits; ++e) file[rng() % file.size()] = static_cast<char>(rng());
    if (rng() % 4 == 0) file.resize(rng() % file.size());
    CMemObj m;
    m.Create(file.data(), static_cast<int64_t>(file.size()));
    CRIFF r;
    if (!r.Open(&m, nullptr)) continue;
    EXPECT_LT(WalkAll(r), 1000);  // every step moves forward
    r.SeekToChunk(FourCC("data"), 1, 0);
    char buf[512];
    EXPECT_LE(r.ReadCurrentSubChunk(buf, sizeof buf), static_cast<int64_t>(file.size()));
  }
}

TEST(RIFF, WavWrittenHereIsReadBySox) {
  ASSERT_EQ(testsupport::MissingPrograms({"soxi"}), "");
  TempDir dir;
  std::string path = dir.File("tone.wav");
  CFileObj f;
  ASSERT_TRUE(f.Create(path));
  CRIFF w;
  ASSERT_TRUE(w.Create(&f, FourCC("WAVE")));
  ASSERT_TRUE(w.WriteSubChunk(FourCC("fmt "), PcmFormat(2, 22050).data(), 18));
  ASSERT_TRUE(w.StartWriteStream(FourCC("data")));
  std::string frames(22050 * 4, '\0');
  for (size_t i = 0; i < frames.size(); i += 2) frames[i] = static_cast<char>(i * 13);
  EXPECT_EQ(w.WriteStreamData(frames.data(), 10000), 10000);
  EXPECT_EQ(w.WriteStreamData(frames.data() + 10000, static_cast<int64_t>(frames.size()) - 10000),
            static_cast<int64_t>(frames.size()) - 10000);
  ASSERT_TRUE(w.EndWriteStream());
  ASSERT_TRUE(w.WriteListChunkHeader(FourCC("INFO")));
  ASSERT_TRUE(w.WriteSubChunk(FourCC("INAM"), "Tone", 4));
  ASSERT_TRUE(w.Close());
  ASSERT_TRUE(f.Close());
  auto info =
      testsupport::Run("soxi -c '" + path + "'; soxi -r '" + path + "'; soxi -s '" + path + "'");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_EQ(info.out, "2\n22050\n22050\n");
}

TEST(RIFF, ReadsWavMadeBySox) {
  ASSERT_EQ(testsupport::MissingPrograms({"sox"}), "");
  TempDir dir;
  std::string path = dir.File("sox.wav");
  auto made = testsupport::Run("sox -n -r 11025 -c 1 -b 16 '" + path + "' synth 0.5 sine 440");
  ASSERT_EQ(made.exitCode, 0) << made.err;
  CFileObj f;
  ASSERT_TRUE(f.Open(path, 0, 0));
  CRIFF r;
  _chunkInfo info;
  ASSERT_TRUE(r.Open(&f, &info));
  EXPECT_EQ(info.type, FourCC("WAVE"));
  EXPECT_EQ(info.size, f.Size() - 8);
  ASSERT_TRUE(r.SeekToChunk(FourCC("fmt "), 0, 0));
  unsigned char fmt[40] = {};
  ASSERT_GE(r.ReadCurrentSubChunk(fmt, sizeof fmt), 16);
  EXPECT_EQ(fmt[2], 1);                    // channels
  EXPECT_EQ(fmt[4] | fmt[5] << 8, 11025);  // rate
  ASSERT_TRUE(r.SeekToChunk(FourCC("data"), 0, 0));
  _subChunk sub;
  ASSERT_TRUE(r.GetCurrentChunkInfo(&info, &sub));
  auto samples = testsupport::Run("soxi -s '" + path + "'");
  EXPECT_EQ(std::to_string(info.size / 2) + "\n", samples.out);  // 16-bit mono
  EXPECT_EQ(sub.dataOffset + sub.dataSize, f.Size());
  // The data window the loader sets from it.
  ASSERT_TRUE(f.SetDataOffsets(f.Tell(), f.Tell() + info.size));
  EXPECT_EQ(f.DataSize(), info.size);
}

namespace {

// Stands in for a file of several gigabytes: it keeps only the first bytes
// (where the lengths are written) and counts the rest.
class HugeSink : public CRefObj {
 public:
  int IsOpen() override { return 1; }
  int64_t Write(const void* buf, int64_t len) override {
    for (int64_t i = 0; i < len && pos_ + i < static_cast<int64_t>(sizeof head_); ++i)
      head_[pos_ + i] = static_cast<const unsigned char*>(buf)[i];
    pos_ += len;
    size_ = std::max(size_, pos_);
    return len;
  }
  int Seek(int64_t pos, int origin) override {
    pos_ = (origin == kSeekCurrent ? pos_ : origin == kSeekEnd ? size_ : 0) + pos;
    return 1;
  }
  int64_t Tell() override { return pos_; }
  int64_t Size() override { return size_; }
  uint32_t Word(int at) const {
    return head_[at] | head_[at + 1] << 8 | head_[at + 2] << 16 |
           static_cast<uint32_t>(head_[at + 3]) << 24;
  }

 private:
  unsigned char head_[64] = {};
  int64_t pos_ = 0, size_ = 0;
};

}  // namespace

TEST(RIFF, StreamStopsWhereTheRiffLengthWouldOverflow) {
  HugeSink sink;
  CRIFF w;
  ASSERT_TRUE(w.Create(&sink, FourCC("WAVE")));
  ASSERT_TRUE(w.WriteSubChunk(FourCC("fmt "), PcmFormat(2, 44100).data(), 18));
  ASSERT_TRUE(w.StartWriteStream(FourCC("data")));
  std::vector<char> block(64 << 20);
  int64_t total = 0, put;
  while ((put = w.WriteStreamData(block.data(), static_cast<int64_t>(block.size()))) ==
         static_cast<int64_t>(block.size()))
    total += put;
  total += put;
  EXPECT_EQ(w.WriteStreamData(block.data(), 2), 0);
  EXPECT_EQ(w.CurrentStreamDataCount(), total);
  EXPECT_FALSE(w.WriteSubChunk(FourCC("LIST"), "INFO", 4));
  ASSERT_TRUE(w.Close());
  // Every length still describes the file exactly: nothing wrapped around.
  EXPECT_EQ(sink.Word(4), static_cast<uint64_t>(sink.Size() - 8));
  EXPECT_EQ(sink.Word(12 + 8 + 18 + 4), static_cast<uint64_t>(total));
  EXPECT_LE(sink.Size() - 8, 0xFFFFFFFFLL);
  EXPECT_GT(total, 0xFFFFFFFFLL - 100);
}
