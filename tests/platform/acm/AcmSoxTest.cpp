// Decoding of files sox writes, compared sample for sample with sox's own
// decoding of the same files; our encoded files, decoded by sox.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/acm/Acm.h"
#include "tests/TestSupport.h"
#include "tests/platform/acm/AcmTestConvert.h"
#include "tests/platform/acm/WavTestFile.h"

using testsupport::Run;
using testsupport::TempDir;

namespace {

struct Case {
  const char* encoding;  // sox -e
  int rate;
  int channels;
  const char* length;  // seconds, chosen to end inside a block
};

const Case kCases[] = {
    {"u-law", 8000, 1, "0.5013"},      {"u-law", 22050, 2, "0.3337"},
    {"a-law", 8000, 1, "0.5013"},      {"a-law", 44100, 2, "0.2511"},
    {"ima-adpcm", 8000, 1, "0.5013"},  {"ima-adpcm", 22050, 2, "0.3337"},
    {"ima-adpcm", 44100, 2, "0.2511"}, {"ms-adpcm", 8000, 1, "0.5013"},
    {"ms-adpcm", 11025, 2, "0.3337"},  {"ms-adpcm", 44100, 2, "0.2511"},
};

std::string MakeSoxFile(const TempDir& dir, const Case& c, const std::string& name) {
  std::string path = dir.File(name);
  // A sweep plus noise in one channel and a louder tone in the other, so the
  // codecs' step adaptation is exercised in both directions.
  std::string synth = c.channels == 1
                          ? "synth " + std::string(c.length) + " sine 200-3000 gain -3"
                          : "synth " + std::string(c.length) + " sine 200-3000 square 440 gain -1";
  auto r = Run("sox -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
               " -e " + c.encoding + " '" + path + "' " + synth);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return path;
}

class AcmSoxTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(testsupport::MissingPrograms({"sox"}), ""); }
  TempDir dir;
};

TEST_F(AcmSoxTest, DecodingMatchesSoxSampleForSample) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.encoding) + " " + std::to_string(c.rate) + " Hz " +
                 std::to_string(c.channels) + " ch");
    std::string wav = MakeSoxFile(dir, c, "in.wav");
    wavtest::Wav file;
    ASSERT_TRUE(wavtest::ReadWav(wav, &file));
    tWAVEFORMATEX pcm;
    ASSERT_TRUE(acmtest::SuggestPcm(file.Format(), &pcm));
    EXPECT_EQ(pcm.wBitsPerSample, 16);
    EXPECT_EQ(pcm.nChannels, c.channels);
    EXPECT_EQ(pcm.nSamplesPerSec, static_cast<uint32_t>(c.rate));
    std::vector<int16_t> reference = wavtest::SoxDecode(wav, dir.File("ref.raw"));
    ASSERT_FALSE(reference.empty());
    // All at once, and in pieces that split blocks.
    for (size_t piece : {size_t{0}, size_t{1000}, size_t{7}}) {
      bool ok;
      auto out = acmtest::ConvertAll(file.Format(), &pcm, file.data, piece, &ok);
      ASSERT_TRUE(ok);
      std::vector<int16_t> ours = wavtest::Samples(out);
      EXPECT_EQ(ours.size(), reference.size()) << "piece " << piece;
      EXPECT_EQ(wavtest::FirstDifference(ours, reference), -1) << "piece " << piece;
    }
  }
}

// A data chunk that ends inside a block: the partial block decodes as far as
// sox decodes it.
TEST_F(AcmSoxTest, PartialLastBlockMatchesSox) {
  for (const Case& c : kCases) {
    if (std::strstr(c.encoding, "adpcm") == nullptr) continue;
    std::string wav = MakeSoxFile(dir, c, "in.wav");
    wavtest::Wav file;
    ASSERT_TRUE(wavtest::ReadWav(wav, &file));
    uint32_t block = file.Format()->nBlockAlign;
    for (uint32_t cut : {block + 1, block + 7 * c.channels - 1u, block + 7u * c.channels,
                         block + 9u * c.channels, block + block / 2 + 3, 3 * block - 1}) {
      SCOPED_TRACE(std::string(c.encoding) + " " + std::to_string(c.channels) + " ch, cut " +
                   std::to_string(cut));
      std::vector<uint8_t> data(file.data.begin(), file.data.begin() + cut);
      std::string cutWav = dir.File("cut.wav");
      ASSERT_TRUE(wavtest::WriteWav(cutWav, file.format.data(), file.format.size(), data));
      std::vector<int16_t> reference = wavtest::SoxDecode(cutWav, dir.File("cut.raw"));
      tWAVEFORMATEX pcm;
      ASSERT_TRUE(acmtest::SuggestPcm(file.Format(), &pcm));
      bool ok;
      auto ours = wavtest::Samples(acmtest::ConvertAll(file.Format(), &pcm, data, 0, &ok));
      ASSERT_TRUE(ok);
      EXPECT_EQ(ours.size(), reference.size());
      EXPECT_EQ(wavtest::FirstDifference(ours, reference), -1);
    }
  }
}

