// The decoding buffer over real sox files: what it hands out equals sox's
// decoding, in any request size, through the ring protocol, and after seeks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/codecs/ACMBuffer.h"
#include "engine/codecs/ACMObject.h"
#include "engine/media/SeekMap.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/platform/acm/WavTestFile.h"

using testsupport::TempDir;

namespace {

// Opens the protected reading calls to the test.
class TestBuffer : public CACMBuffer {
 public:
  using CACMBuffer::CACMBuffer;
  using CACMBuffer::ReadData;
  using CACMBuffer::Seek;
};

struct Source {
  std::string path;
  wavtest::Wav wav;
  CFileObj file;
  std::unique_ptr<ACMObject> decoder;
  std::vector<int16_t> reference;  // sox's decoding
};

class ACMBufferTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(testsupport::MissingPrograms({"sox"}), ""); }

  void Open(Source* s, const std::string& encoding, int rate, int channels, const char* seconds) {
    s->path = dir.File(encoding + std::to_string(rate) + std::to_string(channels) + ".wav");
    auto r = testsupport::Run("sox -n -r " + std::to_string(rate) + " -c " +
                              std::to_string(channels) + " -e " + encoding + " '" + s->path +
                              "' synth " + seconds + " sine 200-3000 square 300 gain -3");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(wavtest::ReadWav(s->path, &s->wav));
    ASSERT_EQ(s->file.Open(s->path), 1);
    ASSERT_EQ(s->file.SetDataOffsets(s->wav.dataOffset,
                                     s->wav.dataOffset + static_cast<int64_t>(s->wav.data.size())),
              1);
    s->decoder =
        std::make_unique<ACMObject>(s->wav.Format(), 0, static_cast<int64_t>(s->wav.format.size()));
    ASSERT_EQ(s->decoder->SuggestPCMFormat(), 1);
    s->reference = wavtest::SoxDecode(s->path, dir.File("ref.raw"));
    ASSERT_FALSE(s->reference.empty());
  }

  static void Attach(TestBuffer* b, Source* s, uint32_t ring = 65536) {
    ASSERT_EQ(b->Init(&s->file, ring, 0, 50), 1);
    b->SetACMObject(s->decoder.get());
    b->format = *s->decoder->DestFormat();
  }

  TempDir dir;
};

std::vector<int16_t> Slice(const std::vector<int16_t>& v, size_t from, size_t count) {
  from = std::min(from, v.size());
  count = std::min(count, v.size() - from);
  return std::vector<int16_t>(v.begin() + from, v.begin() + from + count);
}

TEST_F(ACMBufferTest, ReadsWhatSoxDecodesInAnyRequestSize) {
  const char* encodings[][2] = {
      {"ima-adpcm", "2"}, {"ms-adpcm", "1"}, {"u-law", "2"}, {"a-law", "1"}};
  for (auto& e : encodings) {
    SCOPED_TRACE(e[0]);
    Source s;
    Open(&s, e[0], 11025, std::atoi(e[1]), "1.234");
    for (uint32_t request : {777u, 4096u, 100000u}) {
      TestBuffer b;
      Attach(&b, &s);
      ASSERT_EQ(b.SetReadVariables(0, s.reference.size() * 2), 1);
      std::vector<uint8_t> got;
      std::vector<uint8_t> piece(request);
      for (;;) {
        int64_t n = b.ReadData(piece.data(), request);
        ASSERT_GE(n, 0);
        got.insert(got.end(), piece.begin(), piece.begin() + n);
        if (n < request) break;
      }
      // The request past the end came up short; the next one gives nothing.
      EXPECT_EQ(b.ReadData(piece.data(), request), 0);
      EXPECT_EQ(wavtest::FirstDifference(wavtest::Samples(got), s.reference), -1)
          << "request " << request;
      EXPECT_EQ(b.TotalDecoded(), got.size());
    }
  }
}

// The protocol a sound uses: Fill, Lock, consume, UpdateReadOffset.
TEST_F(ACMBufferTest, RingProtocolDeliversTheWholeSound) {
  Source s;
  Open(&s, "ima-adpcm", 44100, 2, "2.5");
  TestBuffer b;
  Attach(&b, &s, 30000);
  uint64_t total = s.reference.size() * 2;
  ASSERT_EQ(b.SetReadVariables(0, total), 1);
  std::vector<uint8_t> got;
  for (int guard = 0; guard < 100000 && !b.BufferFinished(); ++guard) {
    b.Fill();
    uint8_t *first, *second;
    uint32_t firstLen, secondLen;
    b.Lock(&first, &firstLen, &second, &secondLen);
    if (firstLen + secondLen == 0) break;
    got.insert(got.end(), first, first + firstLen);
    if (second) got.insert(got.end(), second, second + secondLen);
    b.UpdateReadOffset(firstLen + secondLen);
    b.Unlock();
  }
  EXPECT_TRUE(b.BufferFinished());
  EXPECT_EQ(wavtest::FirstDifference(wavtest::Samples(got), s.reference), -1);
  // Idle: the memory goes, and reading resumes where it was.
  b.SetReadVariables(1000, 4000);
  b.LowActivityMode();
  b.Fill();
  uint8_t *first, *second;
  uint32_t firstLen, secondLen;
  b.Lock(&first, &firstLen, &second, &secondLen);
  ASSERT_GE(firstLen, 8u);
  EXPECT_EQ(wavtest::Samples(std::vector<uint8_t>(first, first + 8)), Slice(s.reference, 500, 4));
}

