// The MPEG decoding object on real files made with lame and twolame, checked
// against mpg123's decoding: through the decoding buffer in pieces, after
// seeks, into other destination shapes, in the whole-file scan, and on
// damaged data. (Every shared test stream goes through the engine in
// tests/engine/core/MpegVectorsTest.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/EngineGlobals.h"
#include "engine/base/SampleBuffer.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/ACMBuffer.h"
#include "engine/codecs/XAMObject.h"
#include "engine/media/Peaks.h"
#include "engine/media/SeekMap.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/codecs/MpegTestFiles.h"

using testsupport::TempDir;

namespace {

class TestBuffer : public CACMBuffer {
 public:
  using CACMBuffer::CACMBuffer;
  using CACMBuffer::ReadData;
  using CACMBuffer::Seek;
};

struct Opened {
  mpegtest::Stream stream;
  CFileObj file;
  std::unique_ptr<XAMObject> decoder;
};

class XAMObjectTest : public ::testing::Test {
 protected:
  // Every frame in full, as mpg123 --no-gapless decodes the references; the
  // gapless test turns trimming back on.
  void SetUp() override {
    SetGaplessMP3Decoding(0);
    ASSERT_EQ(testsupport::MissingPrograms({"sox", "lame", "twolame", "mpg123"}), "");
  }
  void TearDown() override { SetGaplessMP3Decoding(1); }

  // Makes the stream and opens it as the loader would.
  void Open(Opened* o, const std::string& name, const std::string& encoder, int rate, int channels,
            const char* seconds) {
    ASSERT_TRUE(mpegtest::Make(dir, name, encoder, rate, channels, seconds, &o->stream));
    ASSERT_EQ(o->file.Open(o->stream.path), 1);
    ASSERT_EQ(o->file.SetDataOffsets(0, static_cast<int64_t>(o->stream.bytes.size())), 1);
    o->decoder = mpegtest::NewDecoder(o->stream);
  }

  static void Attach(TestBuffer* b, Opened* o) {
    ASSERT_EQ(b->Init(&o->file, 65536, 0, 50), 1);
    b->SetACMObject(o->decoder.get());
    b->format = *o->decoder->DestFormat();
  }

  // Everything the buffer hands out, in requests of `piece` bytes.
  static std::vector<int16_t> ReadAll(TestBuffer* b, uint32_t piece) {
    std::vector<uint8_t> got, block(piece);
    for (int guard = 0; guard < 1000000; ++guard) {
      int64_t n = b->ReadData(block.data(), piece);
      if (n <= 0) break;
      got.insert(got.end(), block.begin(), block.begin() + n);
    }
    return mpegtest::Samples(got);
  }

  static int ScanAll(Opened* o, CSeekMap** map, CPeaks** peaks, int64_t* lengthMs,
                     TScanProgress progress = nullptr, void* user = nullptr) {
    return o->decoder->ParseScanAndBuild(
        &o->file, map, peaks, lengthMs, nullptr, 0, static_cast<int64_t>(o->stream.bytes.size()), 0,
        1, peaks != nullptr, map != nullptr, 20, 0, 0, progress, user);
  }

