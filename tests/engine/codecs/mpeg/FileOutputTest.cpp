// The file output: the WAV, AIFF and Sun containers with their sizes, raw
// PCM, and open failures.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/FileOutput.h"
#include "engine/codecs/mpeg/MpegDecoder.h"
#include "tests/TestSupport.h"

using namespace mpegaudio;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

uint32_t Le32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 |
         uint32_t(uint8_t(s[at + 2])) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}
uint32_t Be32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
         uint32_t(uint8_t(s[at + 2])) << 8 | uint32_t(uint8_t(s[at + 3]));
}

// Writes two blocks of interleaved stereo samples 0, 1, 2, ... to name.
std::string WriteTwoBlocks(const std::string& name, int rate = 22050) {
  CFileOutput out(nullptr, name);
  EXPECT_EQ(out.Open(), kMpegOk);
  std::vector<int16_t> samples(200);
  for (int i = 0; i < 200; ++i) samples[i] = static_cast<int16_t>(i - 100);
  MpegOutputBlock block{samples.data(), 50, 2, 2, rate};
  EXPECT_EQ(out.Write(&block), kMpegOk);
  block.samples += 100;
  EXPECT_EQ(out.Write(&block), kMpegOk);
  EXPECT_EQ(out.Close(), kMpegOk);
  return out.Path();
}

}  // namespace

TEST(FileOutput, WavHeaderCarriesFormatAndSizes) {
  TempDir dir;
  WriteTwoBlocks("wav:" + dir.File("a.wav"));
  std::string f = ReadFile(dir.File("a.wav"));
  ASSERT_EQ(f.size(), 44u + 400u);
  EXPECT_EQ(f.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(f, 4), 36u + 400u);
  EXPECT_EQ(f.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32(f, 16), 16u);
  EXPECT_EQ(Le32(f, 20), 1u | 2u << 16);  // PCM, 2 channels
  EXPECT_EQ(Le32(f, 24), 22050u);
  EXPECT_EQ(Le32(f, 28), 22050u * 4);
  EXPECT_EQ(Le32(f, 32), 4u | 16u << 16);  // block align, bits
  EXPECT_EQ(f.substr(36, 4), "data");
  EXPECT_EQ(Le32(f, 40), 400u);
  EXPECT_EQ(uint8_t(f[44]), 0x9C);  // -100 little-endian
  EXPECT_EQ(uint8_t(f[45]), 0xFF);
}

TEST(FileOutput, RawIsTheDefaultAndBigEndianContainers) {
  TempDir dir;
  EXPECT_EQ(WriteTwoBlocks(dir.File("plain.pcm")), dir.File("plain.pcm"));
  WriteTwoBlocks("raw:" + dir.File("b.raw"));
  std::string plain = ReadFile(dir.File("plain.pcm"));
  ASSERT_EQ(plain.size(), 400u);
  EXPECT_EQ(plain, ReadFile(dir.File("b.raw")));
  EXPECT_EQ(uint8_t(plain[398]), 99);  // last sample 99

  WriteTwoBlocks("sun:" + dir.File("c.au"), 8000);
  std::string au = ReadFile(dir.File("c.au"));
  ASSERT_EQ(au.size(), 24u + 400u);
  EXPECT_EQ(au.substr(0, 4), ".snd");
  EXPECT_EQ(Be32(au, 8), 400u);
  EXPECT_EQ(Be32(au, 12), 3u);
  EXPECT_EQ(Be32(au, 16), 8000u);
  EXPECT_EQ(Be32(au, 20), 2u);
  EXPECT_EQ(uint8_t(au[24]), 0xFF);  // -100 big-endian
  EXPECT_EQ(uint8_t(au[25]), 0x9C);

  WriteTwoBlocks("aiff:" + dir.File("d.aiff"), 44100);
  std::string aiff = ReadFile(dir.File("d.aiff"));
  ASSERT_EQ(aiff.size(), 54u + 400u);
  EXPECT_EQ(aiff.substr(0, 4), "FORM");
  EXPECT_EQ(Be32(aiff, 4), aiff.size() - 8);
  EXPECT_EQ(aiff.substr(8, 8), "AIFFCOMM");
  EXPECT_EQ(Be32(aiff, 22), 100u);  // sample frames
  // 44100 as an 80-bit extended number: exponent 16383 + 15, mantissa 0xAC44 << 48
  EXPECT_EQ(uint8_t(aiff[28]), 0x40);
  EXPECT_EQ(uint8_t(aiff[29]), 0x0E);
  EXPECT_EQ(uint8_t(aiff[30]), 0xAC);
  EXPECT_EQ(uint8_t(aiff[31]), 0x44);
  EXPECT_EQ(aiff.substr(38, 4), "SSND");
  EXPECT_EQ(Be32(aiff, 42), 408u);
}

TEST(FileOutput, EmptyOutputStillHasAHeaderAndOpenFailuresAreReported) {
  TempDir dir;
  {
    CFileOutput out(nullptr, "wav:" + dir.File("empty.wav"));
    ASSERT_EQ(out.Open(), kMpegOk);
    EXPECT_EQ(out.Close(), kMpegOk);
  }
  std::string f = ReadFile(dir.File("empty.wav"));
  ASSERT_EQ(f.size(), 44u);
  EXPECT_EQ(Le32(f, 40), 0u);

  MpegDecoder* d = nullptr;
  ASSERT_EQ(MpegDecoderCreate(&d), kMpegOk);
  std::string last;
  MpegDecoderSetErrorCallback(
      d,
      [](void* user, int, const char* m, const char* detail) {
        *static_cast<std::string*>(user) = std::string(m) + "|" + detail;
      },
      &last);
  ASSERT_GE(MpegDecoderRegisterOutput(d, MpegFileOutputModule()), 0);
  ASSERT_EQ(MpegDecoderSelectOutput(d, ("wav:" + dir.File("no/such/dir.wav")).c_str(), -1),
            kMpegOk);
  EXPECT_EQ(MpegDecoderOpenOutput(d), kMpegErrorCannotOpenOutput);
  EXPECT_EQ(last.rfind("cannot open output file|" + dir.File("no/such/dir.wav"), 0), 0u) << last;
  EXPECT_EQ(MpegDecoderSelectOutput(d, "wav:", -1), kMpegErrorBadArgument)
      << "a prefix without a name";
  MpegDecoderDestroy(&d);
}

TEST(FileOutput, FullDiskIsAWriteFailure) {
  CFileOutput out(nullptr, "/dev/full");
  ASSERT_EQ(out.Open(), kMpegOk);
  std::vector<int16_t> samples(2304 * 4);
  MpegOutputBlock block{samples.data(), 4608, 2, 2, 44100};
  int r = kMpegOk;
  for (int i = 0; i < 4 && r == kMpegOk; ++i) r = out.Write(&block);
  if (r == kMpegOk) r = out.Close();
  EXPECT_EQ(r, kMpegErrorWriteFailed);
}
