// Layer I and II conformance streams decode to their references, and the
// illegal streams decode without harm.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "tests/TestSupport.h"
#include "tests/mpeg/core/StreamWalker.h"

namespace {

std::vector<std::string> ListVectors(const std::string& dir, const std::string& prefix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.rfind(prefix, 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".bit")
        names.push_back(name.substr(0, name.size() - 4));
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string MpegDir() { return testsupport::VectorsDir() + "/mpeg"; }

void CheckConformance(const std::string& prefix, int layer) {
  const std::string dir = MpegDir();
  std::vector<std::string> names = ListVectors(dir, prefix);
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
  if (ListVectors(dir, "l2-nonstandard").size() < 3) GTEST_SKIP() << "nonstandard vectors missing";

  // Free-format layer II.
  mpegtest::WalkResult r = decode("l2-nonstandard-free_format", false);
  EXPECT_EQ(r.badFrames, 0);
  EXPECT_GE(mpegtest::Psnr(r.pcm, reference("l2-nonstandard-free_format")), 96.0);

  // Free-format layer I frames of l1-fl1, then those of l1-fl2 at another
  // sample rate; the walker keeps to the first part, which must be l1-fl1's.
  r = decode("l2-nonstandard-fl1_fl2_ff", false);
  EXPECT_EQ(r.frames, 3);
  EXPECT_EQ(r.layer, 1);
  EXPECT_GE(mpegtest::Psnr(r.pcm, reference("l1-fl1")), 96.0);

  // One frame's allocation claims more bits than the frame holds: that frame
  // is refused as silence, and the others decode as the reference, which
  // leaves the frame out.
  r = decode("l2-nonstandard-test32-size", true);
  EXPECT_EQ(r.badFrames, 1);
  std::vector<int16_t> ref = reference("l2-nonstandard-test32-size");
  EXPECT_EQ(r.pcm.size(), ref.size());
  EXPECT_GE(mpegtest::Psnr(r.pcm, ref), 96.0);
}

}  // namespace