  TempDir dir;
};

TEST_F(XAMObjectTest, BufferDeliversWhatMpg123DecodesInAnyPieceSize) {
  struct Case {
    const char* name;
    const char* encoder;
    int rate, channels;
  } cases[] = {{"cbr.mp3", "lame --quiet -b 192", 44100, 2},
               {"vbr.mp3", "lame --quiet -V 2", 48000, 2},
               {"lsf.mp3", "lame --quiet -b 48", 22050, 1},
               {"l2.mp2", "twolame --quiet -b 192", 44100, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Opened o;
    Open(&o, c.name, c.encoder, c.rate, c.channels, "3.3");
    for (uint32_t piece : {1000u, 4098u, 65536u, 700001u}) {
      TestBuffer b;
      Attach(&b, &o);
      ASSERT_EQ(b.SetReadVariables(0, o.stream.reference.size() * 4), 1);
      std::vector<int16_t> got = ReadAll(&b, piece);
      EXPECT_EQ(got.size(), o.stream.reference.size()) << "piece " << piece;
      EXPECT_GE(mpegtest::Psnr(got, o.stream.reference), 96.0) << "piece " << piece;
    }
  }
}

// After a seek the decoding restarts at the seek map's frame and keeps its
// place: from a few frames on (the decoder's history is then rebuilt) the
// output is mpg123's at the same position.
TEST_F(XAMObjectTest, SeekRestartsCleanlyAtTheRightPlace) {
  Opened o;
  Open(&o, "seek.mp3", "lame --quiet -b 128", 44100, 2, "4");
  CSeekMap* map = nullptr;
  int64_t lengthMs = 0;
  ASSERT_EQ(ScanAll(&o, &map, nullptr, &lengthMs), 1);
  ASSERT_NE(map, nullptr);
  const uint64_t frames = o.stream.reference.size() / 2;
  const uint64_t settle = 4 * 1152;
  for (CSeekMap* useMap : {map, static_cast<CSeekMap*>(nullptr)}) {
    TestBuffer b(useMap);
    Attach(&b, &o);
    for (uint64_t frame :
         {frames / 2 + 3, uint64_t{0}, uint64_t{1152 * 20}, uint64_t{77777}, frames - 20000}) {
      SCOPED_TRACE(testing::Message() << "frame " << frame << (useMap ? " with map" : ""));
      ASSERT_NE(b.Seek(frame * 4), 0);
      std::vector<uint8_t> got(40000);
      int64_t n = b.ReadData(got.data(), 40000);
      ASSERT_EQ(n, 40000);
      if (!useMap) continue;  // block arithmetic only estimates the place
      std::vector<int16_t> s = mpegtest::Samples(got);
      std::vector<int16_t> tail(s.begin() + settle * 2, s.end());
      std::vector<int16_t> expected(
          o.stream.reference.begin() + (frame + settle) * 2,
          o.stream.reference.begin() + (frame + settle) * 2 + tail.size());
      EXPECT_GE(mpegtest::Psnr(tail, expected), 96.0);
    }
  }
  CSeekMap::Release(map);
}

TEST_F(XAMObjectTest, MonoSourceIntoStereoAndOtherRates) {
  Opened o;
  Open(&o, "mono.mp3", "lame --quiet -b 96", 44100, 1, "2");
  tWAVEFORMATEX stereo{};
  stereo.wFormatTag = WAVE_FORMAT_PCM;
  stereo.nChannels = 2;
  stereo.nSamplesPerSec = 44100;
  stereo.wBitsPerSample = 16;
  ASSERT_EQ(ValidateFormat(&stereo, WAVE_FORMAT_PCM), 1);
  ASSERT_EQ(o.decoder->SetDestFormat(&stereo), 1);
  TestBuffer b;
  Attach(&b, &o);
  ASSERT_EQ(b.SetReadVariables(0, o.stream.reference.size() * 8), 1);
  std::vector<int16_t> got = ReadAll(&b, 5000);
  ASSERT_EQ(got.size(), o.stream.reference.size() * 2);
  std::vector<int16_t> left, right;
  for (size_t i = 0; i + 1 < got.size(); i += 2) {
    left.push_back(got[i]);
    right.push_back(got[i + 1]);
  }
  EXPECT_EQ(left, right);
  EXPECT_GE(mpegtest::Psnr(left, o.stream.reference), 96.0);

  // Another rate: the length follows the rate ratio and the scan agrees.
  Opened low;
  Open(&low, "low.mp3", "lame --quiet -b 32", 22050, 1, "2");
  ASSERT_EQ(low.decoder->SetDestFormat(&stereo), 1);
  TestBuffer b2;
  Attach(&b2, &low);
  ASSERT_EQ(b2.SetReadVariables(0, low.stream.reference.size() * 16), 1);
  std::vector<int16_t> up = ReadAll(&b2, 7000);
  EXPECT_NEAR(static_cast<double>(up.size()) / 2, low.stream.reference.size() * 2.0, 2.0 * 576);
  CPeaks* peaks = nullptr;
  int64_t lengthMs = 0;
  ASSERT_EQ(ScanAll(&low, nullptr, &peaks, &lengthMs), 1);
  ASSERT_NE(peaks, nullptr);
  EXPECT_EQ(peaks->HasNonCDQualityFrames(), 1);
  EXPECT_NEAR(lengthMs, low.stream.reference.size() * 1000 / 22050, 30);
  delete peaks;
}

// The scan gives the exact length, a seek map of one point per frame and
// the peaks, and reports progress that adds up to the data size.
TEST_F(XAMObjectTest, ScanBuildsLengthSeekMapAndPeaks) {
  Opened o;
  Open(&o, "scan.mp3", "lame --quiet -V 4", 44100, 2, "5.5");
  struct Progress {
    int64_t total = 0;
    int calls = 0;
  } progress;
  auto count = [](unsigned long value, void* user) {
    auto* p = static_cast<Progress*>(user);
    p->total += static_cast<int64_t>(value);
    ++p->calls;
    return 1;
  };
  CSeekMap* map = nullptr;
  CPeaks* peaks = nullptr;
  int64_t lengthMs = 0;
  int reported = 0;
  const int64_t size = static_cast<int64_t>(o.stream.bytes.size());
  ASSERT_EQ(o.decoder->ParseScanAndBuild(&o.file, &map, &peaks, &lengthMs, &reported, 0, size, 0, 1,
                                         1, 1, 20, 0, 0, count, &progress),
            1);
  ASSERT_NE(map, nullptr);
  ASSERT_NE(peaks, nullptr);
  const uint64_t decodedBytes = o.stream.reference.size() * 2;
  EXPECT_EQ(lengthMs, static_cast<int64_t>(decodedBytes * 1000 / 176400));
  EXPECT_EQ(reported, 1);
  EXPECT_EQ(progress.total, size);
  EXPECT_GT(progress.calls, 10);

  EXPECT_EQ(static_cast<uint64_t>(map->Count()), decodedBytes / 4608);
  for (int i = 1; i < map->Count(); ++i) {
    EXPECT_EQ(map->At(i).decoded - map->At(i - 1).decoded, 4608u);
    EXPECT_GT(map->At(i).source, map->At(i - 1).source);
    EXPECT_LT(map->At(i).source, static_cast<uint64_t>(size));
  }

  EXPECT_NEAR(peaks->GetNumPeaks(), lengthMs / 20, 2);
  int16_t loudest = 0;
  for (int16_t v : o.stream.reference) loudest = std::max<int16_t>(loudest, std::abs(v));
  EXPECT_NEAR(std::max(peaks->GetMaxLeft(), peaks->GetMaxRight()), loudest, 8);
  EXPECT_EQ(peaks->HasBadFrames(), 0);
  EXPECT_EQ(peaks->HasNonCDQualityFrames(), 0);
  delete peaks;
  CSeekMap::Release(map);
}

TEST_F(XAMObjectTest, ScanCancelsAndPauses) {
  Opened o;
  Open(&o, "cancel.mp3", "lame --quiet -b 128", 44100, 2, "3");
  struct Script {
    int calls = 0;
    int zeroCalls = 0;
    int cancelAt;
  };
  auto step = [](unsigned long value, void* user) {
    auto* s = static_cast<Script*>(user);
    ++s->calls;
    if (value == 0) ++s->zeroCalls;
    if (s->calls == s->cancelAt) return 0;
    return s->calls % 3 == 0 ? -1 : 1;  // every third call pauses once
  };
  Script cancel{0, 0, 7};
  CSeekMap* map = nullptr;
  CPeaks* peaks = nullptr;
  int64_t lengthMs = -5;
  EXPECT_EQ(ScanAll(&o, &map, &peaks, &lengthMs, step, &cancel), 0);
  EXPECT_EQ(map, nullptr);
  EXPECT_EQ(peaks, nullptr);
  EXPECT_EQ(lengthMs, -5);
  EXPECT_EQ(cancel.calls, 7);
  EXPECT_EQ(cancel.zeroCalls, 2);  // the pause after calls 3 and 6 asked again with 0

  Script pause{0, 0, -1};
  ASSERT_EQ(ScanAll(&o, &map, &peaks, &lengthMs, step, &pause), 1);
  EXPECT_GT(pause.zeroCalls, 0);
  EXPECT_EQ(lengthMs, static_cast<int64_t>(o.stream.reference.size() * 2 * 1000 / 176400));
  delete peaks;
  CSeekMap::Release(map);
}

// Garbage in the middle, a cut end, and nothing but garbage: no crash, the
// decoding goes on after the damage, and the buffer and the scan agree.
TEST_F(XAMObjectTest, DamagedDataKeepsGoing) {
  Opened clean;
  Open(&clean, "clean.mp3", "lame --quiet -b 160", 44100, 2, "4");
  const std::string bytes = clean.stream.bytes;
  std::string garbage = bytes;
  uint32_t seed = 12345;
  for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 6000; ++i) {
    seed = seed * 1103515245u + 12345u;
    garbage[i] = static_cast<char>(seed >> 16);
  }
  std::string noise(50000, '\0');
  for (char& c : noise) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<char>(seed >> 16 | 0xE0);  // many would-be sync bytes
  }
  struct Damage {
    const char* name;
    std::string data;
    double least, most;  // decoded share of the clean length
  } damages[] = {{"garbage.mp3", garbage, 0.8, 1.0},
                 {"cut.mp3", bytes.substr(0, bytes.size() * 2 / 3 + 123), 0.6, 0.7},
                 {"noise.mp3", noise, 0.0, 0.05}};
  const double cleanSamples = static_cast<double>(clean.stream.reference.size());
  for (const Damage& d : damages) {
    SCOPED_TRACE(d.name);
    Opened o;
    o.stream.path = dir.File(d.name);
    ASSERT_TRUE(testsupport::WriteFile(o.stream.path, d.data));
    o.stream.bytes = d.data;
    o.stream.rate = 44100;
    o.stream.channels = 2;
    o.stream.kbps = 160;
    ASSERT_EQ(o.file.Open(o.stream.path), 1);
    ASSERT_EQ(o.file.SetDataOffsets(0, static_cast<int64_t>(d.data.size())), 1);
    o.decoder = mpegtest::NewDecoder(o.stream);
    CPeaks* peaks = nullptr;
    int64_t lengthMs = 0;
    ASSERT_EQ(ScanAll(&o, nullptr, &peaks, &lengthMs), 1);
    delete peaks;
    TestBuffer b;
    Attach(&b, &o);
    ASSERT_EQ(b.SetReadVariables(0, bytes.size() * 40), 1);
    std::vector<int16_t> got = ReadAll(&b, 30000);
    EXPECT_GE(got.size(), d.least * cleanSamples);
    EXPECT_LE(got.size(), d.most * cleanSamples + 1);
    EXPECT_NEAR(lengthMs, static_cast<int64_t>(got.size() * 2 * 1000 / 176400), 30);
  }
}

