#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <string>

#include "engine/media/Id3Tag.h"
#include "engine/media/MP3Info.h"
#include "platform/data/FileObj.h"
#include "platform/data/MemObj.h"
#include "tests/TestSupport.h"

using testsupport::TempDir;

namespace {

// One frame with a zero body: version index (3 MPEG-1, 2 MPEG-2, 0 MPEG 2.5),
// layer, bit-rate index, sample-rate index, mode, padding.
std::string Frame(int version, int layer, int bitrate, int rate, int mode = 0, int padding = 0) {
  CFrameHeader h;
  h.header = 0xFFE00000u | (uint32_t(version) << 19) | (uint32_t(4 - layer) << 17) | (1u << 16) |
             (uint32_t(bitrate) << 12) | (uint32_t(rate) << 10) | (uint32_t(padding) << 9) |
             (uint32_t(mode) << 6);
  std::string f(static_cast<size_t>(h.getFrameLength()), '\0');
  for (int i = 0; i < 4; ++i) f[i] = static_cast<char>(h.header >> (24 - 8 * i));
  return f;
}

// MPEG-1 layer III, 44100 Hz: 128 kbit/s is index 9, 417 bytes.
std::string Frames(int count, int bitrate = 9, int mode = 0) {
  std::string s;
  for (int i = 0; i < count; ++i) s += Frame(3, 3, bitrate, 0, mode);
  return s;
}

std::string Id3v2(const unsigned char size[4]) {
  std::string t = "ID3\x03";
  t += std::string(2, '\0');
  for (int i = 0; i < 4; ++i) t += static_cast<char>(size[i]);
  return t;
}

std::string Id3v1(const char* title) {
  CId3Tag tag;
  tag.setTitle(title);
  char b[128];
  tag.saveTag(b);
  return std::string(b, 128);
}

// A first frame carrying a "Xing" header with the given flags and count.
std::string XingFrame(uint8_t flags, uint32_t count) {
  std::string f = Frame(3, 3, 9, 0);
  std::string x = "Xing";
  x += std::string(3, '\0') + static_cast<char>(flags);
  for (int i = 0; i < 4; ++i) x += static_cast<char>(count >> (24 - 8 * i));
  f.replace(4 + 32, x.size(), x);
  return f;
}

struct Measured {
  int result = -1;
  CMP3Info info;
};

Measured Measure(const std::string& bytes, int64_t startAt = 0) {
  Measured m;
  CMemObj mem;
  EXPECT_TRUE(mem.Create(bytes.data(), static_cast<int64_t>(bytes.size())));
  mem.Seek(startAt, kSeekBegin);
  m.result = m.info.loadInfo(&mem);
  return m;
}

// Hands out at most `limit` bytes per read, as a pipe-like source may.
class CShortReads : public CMemObj {
 public:
  explicit CShortReads(int64_t limit) : limit_(limit) {}
  int64_t Read(void* buf, int64_t len) override {
    return CMemObj::Read(buf, std::min(len, limit_));
  }

 private:
  int64_t limit_;
};

}  // namespace

TEST(MP3Info, RefusesNothingToMeasure) {
  CMP3Info info;
  EXPECT_EQ(info.loadInfo(nullptr), CMP3Info::kInfoNoSource);
  EXPECT_EQ(info.GetTagType(), TAG_NONE);
  EXPECT_EQ(Measure("").result, CMP3Info::kInfoNoFrames);
  EXPECT_EQ(Measure(std::string(20000, '\xFF')).result, CMP3Info::kInfoNoFrames);
  // Bit-rate index 15, sample-rate index 3 and free format are noise, not frames.
  std::string noise = Frame(3, 3, 9, 0);
  std::string bad = noise.substr(0, 4);
  bad[2] = '\xF0';
  std::string badRate = noise.substr(0, 4);
  badRate[2] = '\x9C';
  std::string freeFormat = noise.substr(0, 4);
  freeFormat[2] = '\x00';
  EXPECT_EQ(Measure(bad + badRate + freeFormat + std::string(500, '\0')).result,
            CMP3Info::kInfoNoFrames);
  // A file cut inside the only header, shorter than a tag.
  EXPECT_EQ(Measure(noise.substr(0, 3)).result, CMP3Info::kInfoNoFrames);

  Measured m = Measure(bad + badRate + freeFormat + "junk" + Frames(3));
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.DataStart(), 16);
  EXPECT_EQ(m.info.DataEnd(), m.info.getFileSize());
  EXPECT_EQ(m.info.isTagged(), 0);
}

