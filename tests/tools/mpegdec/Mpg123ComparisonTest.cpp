// mpegdec against Debian's mpg123 (--no-gapless, 16-bit) on files that lame
// and twolame write at test time: CBR, VBR, ABR, mono, joint stereo, 8 to
// 48 kHz, layer III and layer II. Both outputs must agree to 96 dB PSNR.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/TestSupport.h"

using testsupport::BinPath;
using testsupport::ReadFile;
using testsupport::Run;
using testsupport::TempDir;

namespace {

struct Case {
  const char* label;
  int rate;
  int channels;
  const char* encode;  // command with IN and OUT placeholders
};

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t at; (at = s.find(from)) != std::string::npos;) s.replace(at, from.size(), to);
  return s;
}

// A few seconds of something music-like: a sweep, a steady tone and noise.
std::string MakeSource(const TempDir& dir, int rate, int channels) {
  std::string wav =
      dir.File("src-" + std::to_string(rate) + "-" + std::to_string(channels) + ".wav");
  std::string cmd = "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                    " -b 16 '" + wav + "' synth 3 sine 150-" + std::to_string(rate * 2 / 5) +
                    " sine 440 pinknoise" + " remix " + (channels == 1 ? "1,2,3" : "1,3 2,3") +
                    " vol 0.6 fade 0.05 3 0.1";
  EXPECT_EQ(Run(cmd).exitCode, 0) << cmd;
  return wav;
}

void Compare(const std::vector<Case>& cases) {
  ASSERT_EQ(testsupport::MissingPrograms({"mpg123", "sox", "lame", "twolame"}), "");
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string src = MakeSource(dir, c.rate, c.channels);
    std::string mp = dir.File("coded");
    std::string encode = Replace(Replace(c.encode, "IN", "'" + src + "'"), "OUT", "'" + mp + "'");
    ASSERT_EQ(Run(encode).exitCode, 0) << encode;
    ASSERT_EQ(
        Run("mpg123 -q -s --no-gapless '" + mp + "' > '" + dir.File("ref.raw") + "'").exitCode, 0);
    testsupport::ProcessResult ours =
        Run("'" + BinPath("mpegdec") + "' '" + mp + "' raw:'" + dir.File("ours.raw") + "'");
    ASSERT_EQ(ours.exitCode, 0) << ours.err;
    EXPECT_EQ(ours.err, "");
    std::string ref = ReadFile(dir.File("ref.raw")), got = ReadFile(dir.File("ours.raw"));
    double psnr = testsupport::Psnr(testsupport::ToSamples(got), testsupport::ToSamples(ref));
    std::printf("%-36s %8zu samples  PSNR %6.1f dB\n", c.label, got.size() / 2, psnr);
    EXPECT_EQ(got.size(), ref.size());
    EXPECT_GE(psnr, 96.0);
  }
}

}  // namespace

TEST(MpegAgainstMpg123, LameLayerThreeFiles) {
  Compare({
      {"lame CBR 128 joint 44.1 kHz", 44100, 2, "lame --quiet -b 128 IN OUT"},
      {"lame VBR -V2 44.1 kHz", 44100, 2, "lame --quiet -V2 IN OUT"},
      {"lame ABR 160 48 kHz", 48000, 2, "lame --quiet --abr 160 IN OUT"},
      {"lame CBR 320 stereo 48 kHz", 48000, 2, "lame --quiet -b 320 -m s IN OUT"},
      {"lame CBR 96 mono 32 kHz", 32000, 1, "lame --quiet -b 96 -m m IN OUT"},
      {"lame VBR -V5 mono 22.05 kHz", 22050, 1, "lame --quiet -V5 -m m IN OUT"},
      {"lame CBR 64 joint 24 kHz", 24000, 2, "lame --quiet -b 64 IN OUT"},
      {"lame CBR 48 16 kHz", 16000, 2, "lame --quiet -b 48 IN OUT"},
      {"lame CBR 32 11.025 kHz", 11025, 2, "lame --quiet -b 32 IN OUT"},
      {"lame VBR -V4 12 kHz", 12000, 1, "lame --quiet -V4 -m m IN OUT"},
      {"lame CBR 24 8 kHz", 8000, 1, "lame --quiet -b 24 -m m IN OUT"},
      {"lame -t (no Info frame) 44.1 kHz", 44100, 2, "lame --quiet -t -b 192 IN OUT"},
  });
}