// Convert alone, as a caller without a buffer would use it: the ring empty
// ends the loop, a small block grows, and a frame with no room is kept.
TEST_F(XAMObjectTest, ConvertStopsOnAnEmptyRingAndKeepsFramesWithoutRoom) {
  Opened o;
  Open(&o, "direct.mp3", "lame --quiet -b 128", 44100, 2, "1");
  XAMObject& x = *o.decoder;
  ASSERT_EQ(x.EnableStream(1), 1);
  char* dst = static_cast<char*>(std::malloc(100));
  int64_t srcLength = 0;
  EXPECT_EQ(x.Convert(nullptr, srcLength, dst, 100, CONVERSION_FIRST, 1), 0);  // nothing fed
  std::vector<uint8_t> out;
  const std::string& s = o.stream.bytes;
  size_t at = 0;
  for (int guard = 0; guard < 10000 && at < s.size(); ++guard) {
    int64_t len = static_cast<int64_t>(std::min<size_t>(3000, s.size() - at));
    int64_t n = x.Convert(const_cast<char*>(s.data() + at), len, dst, 100, CONVERSION_FOLLOWING, 0);
    ASSERT_GE(n, 0);
    out.insert(out.end(), dst, dst + n);
    at += static_cast<size_t>(len);
    if (len == 0 && n == 0) break;
  }
  // Frames still in the ring come out with room to grow.
  int64_t none = 0;
  int64_t n = x.Convert(nullptr, none, dst, 100, CONVERSION_FOLLOWING, 1);
  out.insert(out.end(), dst, dst + n);
  std::free(dst);
  std::vector<int16_t> got = mpegtest::Samples(out);
  EXPECT_EQ(got.size(), o.stream.reference.size());
  EXPECT_GE(mpegtest::Psnr(got, o.stream.reference), 96.0);
}

