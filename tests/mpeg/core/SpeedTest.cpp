// Decoding speed over a file named in SONODUCT_MPEG_BENCH (run with
// --gtest_also_run_disabled_tests); compare with an outside decoder's time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/TestSupport.h"
#include "tests/mpeg/core/StreamWalker.h"

namespace {

TEST(MpegSpeed, DISABLED_DecodeBenchmarkFile) {
  const char* path = std::getenv("SONODUCT_MPEG_BENCH");
  if (!path) GTEST_SKIP() << "SONODUCT_MPEG_BENCH not set";
  std::string data = testsupport::ReadFile(path);
  ASSERT_FALSE(data.empty());
  const char* roundsText = std::getenv("SONODUCT_MPEG_BENCH_ROUNDS");
  const int rounds = roundsText ? std::max(1, std::atoi(roundsText)) : 5;
  auto start = std::chrono::steady_clock::now();
  size_t samples = 0;
  for (int i = 0; i < rounds; ++i) samples += mpegtest::DecodeStream(data, false).samples;
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %.3f s per decode, %.1f Msamples/s\n", path, seconds / rounds,
              samples / seconds / 1e6);
}

}  // namespace