// Seeks land on the right sample, also in the middle of a decoded block, with
// block arithmetic and with a seek map from the scan.
TEST_F(ACMBufferTest, SeeksLandOnTheRightSample) {
  const char* encodings[] = {"ima-adpcm", "ms-adpcm", "u-law"};
  for (const char* e : encodings) {
    SCOPED_TRACE(e);
    Source s;
    Open(&s, e, 8000, 2, "2.1");
    CSeekMap* map = nullptr;
    int64_t lengthMs = 0;
    int64_t start = s.file.GetDataStart(), end = s.file.GetDataEnd();
    ASSERT_EQ(s.decoder->ParseScanAndBuild(&s.file, &map, nullptr, &lengthMs, nullptr, start, end,
                                           0, 1, 0, 1, 20, 0, 0, nullptr, nullptr),
              1);
    for (CSeekMap* useMap : {static_cast<CSeekMap*>(nullptr), map}) {
      TestBuffer b(useMap);
      Attach(&b, &s);
      uint64_t frames = s.reference.size() / 2;
      for (uint64_t frame : {frames / 2 + 3, uint64_t{0}, uint64_t{1}, uint64_t{505}, uint64_t{506},
                             frames - 7, uint64_t{1234}}) {
        ASSERT_NE(b.Seek(frame * 4), 0) << frame;
        std::vector<uint8_t> got(400);
        int64_t n = b.ReadData(got.data(), 400);
        got.resize(static_cast<size_t>(n));
        EXPECT_EQ(wavtest::Samples(got), Slice(s.reference, frame * 2, 200))
            << "frame " << frame << (useMap ? " with map" : "");
      }
    }
    CSeekMap::Release(map);
  }
}

// A looping source (data mode 1) starts over at its end: the decoding runs
// on from the first block as a new stream.
TEST_F(ACMBufferTest, LoopingSourceStartsOver) {
  Source s;
  Open(&s, "ima-adpcm", 8000, 1, "0.3");
  s.file.SetDataMode(1);
  TestBuffer b;
  Attach(&b, &s);
  size_t total = s.reference.size() * 2;
  ASSERT_EQ(b.SetReadVariables(0, 3 * total), 1);
  std::vector<uint8_t> got(total + total / 2);
  size_t at = 0;
  for (int i = 0; i < 100 && at < got.size(); ++i) {
    int64_t n =
        b.ReadData(got.data() + at, static_cast<uint32_t>(std::min<size_t>(999, got.size() - at)));
    if (n <= 0) break;
    at += static_cast<size_t>(n);
  }
  ASSERT_EQ(at, got.size());
  std::vector<int16_t> expected = s.reference;
  expected.insert(expected.end(), s.reference.begin(),
                  s.reference.begin() + s.reference.size() / 2);
  EXPECT_EQ(wavtest::FirstDifference(wavtest::Samples(got), expected), -1);
}

TEST_F(ACMBufferTest, CopiesShareDecoderAndSeekMap) {
  Source s;
  Open(&s, "ms-adpcm", 8000, 1, "0.5");
  auto* map = new CSeekMap;
  map->Add(0, 0);
  TestBuffer b(map);
  EXPECT_EQ(map->References(), 2);
  Attach(&b, &s);
  std::unique_ptr<CPCMBuffer> copy(b.Copy());
  ASSERT_TRUE(copy);
  auto* acmCopy = static_cast<CACMBuffer*>(copy.get());
  EXPECT_EQ(acmCopy->GetACMObject(), s.decoder.get());
  EXPECT_EQ(acmCopy->GetSeekMap(), map);
  EXPECT_EQ(map->References(), 3);
  copy.reset();
  EXPECT_EQ(map->References(), 2);
  b.SetSeekMap(nullptr);
  EXPECT_EQ(map->References(), 1);
  CSeekMap::Release(map);
  EXPECT_EQ(map, nullptr);
}

}  // namespace
