// Decodes the layer III conformance streams and compares them with their
// reference decodings.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/TestSupport.h"
#include "tests/mpeg/layer3/Layer3Stream.h"

namespace mpegaudio::test {
namespace {

std::vector<std::string> ConformanceStreams(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      bool layer3 = n.rfind("l3-", 0) == 0 || n.rfind("M2L3_", 0) == 0;
      if (layer3 && n.find("nonstandard") == std::string::npos && n.size() > 4 &&
          n.compare(n.size() - 4, 4, ".bit") == 0)
        names.push_back(n.substr(0, n.size() - 4));
    }
    closedir(d);
  }
  return names;
}

TEST(Layer3Conformance, EveryStreamMatchesItsReference) {
  const std::string dir = testsupport::VectorsDir() + "/mpeg";
  std::vector<std::string> names = ConformanceStreams(dir);
  if (names.empty()) GTEST_SKIP() << "no conformance streams in " << dir;
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::string bits = testsupport::ReadFile(dir + "/" + name + ".bit");
    std::string ref = testsupport::ReadFile(dir + "/" + name + ".pcm");
    ASSERT_FALSE(bits.empty());
    DecodedStream got = DecodeFrames(bits, FindFrames(bits));
    const size_t refSamples = ref.size() / 2;
    std::vector<int16_t> want(refSamples);
    std::memcpy(want.data(), ref.data(), refSamples * 2);
    EXPECT_EQ(got.failedFrames, 0);
    // The reference may leave out up to one frame's samples at the end.
    EXPECT_GE(got.pcm.size(), refSamples);
    EXPECT_LE(got.pcm.size(), refSamples + 2304);
    double psnr = Psnr(got.pcm.data(), want.data(), std::min(refSamples, got.pcm.size()));
    std::printf("  %-28s %5d frames  PSNR %6.1f dB\n", name.c_str(), got.frames, psnr);
    EXPECT_GE(psnr, 96.0);
  }
}

}  // namespace
}  // namespace mpegaudio::test