// PCM made by sox, encoded by us into a file that sox decodes exactly as we
// do, and close to the original.
TEST_F(AcmSoxTest, EncodedFilesDecodeInSoxAsInOurs) {
  struct Target {
    uint16_t tag;
    int channels;
    int rate;
    double minPsnr;
  };
  const Target targets[] = {
      {WAVE_FORMAT_MULAW, 1, 8000, 35},     {WAVE_FORMAT_MULAW, 2, 22050, 35},
      {WAVE_FORMAT_ALAW, 1, 8000, 35},      {WAVE_FORMAT_ALAW, 2, 44100, 35},
      {WAVE_FORMAT_IMA_ADPCM, 1, 8000, 25}, {WAVE_FORMAT_IMA_ADPCM, 2, 44100, 30},
      {WAVE_FORMAT_ADPCM, 1, 8000, 25},     {WAVE_FORMAT_ADPCM, 2, 22050, 30}};
  for (const Target& t : targets) {
    SCOPED_TRACE("tag " + std::to_string(t.tag) + ", " + std::to_string(t.channels) + " ch");
    std::string raw = dir.File("orig.raw");
    auto r = testsupport::Run("sox -n -r " + std::to_string(t.rate) + " -c " +
                              std::to_string(t.channels) + " -e signed -b 16 -L '" + raw +
                              "' synth 0.7071 sine 300-2000 sine 500 gain -2");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<int16_t> original = wavtest::ReadRaw16(raw);
    std::vector<uint8_t> pcmBytes(original.size() * 2);
    std::memcpy(pcmBytes.data(), original.data(), pcmBytes.size());

    tWAVEFORMATEX pcm{WAVE_FORMAT_PCM,
                      static_cast<uint16_t>(t.channels),
                      static_cast<uint32_t>(t.rate),
                      static_cast<uint32_t>(t.rate * 2 * t.channels),
                      static_cast<uint16_t>(2 * t.channels),
                      16,
                      0};
    alignas(4) uint8_t target[64] = {};
    auto* tf = reinterpret_cast<tWAVEFORMATEX*>(target);
    tf->wFormatTag = t.tag;
    ASSERT_EQ(acmFormatSuggest(nullptr, &pcm, tf, sizeof target, ACM_FORMATSUGGESTF_WFORMATTAG),
              MMSYSERR_NOERROR);
    EXPECT_EQ(tf->nChannels, t.channels);
    bool ok;
    auto encoded = acmtest::ConvertAll(&pcm, tf, pcmBytes, 0, &ok);
    ASSERT_TRUE(ok);
    // Encoding in odd pieces gives the same bytes.
    EXPECT_EQ(acmtest::ConvertAll(&pcm, tf, pcmBytes, 333, &ok), encoded);
    std::string wav = dir.File("ours.wav");
    ASSERT_TRUE(wavtest::WriteWav(wav, target, 18 + tf->cbSize, encoded));
    std::vector<int16_t> soxDecoded = wavtest::SoxDecode(wav, dir.File("ours.raw"));
    auto ours = wavtest::Samples(acmtest::ConvertAll(tf, &pcm, encoded, 0, &ok));
    ASSERT_TRUE(ok);
    EXPECT_EQ(wavtest::FirstDifference(ours, soxDecoded), -1);
    ASSERT_GE(ours.size(), original.size());  // the last block is padded
    EXPECT_GE(wavtest::Psnr(original, ours), t.minPsnr);
  }
}

}  // namespace
