// Layer I and II conformance streams decode to their references, the
// nonstandard ones sensibly, and the illegal streams without harm.
#include <gtest/gtest.h>

#include <cstdio>

#include "engine/codecs/mpeg/MpegHeader.h"
#include "tests/TestSupport.h"
#include "tests/mpeg/core/StreamWalker.h"

namespace {

std::string MpegDir() { return testsupport::VectorsDir() + "/mpeg"; }

void CheckConformance(const std::string& prefix, int layer) {
  const std::string dir = MpegDir();
  std::vector<std::string> names = mpegtest::ListStreams(dir, prefix);
  if (names.empty()) GTEST_SKIP() << "no " << prefix << " vectors in " << dir;
  for (const std::string& name : names) {
    if (name.find("nonstandard") != std::string::npos) continue;  // checked below
    SCOPED_TRACE(name);
    mpegtest::WalkResult r =
        mpegtest::DecodeStream(testsupport::ReadFile(dir + "/" + name + ".bit"));
    std::vector<int16_t> ref =
        mpegtest::ToSamples(testsupport::ReadFile(dir + "/" + name + ".pcm"));
    EXPECT_EQ(r.layer, layer);
    EXPECT_EQ(r.badFrames, 0);
    EXPECT_EQ(r.crcErrors, 0);
    EXPECT_GT(r.frames, 0);
    double psnr = mpegtest::Psnr(r.pcm, ref);
    std::printf("%-28s frames %4d  PSNR %6.1f dB\n", name.c_str(), r.frames, psnr);
    EXPECT_GE(psnr, 96.0);
  }
}

TEST(MpegConformance, LayerOneStreamsMatchTheirReferences) { CheckConformance("l1-", 1); }

TEST(MpegConformance, LayerTwoStreamsMatchTheirReferences) { CheckConformance("l2-", 2); }

TEST(MpegConformance, NonstandardLayerOneAndTwoStreams) {
  const std::string dir = MpegDir();
  auto decode = [&](const std::string& name, bool dropBad) {
    return mpegtest::DecodeStream(testsupport::ReadFile(dir + "/" + name + ".bit"), true, dropBad);
  };
  auto reference = [&](const std::string& name) {
    return mpegtest::ToSamples(testsupport::ReadFile(dir + "/" + name + ".pcm"));
  };
  if (mpegtest::ListStreams(dir, "l2-nonstandard").size() < 3)
    GTEST_SKIP() << "nonstandard vectors missing";

  // Free-format layer II.
  mpegtest::WalkResult r = decode("l2-nonstandard-free_format", false);
  EXPECT_EQ(r.badFrames, 0);
  EXPECT_GE(mpegtest::Psnr(r.pcm, reference("l2-nonstandard-free_format")), 96.0);

  // Free-format layer I frames of l1-fl1 at 32 kHz, then those of l1-fl2 at
  // 44.1 kHz. The walker keeps to the rate it locked on, so the second part
  // is walked from its first header; the reference holds that part alone.
  const std::string joined = testsupport::ReadFile(dir + "/l2-nonstandard-fl1_fl2_ff.bit");
  r = mpegtest::DecodeStream(joined);
  EXPECT_EQ(r.frames, 3);
  EXPECT_EQ(r.layer, 1);
  EXPECT_GE(mpegtest::Psnr(r.pcm, reference("l1-fl1")), 96.0);
  size_t second = 0;
  for (size_t i = 0; i + 4 <= joined.size() && !second; ++i) {
    mpegaudio::FrameHeader h;
    if (mpegaudio::ParseFrameHeader(reinterpret_cast<const uint8_t*>(joined.data()) + i, &h) &&
        h.sampleRate == 44100)
      second = i;
  }
  ASSERT_GT(second, 0u);
  r = mpegtest::DecodeStream(joined.substr(second));
  std::vector<int16_t> ref = reference("l2-nonstandard-fl1_fl2_ff");
  EXPECT_EQ(r.pcm.size(), ref.size());
  EXPECT_GE(mpegtest::Psnr(r.pcm, ref), 96.0);

  // One frame's allocation claims more bits than the frame holds: that frame
  // is refused as silence, and the others decode as the reference, which
  // leaves the frame out.
  r = decode("l2-nonstandard-test32-size", true);
  EXPECT_EQ(r.badFrames, 1);
  ref = reference("l2-nonstandard-test32-size");
  EXPECT_EQ(r.pcm.size(), ref.size());
  EXPECT_GE(mpegtest::Psnr(r.pcm, ref), 96.0);
}

TEST(MpegConformance, IllegalStreamsDecodeWithoutHarm) {
  const std::string dir = MpegDir();
  std::vector<std::string> names = mpegtest::ListStreams(dir, "ILL");
  if (names.empty()) GTEST_SKIP() << "no ILL vectors in " << dir;
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    mpegtest::WalkResult r =
        mpegtest::DecodeStream(testsupport::ReadFile(dir + "/" + name + ".bit"));
    std::vector<int16_t> ref =
        mpegtest::ToSamples(testsupport::ReadFile(dir + "/" + name + ".pcm"));
    const double psnr = mpegtest::Psnr(r.pcm, ref);
    std::printf("%-24s layer %d frames %3d bad %3d crc %3d  PSNR %6.1f dB\n", name.c_str(), r.layer,
                r.frames, r.badFrames, r.crcErrors, psnr);
    if (r.layer == 3) continue;  // the layer III decoder is checked on its own
    // Each frame gives a whole frame of samples, so timing matches the
    // reference, and the damage stays local.
    EXPECT_EQ(r.pcm.size(), ref.size());
    if (!ref.empty()) {
      EXPECT_GE(psnr, 90.0);
    }
  }
}

}  // namespace