TEST(XAMObjectArithmetic, SizesOffsetsAndText) {
  SetTonalisStringFile(testsupport::BinPath("tonalis-strings.ini"));
  std::vector<uint8_t> record = mpegtest::MpegFormat(44100, 2, 128, 418);
  XAMObject x(reinterpret_cast<const tWAVEFORMATEX*>(record.data()), 0, 32);
  EXPECT_EQ(x.BlockSize(x.SourceFormat()), 418);
  EXPECT_EQ(x.DestFormat()->nAvgBytesPerSec, 176400u);
  EXPECT_DOUBLE_EQ(x.GetConvertedBufferSize(4180), 10 * 26.12245 * 176400 * 0.001);
  EXPECT_EQ(x.GetSourceBufferSize(10), 418);
  EXPECT_EQ(x.GetSourceBufferSize(0), 0);
  EXPECT_EQ(x.GetSourceBufferSize(176400), 15884);  // 16000 bytes, whole frames
  uint64_t v = 3;
  x.AdjustSrcOffset(&v);
  EXPECT_EQ(v, 0u);
  v = 10;
  x.AdjustSrcOffset(&v);
  EXPECT_EQ(v, 6u);
  v = 100;
  x.CheckMinimumSrcSize(&v);
  EXPECT_EQ(v, 2048u);
  EXPECT_EQ(x.GetInitialNumOffsetsInRev(), -2);
  x.SetLayer(1);
  EXPECT_DOUBLE_EQ(x.MilsPerFrame(), 8.707483);

  std::vector<uint8_t> lowRecord = mpegtest::MpegFormat(22050, 1, 32, 104);
  XAMObject low(reinterpret_cast<const tWAVEFORMATEX*>(lowRecord.data()), 0, 32);
  EXPECT_DOUBLE_EQ(low.MilsPerFrame(), 0.0);
  EXPECT_DOUBLE_EQ(low.GetConvertedBufferSize(4000), 44100.0 * 4000 / 4000);

  short samples[] = {0, 0, 0, 5, 0};
  int64_t zero = -1;
  EXPECT_EQ(XAMObject::AllZeros(samples, 10, zero), 1);
  EXPECT_EQ(zero, 6);
  EXPECT_EQ(XAMObject::AllZeros(samples, 7, zero), 0);  // the odd byte is ignored
  EXPECT_EQ(zero, 6);

  low.SetVersion(2.5f);
  low.SetMode(3);
  low.SetVBR(1);
  low.SetBitRate(32000);
  low.SetFirstFrameDecodesToCDQuality(1);
  char text[128];
  ASSERT_EQ(low.GetSrcFormatStr(text, sizeof text), 1);
  EXPECT_NE(std::string(text).find("MPEG-2.5"), std::string::npos) << text;
  EXPECT_NE(std::string(text).find("Mono"), std::string::npos) << text;
  EXPECT_NE(std::string(text).find("32"), std::string::npos) << text;
  char small[6];
  ASSERT_EQ(low.GetSrcFormatStr(small, sizeof small), 1);
  EXPECT_EQ(std::strlen(small), 5u);

  // A copy keeps the settings, not the decoder.
  ASSERT_EQ(low.EnableStream(1), 1);
  std::unique_ptr<ACMObject> copy(low.Copy());
  auto* c = dynamic_cast<XAMObject*>(copy.get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->Version(), 2.5f);
  EXPECT_EQ(c->IsVBR(), 1);
  EXPECT_EQ(c->Mode(), 0);
  EXPECT_EQ(c->FirstFrameDecodesToCDQuality(), 1);
  EXPECT_EQ(c->LastFrameDecoded(), 0);
  EXPECT_EQ(c->IsACM(), 0);
}