TEST(MP3Info, TagsAroundTheFrames) {
  // ID3v2 size 0x00 0x00 0x02 0x81: 7 bits a byte give 257 (the stray top bit is ignored).
  const unsigned char size[4] = {0, 0, 2, 0x81};
  std::string v2 = Id3v2(size) + std::string(257, 'x');
  std::string audio = Frames(12);
  std::string file = v2 + "\x01\x02" + audio + Id3v1("Name");
  Measured m = Measure(file);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.GetTagType(), TAG_ID3_V2);
  EXPECT_EQ(m.info.GetTagSize(), 257u);
  EXPECT_EQ(m.info.DataStart(), 10 + 257 + 2);
  EXPECT_EQ(m.info.DataEnd(), static_cast<int64_t>(file.size()) - 128);
  EXPECT_EQ(m.info.DataSize(), static_cast<int64_t>(audio.size()));
  EXPECT_EQ(m.info.isTagged(), 1);
  EXPECT_STREQ(m.info.TitleString(), "Name");
  // Tags are not audio: twelve frames of 1152 samples at 44100 Hz.
  EXPECT_EQ(m.info.getNumberOfFrames(), 12);
  EXPECT_EQ(m.info.getLengthInMs(), 12 * 1152 * 1000 / 44100);
  EXPECT_EQ(m.info.getBitrate(), 128);

  // Only an ID3v1 tag; the examination begins where the source stands.
  m = Measure("prefix" + audio + Id3v1("T"), 6);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.GetTagType(), TAG_ID3_V1);
  EXPECT_EQ(m.info.GetTagSize(), 128u);
  EXPECT_EQ(m.info.DataStart(), 6);

  // An ID3v2 size reaching past the end is ignored.
  const unsigned char huge[4] = {0x7F, 0x7F, 0x7F, 0x7F};
  m = Measure(Id3v2(huge) + audio);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.GetTagType(), TAG_NONE);
  EXPECT_EQ(m.info.GetTagSize(), 0u);
  EXPECT_EQ(m.info.DataStart(), 10);

  // The tag alone, as the loader asks for it.
  CMemObj mem;
  std::string tagged = audio + Id3v1("Solo");
  ASSERT_TRUE(mem.Create(tagged.data(), static_cast<int64_t>(tagged.size())));
  CMP3Info only;
  EXPECT_EQ(only.getID3InfoOnly(&mem), 1);
  EXPECT_EQ(only.GetTagType(), TAG_ID3_V1);
  EXPECT_EQ(only.DataEnd(), static_cast<int64_t>(tagged.size()));
  char title[CId3Tag::kTextSize];
  only.getTitle(title);
  EXPECT_STREQ(title, "Solo");
}