TEST(MpegAgainstMpg123, TwolameLayerTwoFiles) {
  Compare({
      {"twolame 256 stereo 44.1 kHz", 44100, 2, "twolame --quiet -b 256 -m s IN OUT"},
      {"twolame 192 joint 48 kHz", 48000, 2, "twolame --quiet -b 192 -m j IN OUT"},
      {"twolame 96 mono 32 kHz", 32000, 1, "twolame --quiet -b 96 -m m IN OUT"},
      {"twolame 384 dual 48 kHz", 48000, 2, "twolame --quiet -b 384 -m d IN OUT"},
      {"twolame 64 MPEG-2 22.05 kHz", 22050, 2, "twolame --quiet -b 64 IN OUT"},
      {"twolame 32 MPEG-2 mono 16 kHz", 16000, 1, "twolame --quiet -b 32 -m m IN OUT"},
      {"twolame 160 with CRC 44.1 kHz", 44100, 2, "twolame --quiet -b 160 -p IN OUT"},
  });
}

// --gapless drops what a LAME tag calls encoder delay and padding: the output
// is as long as lame's input and matches ffmpeg, which honours the same tag.
// Without the switch, or without a tag, every frame decodes in full.
TEST(MpegAgainstMpg123, GaplessTrimsToTheEncodersInput) {
  ASSERT_EQ(testsupport::MissingPrograms({"mpg123", "sox", "soxi", "lame", "ffmpeg"}), "");
  TempDir dir;
  std::string src = dir.File("odd.wav");
  ASSERT_EQ(testsupport::Run("sox -n -r 44100 -c 2 -b 16 '" + src +
                             "' synth 2.37 sine 200-4000 sine 330 vol 0.6")
                .exitCode,
            0);
  const size_t inputBytes = std::stoul(testsupport::Run("soxi -s '" + src + "'").out) * 4;
  for (const char* args : {"-b 128", "-V 2", "-b 128 -t"}) {
    SCOPED_TRACE(args);
    std::string mp = dir.File("coded.mp3");
    ASSERT_EQ(testsupport::Run(std::string("lame --quiet ") + args + " '" + src + "' '" + mp + "'")
                  .exitCode,
              0);
    const bool tagged = std::string(args).find("-t") == std::string::npos;
    auto decode = [&](const std::string& option, const std::string& name) {
      auto r = testsupport::Run("'" + BinPath("mpegdec") + "' " + option + "'" + mp + "' raw:'" +
                                dir.File(name) + "'");
      EXPECT_EQ(r.exitCode, 0) << r.err;
      return ReadFile(dir.File(name));
    };
    std::string gapless = decode("--gapless ", "gapless.raw"), full = decode("", "full.raw");
    ASSERT_EQ(
        testsupport::Run("mpg123 -q -s --no-gapless '" + mp + "' > '" + dir.File("ref.raw") + "'")
            .exitCode,
        0);
    std::string ref = ReadFile(dir.File("ref.raw"));
    EXPECT_EQ(full.size(), ref.size());
    EXPECT_GE(testsupport::Psnr(testsupport::ToSamples(full), testsupport::ToSamples(ref)), 96.0);
    if (!tagged) {
      EXPECT_EQ(gapless, full);
      continue;
    }
    ASSERT_EQ(
        testsupport::Run("ffmpeg -v error -y -i '" + mp + "' -f s16le '" + dir.File("ff.raw") + "'")
            .exitCode,
        0);
    std::string ff = ReadFile(dir.File("ff.raw"));
    EXPECT_EQ(gapless.size(), inputBytes);
    EXPECT_EQ(ff.size(), inputBytes);
    EXPECT_GE(testsupport::Psnr(testsupport::ToSamples(gapless), testsupport::ToSamples(ff)), 96.0);
    EXPECT_GT(full.size(), gapless.size());
  }
}
