// WAV to WAV through build/bin/sonoduct: tags in the INFO list, compressed
// encodings against sox's own decoding, headers that lie about their sizes,
// and a target folder without room.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/converter/run/ConversionFixture.h"

namespace {

uint32_t Le32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}

void PutLe32(std::string* s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*s)[at + i] = static_cast<char>(v >> (8 * i));
}

std::string Le32Bytes(uint32_t v) {
  std::string s(4, '\0');
  PutLe32(&s, 0, v);
  return s;
}

// Offset of the first top-level chunk with this id (and list type), or npos.
size_t FindChunk(const std::string& wav, const char* id, const char* listType = nullptr) {
  for (size_t at = 12; at + 8 <= wav.size();) {
    uint32_t size = Le32(wav, at + 4);
    if (wav.compare(at, 4, id) == 0 &&
        (!listType || (at + 12 <= wav.size() && wav.compare(at + 8, 4, listType) == 0)))
      return at;
    at += 8 + size + (size & 1);
  }
  return std::string::npos;
}

// The texts of a WAV file's INFO list, by sub-chunk id, cut at the first zero byte.
std::map<std::string, std::string> InfoTexts(const std::string& wav) {
  std::map<std::string, std::string> texts;
  size_t list = FindChunk(wav, "LIST", "INFO");
  if (list == std::string::npos) return texts;
  size_t end = std::min<size_t>(wav.size(), list + 8 + Le32(wav, list + 4));
  for (size_t at = list + 12; at + 8 <= end;) {
    uint32_t size = Le32(wav, at + 4);
    std::string text = wav.substr(at + 8, std::min<size_t>(size, end - at - 8));
    texts[wav.substr(at, 4)] = text.substr(0, text.find('\0'));
    at += 8 + size + (size & 1);
  }
  return texts;
}

class WavConversion : public ConversionFixture {
 protected:
  void SetUp() override {
    ConversionFixture::SetUp();
    if (!HasFatalFailure()) PlainDecode();
  }
  testsupport::ProcessResult Sonoduct(const std::string& args) {
    return ConversionFixture::Sonoduct("-C " + args);
  }
};

TEST_F(WavConversion, InfoListTagsReachTheTarget) {
  std::string plain = dir_.File("plain.wav"), tagged = dir_.File("tagged.wav");
  Sox("-n -r 44100 -c 2 -b 16 '" + plain + "' synth 0.5 sine 440 vol 0.5");
  std::string wav = testsupport::ReadFile(plain);
  ASSERT_GT(wav.size(), 44u);
  // An INFO list after the samples, as many writers put it; texts of odd and
  // even lengths, so that padding is exercised.
  const std::vector<std::pair<std::string, std::string>> tags = {
      {"INAM", "Night Train"},   {"IART", "The Sleepers"}, {"IALB", "Late Lines"},
      {"ICMT", "recorded live"}, {"ICRD", "1987"},         {"ITRK", "7/12"},
      {"IGNR", "Jazz"}};
  std::string info = "INFO";
  for (const auto& [id, text] : tags) {
    std::string body = text + '\0';
    info += id + Le32Bytes(static_cast<uint32_t>(body.size())) + body;
    if (body.size() & 1) info += '\0';
  }
  wav += "LIST" + Le32Bytes(static_cast<uint32_t>(info.size())) + info;
  PutLe32(&wav, 4, static_cast<uint32_t>(wav.size() - 8));
  ASSERT_TRUE(testsupport::WriteFile(tagged, wav));

  auto r = Sonoduct("'" + tagged + "'");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string target = testsupport::ReadFile(out_ + "/tagged.wav");
  std::map<std::string, std::string> got = InfoTexts(target);
  EXPECT_EQ(got["INAM"], "Night Train");
  EXPECT_EQ(got["IART"], "The Sleepers");
  EXPECT_EQ(got["IALB"], "Late Lines");
  EXPECT_EQ(got["ICMT"], "recorded live");
  EXPECT_EQ(got["ICRD"], "1987");
  EXPECT_EQ(got["ITRK"], "7/12");
  EXPECT_EQ(got["IGNR"], "Jazz");
  // The tags do not disturb the samples, and sox still reads the target.
  EXPECT_EQ(Samples(out_ + "/tagged.wav"), Samples(plain));
}

