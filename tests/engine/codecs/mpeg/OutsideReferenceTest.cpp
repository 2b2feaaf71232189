// Layer II streams made by twolame at every allocation table's rates decode
// like mpg123 decodes them.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/TestSupport.h"
#include "tests/engine/codecs/mpeg/MpegTestStreams.h"

namespace {

struct Setting {
  int rate;
  int kbps;
  const char* mode;  // twolame: s stereo, j joint stereo, d dual channel, m mono
  const char* options = "";
  bool freeFormat = false;  // mpg123 misreads twolame's free format, so the
                            // reference is the same stream with a bit rate index
};

TEST(MpegOutsideReference, TwolameStreamsDecodeLikeMpg123) {
  ASSERT_EQ(testsupport::MissingPrograms({"sox", "twolame", "mpg123"}), "");
  const Setting settings[] = {
      {48000, 64, "s"},          // 32 kbit/s per channel: the low-rate table
      {32000, 96, "s"},          // 48 kbit/s per channel at 32 kHz: its own low-rate table
      {44100, 128, "j"},         // 64 kbit/s per channel: the 27-subband table
      {44100, 256, "s"},         // 128 kbit/s per channel: the 30-subband table
      {48000, 384, "j"},         // 48 kHz keeps the 27-subband table at high rates
      {32000, 192, "m"},         // mono: the whole rate is one channel's
      {44100, 192, "d", " -p"},  // dual channel, with CRC
      {44100, 192, "j", " -p", true},
      {24000, 96, "j"},  // lower sampling frequencies
      {16000, 32, "m"},
  };
  testsupport::TempDir dir;
  for (const Setting& s : settings) {
    const std::string name = std::to_string(s.rate) + "-" + std::to_string(s.kbps) + s.mode;
    SCOPED_TRACE(name);
    const std::string wav = dir.File(name + ".wav"), mp2 = dir.File(name + ".mp2"),
                      raw = dir.File(name + ".raw");
    const int channels = s.mode[0] == 'm' ? 1 : 2;
    const std::string encode =
        "twolame --quiet -b " + std::to_string(s.kbps) + " -m " + s.mode + s.options;
    std::string cmd =
        "sox -n -r " + std::to_string(s.rate) + " -c " + std::to_string(channels) + " -b 16 '" +
        wav + "' synth 1.5 sine 100-7000 pinknoise vol 0.4 2>&1 && " + encode + " '" + wav + "' '" +
        mp2 + ".ref' 2>&1 && mpg123 -q -s --no-gapless '" + mp2 + ".ref' > '" + raw + "' && " +
        encode + (s.freeFormat ? " --freeformat" : "") + " '" + wav + "' '" + mp2 + "' 2>&1";
    testsupport::ProcessResult made = testsupport::Run(cmd);
    ASSERT_EQ(made.exitCode, 0) << made.out << made.err;

    mpegtest::Decoded r = mpegtest::DecodeFrames(testsupport::ReadFile(mp2));
    std::vector<int16_t> ref = mpegtest::ToSamples(testsupport::ReadFile(raw));
    EXPECT_EQ(r.layer, 2);
    EXPECT_EQ(r.sampleRate, s.rate);
    EXPECT_EQ(r.channels, channels);
    EXPECT_EQ(r.badFrames, 0);
    EXPECT_EQ(r.crcErrors, 0);
    EXPECT_EQ(r.pcm.size(), ref.size());
    const double psnr = mpegtest::Psnr(r.pcm, ref);
    std::printf("%-12s frames %3lld  PSNR %6.1f dB\n", name.c_str(),
                static_cast<long long>(r.frames), psnr);
    EXPECT_GE(psnr, 96.0);
  }
}

}  // namespace