TEST(MP3Info, StreamFactsFromTheFirstFrames) {
  Measured m = Measure(Frames(10));
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.isVBitRate(), 0);
  EXPECT_EQ(m.info.BestBitrate(), 128);
  EXPECT_EQ(m.info.BestSamplingRate(), 44100);
  EXPECT_EQ(m.info.BestNumChannels(), 2);
  EXPECT_EQ(m.info.BestMode(), 0);
  EXPECT_EQ(m.info.Channels(), 2);
  char text[CMP3Info::kVersionTextSize];
  m.info.getVersion(text);
  EXPECT_STREQ(text, "MPEG 1 Layer III");
  EXPECT_FLOAT_EQ(m.info.GetAverageFrameSize(), 417.0f);

  // One frame of another bit rate, or another mode, among the first ten.
  m = Measure(Frames(5) + Frames(1, 11) + Frames(4));
  EXPECT_EQ(m.info.isVBitRate(), 1);
  EXPECT_EQ(m.info.BestBitrate(), 192);
  m = Measure(Frames(3, 9, 3) + Frames(1, 9, 1) + Frames(6, 9, 3));
  EXPECT_EQ(m.info.isVBitRate(), 1);
  EXPECT_EQ(m.info.BestMode(), 1);
  EXPECT_EQ(m.info.BestNumChannels(), 2);
  EXPECT_EQ(m.info.Channels(), 1);  // the first frame is the reference
  m = Measure(Frames(10, 9, 3));
  EXPECT_EQ(m.info.BestNumChannels(), 1);
  EXPECT_EQ(m.info.BestMode(), 3);

  // A change after the tenth frame is still found: the stream is walked to
  // its end for its length.
  m = Measure(Frames(30) + Frames(20, 5));
  EXPECT_EQ(m.info.isVBitRate(), 1);
  EXPECT_EQ(m.info.getNumberOfFrames(), 50);
  EXPECT_EQ(m.info.getLengthInMs(), 50 * 1152 * 1000 / 44100);
  EXPECT_EQ(m.info.getBitrate(), (30 * 417 + 20 * 208) * 44100 / 50 / 144 / 1000);

  // Sampling rates are kept rounded, and a higher one moves the reference.
  std::string low = Frame(2, 3, 8, 2);               // 16000 Hz
  m = Measure(low + low + Frame(3, 3, 9, 2) + low);  // then 32000 Hz
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.BestSamplingRate(), 44100);
  EXPECT_EQ(m.info.getFrequency(), 32000);
  EXPECT_EQ(m.info.DataStart(), 0);

  // MPEG 2.5 layer II and MPEG-2 layer III streams.
  std::string quarter;
  for (int i = 0; i < 7; ++i) quarter += Frame(0, 2, 8, 0, 3);
  m = Measure(quarter);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.BestSamplingRate(), 11025);
  m.info.getVersion(text);
  EXPECT_STREQ(text, "MPEG 2.5 Layer II");
  EXPECT_EQ(m.info.getNumberOfFrames(), 7);
  std::string half;
  for (int i = 0; i < 25; ++i) half += Frame(2, 3, 8, 0, 0, i % 2);
  m = Measure(half);
  EXPECT_EQ(m.info.BestSamplingRate(), 22050);
  EXPECT_EQ(m.info.getNumberOfFrames(), 25);
  EXPECT_EQ(m.info.getLengthInMs(), 25 * 576 * 1000 / 22050);
}

TEST(MP3Info, XingHeaders) {
  // A count that fits the stream's size gives frames, bit rate and length; the
  // header frame itself holds no audio and is not counted.
  std::string file = XingFrame(0x0F, 39) + Frames(39, 5);  // 64 kbit/s: 208 bytes
  Measured m = Measure(file);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.hasXingHeader(), 1);
  EXPECT_EQ(m.info.isVBitRate(), 1);
  EXPECT_EQ(m.info.getNumberOfFrames(), 39);
  EXPECT_EQ(m.info.getLengthInMs(), 39 * 1152 * 1000 / 44100);
  EXPECT_EQ(m.info.getBitrate(), static_cast<int>(44100.0 * (file.size() / 39.0) / 144000));
  EXPECT_FLOAT_EQ(m.info.GetAverageFrameSize(), file.size() / 39.0f);

  // Without the frames flag the header's rate and the frames themselves count.
  m = Measure(XingFrame(0x0E, 39) + Frames(39));
  EXPECT_EQ(m.info.hasXingHeader(), 1);
  EXPECT_EQ(m.info.HeaderFrameCount(), -1);
  EXPECT_EQ(m.info.getBitrate(), 128);
  EXPECT_EQ(m.info.getNumberOfFrames(), 39);

  // Counts that would mean under 8 or over 448 kbit/s are not believed, and a
  // count of 0 divides nothing.
  for (uint32_t count : {0u, 1u, 1000000u, 2u}) {
    m = Measure(XingFrame(0x01, count) + Frames(39));
    ASSERT_EQ(m.result, 0);
    EXPECT_EQ(m.info.getNumberOfFrames(), 39) << count;
    EXPECT_EQ(m.info.getBitrate(), 128) << count;
    EXPECT_EQ(m.info.getLengthInMs(), 39 * 1152 * 1000 / 44100) << count;
  }

  // A protected first frame has its CRC word before the side information.
  std::string crc = XingFrame(0x01, 0);
  crc[1] = '\xFA';
  crc.replace(4 + 32, 12, std::string("\0\0Xing\0\0\0\x01\0\0", 12));
  crc.replace(4 + 2 + 32 + 8, 4, std::string("\0\0\0\x13", 4));
  m = Measure(crc + Frames(19));
  EXPECT_EQ(m.info.hasXingHeader(), 1);
  EXPECT_EQ(m.info.HeaderFrameCount(), 19);

  // An "Info" frame (an encoder's header in a constant-rate stream) is not
  // audio either, and the rate stays constant.
  // Its count spares the walk.
  std::string info = Frame(3, 3, 9, 0);
  info.replace(36, 4, "Info");
  m = Measure(info + Frames(20));
  EXPECT_EQ(m.info.hasXingHeader(), 0);
  EXPECT_EQ(m.info.isVBitRate(), 0);
  EXPECT_EQ(m.info.getNumberOfFrames(), 20);
  info.replace(36, 12, std::string("Info\0\0\0\x01\0\0\0\x16", 12));
  m = Measure(info + Frames(20));
  EXPECT_EQ(m.info.HeaderFrameCount(), 22);
  EXPECT_EQ(m.info.getNumberOfFrames(), 22);
  EXPECT_EQ(m.info.getBitrate(), 128);
  EXPECT_EQ(m.info.isVBitRate(), 0);
}