// Free-format streams fed through the streaming ring in small pieces decode as
// they do from a file: the frame size is measured once enough bytes are in.
TEST_F(XAMObjectTest, FreeFormatStreamsDecodeThroughTheRing) {
  const std::string mpeg = testsupport::VectorsDir() + "/mpeg/";
  for (const char* name : {"l3-he_free", "l2-nonstandard-free_format"}) {
    SCOPED_TRACE(name);
    Opened o;
    o.stream.path = mpeg + name + ".bit";
    o.stream.bytes = testsupport::ReadInput(o.stream.path);
    ASSERT_FALSE(o.stream.bytes.empty());
    o.stream.reference = mpegtest::Samples(testsupport::ReadInput(mpeg + name + ".pcm"));
    mpegtest::ReadHeader(&o.stream);
    const auto* p = reinterpret_cast<const uint8_t*>(o.stream.bytes.data());
    size_t i = 0;
    while (i + 4 <= o.stream.bytes.size() && !(p[i] == 0xFF && (p[i + 1] & 0xE0) == 0xE0)) ++i;
    static const int kRates[] = {44100, 48000, 32000};
    o.stream.rate = kRates[(p[i + 2] >> 2) & 3];
    o.stream.channels = o.stream.mode == 3 ? 1 : 2;
    o.stream.kbps = 128;
    ASSERT_EQ(o.file.Open(o.stream.path), 1);
    ASSERT_EQ(o.file.SetDataOffsets(0, static_cast<int64_t>(o.stream.bytes.size())), 1);
    o.decoder = mpegtest::NewDecoder(o.stream);
    for (uint32_t piece : {1000u, 65536u}) {
      TestBuffer b;
      Attach(&b, &o);
      ASSERT_EQ(b.SetReadVariables(0, o.stream.reference.size() * 4), 1);
      std::vector<int16_t> got = ReadAll(&b, piece);
      EXPECT_GE(got.size() + 2304, o.stream.reference.size()) << "piece " << piece;
      EXPECT_GE(mpegtest::Psnr(got, o.stream.reference), 96.0) << "piece " << piece;
    }
  }
}

}  // namespace

