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
    if (name.find("nonstandard") != std::string::npos) continue;
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

}  // namespace