TEST(MP3Info, ShortReadsLeaveNoStaleBytes) {
  std::string file = Frames(12) + Frames(8, 5) + Id3v1("Cut");
  Measured whole = Measure(file);
  ASSERT_EQ(whole.result, 0);
  for (int64_t limit : {100, 417, 1000}) {
    CShortReads source(limit);
    ASSERT_TRUE(source.Create(file.data(), static_cast<int64_t>(file.size())));
    CMP3Info info;
    ASSERT_EQ(info.loadInfo(&source), 0) << limit;
    EXPECT_EQ(info.DataStart(), 0);
    EXPECT_EQ(info.BestBitrate(), 128) << limit;
    EXPECT_EQ(info.isVBitRate(), whole.info.isVBitRate());
    // A tag that arrives short is taken as absent, never half-read.
    EXPECT_EQ(info.isTagged(), limit >= 128 ? 1 : 0) << limit;
    EXPECT_EQ(info.DataEnd(), limit >= 128 ? whole.info.DataEnd() : whole.info.getFileSize());
  }
  // A window refill that ends inside a header never reads the rest as stale
  // bytes of the earlier window.
  std::string cut = Frames(30) + Frame(3, 3, 9, 0).substr(0, 3);
  Measured m = Measure(cut);
  ASSERT_EQ(m.result, 0);
  EXPECT_EQ(m.info.getNumberOfFrames(), 30);
}