using testsupport::Psnr;

TEST_F(WavConversion, CompressedEncodingsDecodeAsSoxDoes) {
  std::string source = dir_.File("source.wav");
  // A sweep on the left and noise on the right, so that the ADPCM step
  // sizes range widely.
  Sox("-n -r 44100 -c 2 -b 16 '" + source + "' synth 1.3 sine 100-9000 whitenoise vol 0.6");
  for (const char* encoding : {"ima-adpcm", "ms-adpcm", "u-law", "a-law"}) {
    SCOPED_TRACE(encoding);
    std::string name = std::string(encoding) + ".wav";
    std::string compressed = dir_.File(name);
    Sox("'" + source + "' -e " + encoding + " '" + compressed + "'");
    auto r = Sonoduct("'" + compressed + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<int16_t> ours = Samples(out_ + "/" + name);
    std::vector<int16_t> theirs = Samples(compressed);
    ASSERT_FALSE(theirs.empty());
    // Both decode every whole block; a last partial block may be kept or not.
    EXPECT_NEAR(static_cast<double>(ours.size()), static_cast<double>(theirs.size()), 2 * 2048.0);
    EXPECT_GE(Psnr(ours, theirs), 96.0);
  }
}

TEST_F(WavConversion, LyingHeadersAreReadAsFarAsTheyHoldAndTheRunGoesOn) {
  std::string good = dir_.File("good.wav");
  Sox("-n -r 44100 -c 2 -b 16 '" + good + "' synth 0.8 sine 500 vol 0.5");
  std::string pcm = testsupport::ReadFile(good);
  size_t data = FindChunk(pcm, "data");
  ASSERT_NE(data, std::string::npos);

  // A data chunk (and a RIFF form) claiming far more than the file holds, as
  // a recorder that never went back to fill the lengths in leaves them.
  std::string longData = pcm;
  PutLe32(&longData, data + 4, 0x7ffffff0u);
  PutLe32(&longData, 4, 0x7ffffff8u);
  ASSERT_TRUE(testsupport::WriteFile(dir_.File("longdata.wav"), longData));

  // An IMA ADPCM format whose extra bytes would run past its fmt chunk: the
  // decoder can't be given them, so the file is refused.
  std::string ima = dir_.File("ima.wav");
  Sox("'" + good + "' -e ima-adpcm '" + ima + "'");
  std::string badExtra = testsupport::ReadFile(ima);
  size_t fmt = FindChunk(badExtra, "fmt ");
  ASSERT_NE(fmt, std::string::npos);
  ASSERT_GE(Le32(badExtra, fmt + 4), 20u);
  badExtra[fmt + 8 + 16] = '\x00';
  badExtra[fmt + 8 + 17] = '\x40';  // 16384 extra bytes
  ASSERT_TRUE(testsupport::WriteFile(dir_.File("badextra.wav"), badExtra));

  // The same fault on PCM, whose format has no use for extra bytes.
  std::string pcmExtra = pcm;
  size_t pcmFmt = FindChunk(pcmExtra, "fmt ");
  ASSERT_NE(pcmFmt, std::string::npos);
  std::string fmtBody = pcmExtra.substr(pcmFmt + 8, 16) + std::string("\xff\x7f", 2);
  pcmExtra.replace(pcmFmt, 8 + Le32(pcmExtra, pcmFmt + 4), "fmt " + Le32Bytes(18) + fmtBody);
  PutLe32(&pcmExtra, 4, static_cast<uint32_t>(pcmExtra.size() - 8));
  ASSERT_TRUE(testsupport::WriteFile(dir_.File("pcmextra.wav"), pcmExtra));

  auto r = Sonoduct("'" + dir_.File("badextra.wav") + "' '" + dir_.File("longdata.wav") + "' '" +
                    dir_.File("pcmextra.wav") + "' '" + good + "'");
  EXPECT_EQ(r.exitCode, 1) << r.err;  // one file failed
  EXPECT_NE(r.err.find("badextra.wav"), std::string::npos) << r.err;
  EXPECT_TRUE(testsupport::ReadFile(out_ + "/badextra.wav").empty());
  std::vector<int16_t> reference = Samples(good);
  EXPECT_EQ(Samples(out_ + "/longdata.wav"), reference);
  EXPECT_EQ(Samples(out_ + "/pcmextra.wav"), reference);
  EXPECT_EQ(Samples(out_ + "/good.wav"), reference);
  // The refusal reaches the program's log too.
  EXPECT_NE(Log().find("badextra.wav"), std::string::npos) << Log();
}

TEST_F(WavConversion, LowFreeSpaceStopsTheRunWithoutATerminal) {
  if (testsupport::Run("unshare -rm true").exitCode != 0)
    GTEST_SKIP() << "needs user namespaces, which this machine does not grant, to mount a small "
                    "folder without privileges";
  std::string big = dir_.File("big.wav"), small = dir_.File("small.wav");
  Sox("-n -r 44100 -c 2 -b 16 '" + big + "' synth 6 sine 500 vol 0.5");  // 1 MB
  Sox("-n -r 44100 -c 2 -b 16 '" + small + "' synth 0.3 sine 700 vol 0.5");
  const std::string convert = testsupport::BinPath("sonoduct") + " -C '" + big + "' '" + small +
                              "' </dev/null; echo status=\\$?; ls -A '" + out_ + "'";

  // 512 KB free: the disk question comes, its safe answer stops the run, and
  // nothing is written, not even the small file that would fit.
  auto r = testsupport::Run(testsupport::InSmallFolder(out_, 512, convert), env_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("Disk Almost Full"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("-> Stop Now"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find(".wav"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("status=0"), std::string::npos) << r.out;

  // With room for both, both convert without a question.
  r = testsupport::Run(testsupport::InSmallFolder(out_, 4096, convert), env_);
  EXPECT_EQ(r.err.find("Disk Almost Full"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("status=0"), std::string::npos) << r.out << r.err;
  EXPECT_NE(r.out.find("big.wav"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("small.wav"), std::string::npos) << r.out;
}

// The user goes on although the disk is nearly full (an answer only a
// terminal can give): the file that doesn't fit fails and is removed, not
// left cut short, and the next one still converts.
TEST_F(WavConversion, AFileThatFillsTheDiskIsRemovedAndReported) {
  if (testsupport::Run("unshare -rm true").exitCode != 0)
    GTEST_SKIP() << "needs user namespaces, which this machine does not grant, to mount a small "
                    "folder without privileges";
  ASSERT_EQ(testsupport::MissingPrograms({"script"}), "");
  std::string big = dir_.File("big.wav"), small = dir_.File("small.wav");
  Sox("-n -r 44100 -c 2 -b 16 '" + big + "' synth 6 sine 500 vol 0.5");
  Sox("-n -r 44100 -c 2 -b 16 '" + small + "' synth 0.3 sine 700 vol 0.5");
  ASSERT_TRUE(testsupport::WriteFile(dir_.File("answers"), "1\n"));  // 1) Continue
  // script gives the program a terminal and types the answers into it.
  const std::string convert = "script -qec \\\"" + testsupport::BinPath("sonoduct") + " -C '" +
                              big + "' '" + small + "'\\\" /dev/null <'" + dir_.File("answers") +
                              "'; echo status=\\$?; echo listing:; ls -A '" + out_ + "'";
  auto r = testsupport::Run(testsupport::InSmallFolder(out_, 512, convert), env_);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  size_t listing = r.out.find("listing:");
  ASSERT_NE(listing, std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Disk Almost Full"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("status=1"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("big.wav", listing), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("small.wav", listing), std::string::npos) << r.out;
}

}  // namespace
