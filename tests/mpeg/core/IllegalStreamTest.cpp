// Damaged and illegal streams decode without crashing or reading outside the
// frame, and a damaged CRC is noticed.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "tests/TestSupport.h"
#include "tests/mpeg/core/StreamWalker.h"

namespace {

TEST(MpegIllegalStreams, LayerTwoIllegalStreamsDecodeWithoutHarm) {
  const std::string dir = testsupport::VectorsDir() + "/mpeg";
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string name = e->d_name;
      if (name.rfind("ILL", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".bit")
        names.push_back(name.substr(0, name.size() - 4));
    }
    closedir(d);
  }
  if (names.empty()) GTEST_SKIP() << "no ILL vectors in " << dir;
  std::sort(names.begin(), names.end());
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