// Real files from outside encoders: the length is what mpg123 decodes (with
// its gapless trimming, which honours the same LAME tag), to within the
// rounding of a millisecond.
TEST(MP3Info, LengthOfEncodedFilesMatchesADecoder) {
  ASSERT_EQ(testsupport::MissingPrograms({"sox", "lame", "twolame", "mpg123", "soxi"}), "");
  TempDir dir;
  auto run = [](const std::string& cmd) {
    auto r = testsupport::Run(cmd);
    EXPECT_EQ(r.exitCode, 0) << cmd << "\n" << r.err;
    return r.out;
  };
  // Silence first, so that the first frames of a variable-rate stream agree;
  // then noise and a tone.
  for (auto [rate, channels] : {std::pair{44100, 2}, {22050, 1}, {11025, 2}, {48000, 1}}) {
    std::string r = " -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " ";
    std::string wav = dir.File("in" + std::to_string(rate) + ".wav");
    run("sox -n" + r + dir.File("a.wav") + " synth 1.5 sine 440 vol 0.5 pad 1 2>&1");
    run("sox -n" + r + dir.File("b.wav") + " synth 1.7 whitenoise vol 0.3 2>&1");
    run("sox " + dir.File("a.wav") + " " + dir.File("b.wav") + " " + wav + " 2>&1");
  }
  struct Case {
    std::string name, input, encode;
  };
  std::vector<Case> cases = {
      {"cbr", "in44100.wav", "lame --quiet -b 128"},
      {"vbr", "in44100.wav", "lame --quiet -V 2"},
      {"vbr-no-xing", "in44100.wav", "lame --quiet -V 4 -t"},
      {"abr", "in44100.wav", "lame --quiet --abr 96"},
      {"mpeg2-mono", "in22050.wav", "lame --quiet -b 48"},
      {"mpeg2-vbr-no-xing", "in22050.wav", "lame --quiet -V 5 -t"},
      {"mpeg25", "in11025.wav", "lame --quiet -b 32"},
      {"tagged", "in44100.wav",
       "lame --quiet -b 160 --add-id3v2 --pad-id3v2-size 3000 --tt Title --ta Artist --ty 2001"},
      {"layer2", "in48000.wav", "twolame --quiet -b 64"},
      {"layer2-44k", "in44100.wav", "twolame --quiet -b 192"},
  };
  for (const Case& c : cases) {
    std::string mp3 = dir.File(c.name + ".mp3");
    std::string out = dir.File(c.name + ".wav");
    run(c.encode + " " + dir.File(c.input) + " " + mp3);
    run("mpg123 -q -w " + out + " " + mp3 + " 2>&1");
    double samples = std::stod(run("soxi -s " + out));
    double decoderRate = std::stod(run("soxi -r " + out));
    CFileObj file;
    ASSERT_TRUE(file.Open(mp3, 0, 0)) << mp3;
    CMP3Info info;
    ASSERT_EQ(info.loadInfo(&file), 0) << c.name;
    ASSERT_EQ(info.getFrequency(), decoderRate) << c.name;
    double expectedMs = samples * 1000 / decoderRate;
    double frameMs = info.FrameHeader().getSamplesPerFrame() * 1000.0 / decoderRate;
    EXPECT_LE(std::fabs(info.getLengthInMs() - expectedMs), frameMs / 2)
        << c.name << ": " << info.getLengthInMs() << " ms, decoder " << expectedMs << " ms";
    EXPECT_EQ(info.getLengthInSeconds(), static_cast<int>(info.getLengthInMs() / 1000));
    if (c.name == "tagged") {
      EXPECT_EQ(info.GetTagType(), TAG_ID3_V2);
      EXPECT_EQ(info.isTagged(), 1);
      EXPECT_STREQ(info.TitleString(), "Title");
      EXPECT_EQ(info.getYear(), 2001);
      EXPECT_EQ(info.DataStart(), 10 + static_cast<int64_t>(info.GetTagSize()));
    }
    if (c.name.find("vbr") != std::string::npos) {
      EXPECT_EQ(info.isVBitRate(), 1) << c.name;
    }
    if (c.name == "cbr" || c.name.find("layer2") == 0) {
      EXPECT_EQ(info.isVBitRate(), 0) << c.name;
    }
  }
}

TEST(MP3Info, ConformanceStreams) {
  // Layer I at 44100 Hz alternates 416- and 420-byte frames: 49 of them.
  const std::string mpeg = testsupport::VectorsDir() + "/mpeg/";
  CFileObj file;
  ASSERT_TRUE(file.Open(mpeg + "l1-fl2.bit", 0, 0))
      << "test input missing: " << mpeg << "l1-fl2.bit";
  CMP3Info info;
  ASSERT_EQ(info.loadInfo(&file), 0);
  EXPECT_EQ(info.getLayer(), 1);
  EXPECT_EQ(info.getNumberOfFrames(), 49);
  EXPECT_EQ(info.getLengthInMs(), 49 * 384 * 1000 / 44100);
  // A "Xing" count far beyond a one-frame file is not believed.
  CFileObj corrupt;
  ASSERT_TRUE(corrupt.Open(mpeg + "l3-nonstandard-vbrtag-corrupted.bit", 0, 0))
      << "test input missing: " << mpeg << "l3-nonstandard-vbrtag-corrupted.bit";
  ASSERT_EQ(info.loadInfo(&corrupt), 0);
  EXPECT_LE(info.getLengthInMs(), 27);
  EXPECT_GT(info.getBitrate(), 0);
}
