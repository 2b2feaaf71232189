// Streams made by lame at every sample rate (the MPEG-2.5 ones have no
// conformance streams), decoded by us and by mpg123, must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/mpeg/layer3/Layer3Stream.h"

namespace mpegaudio::test {
namespace {

TEST(Layer3Lame, AgreesWithMpg123AtEveryRate) {
  for (const char* tool : {"sox", "lame", "mpg123"})
    if (!testsupport::HaveProgram(tool)) GTEST_SKIP() << tool << " not installed";
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
    std::vector<FrameSpan> frames = FindFrames(bits);
    ASSERT_FALSE(frames.empty());
    // mpg123 plays lame's tag frame as nothing.
    std::string first = bits.substr(frames[0].offset, size_t(frames[0].h.frameBytes));
    if (first.find("Xing") != std::string::npos || first.find("Info") != std::string::npos)
      frames.erase(frames.begin());
    DecodedStream got = DecodeFrames(bits, frames);
    EXPECT_EQ(got.failedFrames, 0);
    ASSERT_EQ(got.pcm.size(), ref.size() / 2);
    std::vector<int16_t> want(ref.size() / 2);
    std::memcpy(want.data(), ref.data(), want.size() * 2);
    EXPECT_GE(Psnr(got.pcm.data(), want.data(), want.size()), 96.0);
  }
}

}  // namespace
}  // namespace mpegaudio::test