// With gapless decoding a lame file reads back as long as lame's input and as
// ffmpeg decodes it (the same LAME tag); the scan measures that length, and a
// seek through the scan's map lands where ffmpeg's decoding has that sample.
TEST_F(XAMObjectTest, GaplessDecodingGivesTheEncodersInput) {
  ASSERT_EQ(testsupport::MissingPrograms({"ffmpeg", "soxi"}), "");
  SetGaplessMP3Decoding(1);
  for (const char* encoder : {"lame --quiet -b 128", "lame --quiet -V 2"}) {
    SCOPED_TRACE(encoder);
    Opened o;
    Open(&o, "gapless.mp3", encoder, 44100, 2, "2.37");
    const uint64_t frames =
        std::stoull(testsupport::Run("soxi -s '" + dir.File("gapless.mp3.wav") + "'").out);
    const std::string raw = dir.File("ffmpeg.raw");
    ASSERT_EQ(
        testsupport::Run("ffmpeg -v error -y -i '" + o.stream.path + "' -f s16le '" + raw + "'")
            .exitCode,
        0);
    const std::vector<int16_t> want = mpegtest::Samples(testsupport::ReadFile(raw));
    ASSERT_EQ(want.size(), frames * 2);

    CSeekMap* map = nullptr;
    int64_t lengthMs = 0;
    ASSERT_EQ(ScanAll(&o, &map, nullptr, &lengthMs), 1);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(lengthMs, static_cast<int64_t>(frames * 1000 / 44100));

    TestBuffer whole;
    Attach(&whole, &o);
    ASSERT_EQ(whole.SetReadVariables(0, o.stream.reference.size() * 4), 1);
    std::vector<int16_t> got = ReadAll(&whole, 4098);
    EXPECT_EQ(got.size(), want.size());
    EXPECT_GE(mpegtest::Psnr(got, want), 96.0);

    TestBuffer b(map);
    Attach(&b, &o);
    const uint64_t frame = 1152 * 30 + 500, settle = 4 * 1152;
    ASSERT_NE(b.Seek(frame * 4), 0);
    std::vector<uint8_t> block(40000);
    ASSERT_EQ(b.ReadData(block.data(), 40000), 40000);
    std::vector<int16_t> s = mpegtest::Samples(block);
    std::vector<int16_t> tail(s.begin() + settle * 2, s.end());
    std::vector<int16_t> expected(want.begin() + (frame + settle) * 2,
                                  want.begin() + (frame + settle) * 2 + tail.size());
    EXPECT_GE(mpegtest::Psnr(tail, expected), 96.0);
    CSeekMap::Release(map);
  }
}
