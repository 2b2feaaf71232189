// A conversion run in this process taking what other instances handed off
// through the channel's block, with entries in it that no instance should
// have written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "converter/instance/InstanceChannel.h"
#include "converter/prefs/Preferences.h"
#include "converter/run/ConversionRun.h"
#include "platform/LastError.h"
#include "tests/TestSupport.h"
#include "utilities/strings/StringFile.h"

namespace {

class HandOffIntake : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testsupport::HaveProgram("sox")) GTEST_SKIP() << "sox is not installed";
    setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir_.Path() + "/config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dir_.Path() + "/cache").c_str(), 1);
    setenv("HOME", dir_.Path().c_str(), 1);
    std::string strings = testsupport::SourceDir() + "/converter/sonoduct-strings.ini";
    SetStringFile(strings.c_str());
    prefs_.defaultDir = dir_.Path() + "/out/";
    prefs_.cpuSleepTime = 0;
    prefs_.playSound = 0;
    prefs_.warnAboutIncompleteSongs = 0;  // no window to ask
    ASSERT_EQ(channel_.Open(), 1);
    ASSERT_EQ(channel_.IsFirstInstance(), 1);
  }
  // Writes an entry into the next slot of the block as a foreign process
  // might, bypassing the checks of Post.
  void PokeEntry(const std::string& path, uint32_t type) {
    HandOffEntry entry{};
    std::memcpy(entry.path, path.data(), std::min(path.size(), kHandOffPathBytes - 1));
    entry.targetType = type;
    uint32_t count = channel_.Count();
    int fd = open((dir_.Path() + "/sonoduct/SonoductSharedSpace").c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, &entry, sizeof entry, 48 + 264 * static_cast<int64_t>(count)),
              static_cast<ssize_t>(sizeof entry));
    ++count;
    ASSERT_EQ(pwrite(fd, &count, 4, 0), 4);
    close(fd);
  }
  std::string Tone(const std::string& name) {
    std::string path = dir_.File(name);
    auto r = testsupport::Run("sox -n -r 22050 -c 1 -b 16 '" + path + "' synth 0.2 sine 440");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return path;
  }

  testsupport::TempDir dir_;
  CInstanceChannel channel_;
  CPreferences prefs_;
};

TEST_F(HandOffIntake, BadEntriesArePassedOverAndTheOnesAfterThemTaken) {
  std::string first = Tone("first.wav"), second = Tone("second.wav");
  PokeEntry(first, 7);  // no such target type
  PokeEntry("", 0);
  PokeEntry(dir_.File("caf\xe9.wav"), 0);  // Latin-1, not UTF-8
  PokeEntry(first, 0);
  HandOffEntry entry{};
  EXPECT_EQ(channel_.Get(0, entry), 0);
  EXPECT_EQ(GetLastError(), kErrBadHandOffEntry);
  EXPECT_EQ(channel_.Get(2, entry), 0);
  EXPECT_EQ(GetLastError(), kErrBadHandOffEntry);
  EXPECT_EQ(channel_.Get(3, entry), 1);
  // What Get would refuse is not posted either.
  EXPECT_EQ(channel_.Post("", 0), 0);
  EXPECT_EQ(channel_.Post("/music/caf\xe9.wav", 0), 0);
  EXPECT_EQ(channel_.Post("/music/caf\xc3\xa9.wav", 0), 1);  // é in UTF-8

  CConversionRun run(prefs_, &channel_, 0);
  ASSERT_EQ(run.Start(), 1);
  auto converted = [&](int n) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (run.ConvertedCount() < n || !run.Idle()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  };
  EXPECT_TRUE(converted(1));
  // Later hand-offs are taken as they come.
  PokeEntry(second, 0);
  EXPECT_TRUE(converted(2));
  run.Finish();
  EXPECT_GT(testsupport::ReadFile(dir_.File("out/first.wav")).size(), 44u);
  EXPECT_GT(testsupport::ReadFile(dir_.File("out/second.wav")).size(), 44u);
  EXPECT_EQ(run.HandOffTaken(), channel_.Count());
}

}  // namespace
