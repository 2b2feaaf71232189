// Streams made by lame at every sample rate (the MPEG-2.5 ones have no
// conformance streams), decoded by us and by mpg123, must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/engine/codecs/mpeg/MpegTestStreams.h"

namespace mpegaudio::test {
namespace {

TEST(Layer3Lame, AgreesWithMpg123AtEveryRate) {
  ASSERT_EQ(testsupport::MissingPrograms({"sox", "lame", "mpg123"}), "");
  testsupport::TempDir dir;
  const std::string src = dir.File("src.wav");
  // Noise and a sweep: every band and many code tables are used.
  auto made = testsupport::Run("sox -n -r 44100 -c 2 -b 16 '" + src +
                               "' synth 3 pinknoise synth 3 sine 200-8000 gain -6");
  ASSERT_EQ(made.exitCode, 0) << made.err;
  struct Case {
    const char* rate;
    const char* options;
  };
  const Case cases[] = {{"44.1", "-b 320"},  {"48", "-V 0"},  {"32", "-b 96 -m m"},
                        {"22.05", "-b 64"},  {"24", "-V 5"},  {"16", "-b 24 -m j"},
                        {"11.025", "-b 16"}, {"12", "-b 32"}, {"8", "-b 8 -m m"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.rate) + " kHz " + c.options);
    const std::string mp3 = dir.File("t.mp3"), pcm = dir.File("t.pcm");
    auto enc = testsupport::Run(std::string("lame --quiet --resample ") + c.rate + " " + c.options +
                                " '" + src + "' '" + mp3 + "'");
    ASSERT_EQ(enc.exitCode, 0) << enc.err;
    auto dec = testsupport::Run("mpg123 -q --no-gapless -s '" + mp3 + "' > '" + pcm + "'");
    ASSERT_EQ(dec.exitCode, 0) << dec.err;
    std::string bits = testsupport::ReadFile(mp3), ref = testsupport::ReadFile(pcm);
    std::vector<mpegtest::FrameSpan> frames = mpegtest::FindFrames(bits);
    ASSERT_FALSE(frames.empty());
    // mpg123 plays lame's tag frame as nothing.
    std::string first = bits.substr(frames[0].offset, size_t(frames[0].h.frameBytes));
    if (first.find("Xing") != std::string::npos || first.find("Info") != std::string::npos)
      frames.erase(frames.begin());
    mpegtest::Decoded got = mpegtest::DecodeFrames(bits, frames);
    EXPECT_EQ(got.badFrames, 0);
    std::vector<int16_t> want = mpegtest::ToSamples(ref);
    ASSERT_EQ(got.pcm.size(), want.size());
    EXPECT_GE(mpegtest::Psnr(got.pcm, want), 96.0);
  }
}

}  // namespace
}  // namespace mpegaudio::test
