// Capture from ALSA's file plugin reading a raw file the test writes, under
// an ALSA configuration of the test's own; and the streams' failures when
// that configuration has no usable device.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/WaveIn.h"
#include "platform/audio/WaveOut.h"
#include "tests/TestSupport.h"

namespace {

using testsupport::TempDir;

class WaveStreams : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("ALSA_CONFIG_PATH"); }
  void UseAlsaConfig(const std::string& text) {
    ASSERT_TRUE(testsupport::UseAlsaConfig(dir_, text));
  }
  TempDir dir_;
};

TEST_F(WaveStreams, CaptureDeliversTheInputInOrderAndNoFasterThanTheClock) {
  std::string input(44100 * 4, '\0');  // one second, 16-bit stereo
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<char>(i * 7 + i / 251);
  ASSERT_TRUE(testsupport::WriteFile(dir_.File("in.raw"), input));
  UseAlsaConfig("pcm.!default { type file slave.pcm { type null } file \"" + dir_.File("out.raw") +
                "\" infile \"" + dir_.File("in.raw") + "\" format \"raw\" }\n");
  os::WaveIn in;
  ASSERT_TRUE(in.Open(2, 44100, 16, 8820)) << in.Error();
  EXPECT_EQ(in.Read(input.data(), 4), -1);  // not started
  ASSERT_TRUE(in.Start());
  const auto start = std::chrono::steady_clock::now();
  std::vector<char> got;
  char block[4410];  // odd bytes: reads stay whole frames
  while (got.size() < 44100 * 2) {
    int64_t n = in.Read(block, sizeof block);
    ASSERT_GE(n, 0) << in.Error();
    ASSERT_EQ(n % 4, 0);
    got.insert(got.end(), block, block + n);
    if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  EXPECT_GE(ms, 450);  // half a second of audio took about as long
  EXPECT_EQ(in.CapturedBytes(), static_cast<int64_t>(got.size()));
  EXPECT_EQ(std::string(got.begin(), got.end()), input.substr(0, got.size()));
  in.Close();
  EXPECT_FALSE(in.IsOpen());
  EXPECT_EQ(in.Read(block, sizeof block), -1);
}

TEST_F(WaveStreams, WithoutAUsableDeviceOpeningFailsWithAReason) {
  for (const char* config : {"# no devices\n", "pcm.!default { type hw card 9 }\n"}) {
    UseAlsaConfig(config);
    os::WaveIn in;
    EXPECT_FALSE(in.Open(2, 44100, 16, 8820)) << config;
    EXPECT_FALSE(in.Error().empty());
    EXPECT_FALSE(in.Start());
    os::WaveOut out;
    EXPECT_FALSE(out.Open(2, 44100, 16, 8820)) << config;
    EXPECT_FALSE(out.Error().empty());
  }
  os::WaveIn in;
  EXPECT_FALSE(in.Open(3, 44100, 16, 8820));  // not a shape the engine records
  EXPECT_FALSE(in.Open(2, 44100, 24, 8820));
}

// A device without a clock of its own reports everything played at once;
// paused, nothing more counts as played.
TEST_F(WaveStreams, APausedOutputReportsNoProgress) {
  UseAlsaConfig("pcm.!default { type null }\n");
  os::WaveOut out;
  ASSERT_TRUE(out.Open(2, 44100, 16, 8820)) << out.Error();
  std::vector<char> block(8820, 0);
  ASSERT_TRUE(out.Write(block.data(), 8820));
  out.Pause(true);
  const int64_t played = out.PlayedBytes();
  EXPECT_LE(played, 8820);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(out.PlayedBytes(), played);
  out.Pause(false);
  EXPECT_TRUE(out.Write(block.data(), 8820));
  EXPECT_EQ(out.WrittenBytes(), 17640);
}

}  // namespace
