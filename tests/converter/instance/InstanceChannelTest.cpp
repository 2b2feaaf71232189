// The single-instance channel between real processes: the test program and
// the instance_helper program, each test in its own runtime folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "converter/instance/InstanceChannel.h"
#include "tests/TestSupport.h"
#include "tests/converter/HelperProcess.h"

namespace {

class InstanceChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", runtime_.Path().c_str(), 1); }
  std::string BlockPath() const { return runtime_.Path() + "/sonoduct/SonoductSharedSpace"; }

  // Writes raw bytes into the block file at `offset`, as a foreign process might.
  void Poke(int64_t offset, const void* data, size_t size) {
    int fd = open(BlockPath().c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, data, size, offset), static_cast<ssize_t>(size));
    close(fd);
  }
  void PokeU32(int64_t offset, uint32_t value) { Poke(offset, &value, sizeof(value)); }

  testsupport::TempDir runtime_;
};

TEST_F(InstanceChannelTest, TwoProcessesStartedTogetherMeetInOneFirstInstance) {
  for (int round = 0; round < 3; ++round) {
    testsupport::TempDir runtime;
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);
    Helper a({"together", "/music/a.mp3", "20000"});
    Helper b({"together", "/music/b.mp3", "20000"});
    std::string outA = a.Finish();
    std::string outB = b.Finish();
    EXPECT_EQ(a.ExitCode(), 0);
    EXPECT_EQ(b.ExitCode(), 0);
    const bool aFirst = outA.rfind("first\n", 0) == 0;
    const bool bFirst = outB.rfind("first\n", 0) == 0;
    ASSERT_NE(aFirst, bFirst) << outA << "|" << outB;
    const std::string& firstOut = aFirst ? outA : outB;
    const std::string& laterOut = aFirst ? outB : outA;
    EXPECT_EQ(laterOut, "later\n");
    EXPECT_EQ(firstOut,
              std::string("first\nentry ") + (aFirst ? "/music/b.mp3" : "/music/a.mp3") + "\n");
  }
}

TEST_F(InstanceChannelTest, PostsBeyond2000AreDroppedAndTheRestKeepTheirOrder) {
  Helper first({"hold-first", "60000"});
  ASSERT_TRUE(first.WaitFor("first\n"));
  CInstanceChannel channel;
  ASSERT_EQ(channel.Open(), 1);
  ASSERT_EQ(channel.IsFirstInstance(), 0);
  for (uint32_t i = 0; i < kHandOffEntryCount; ++i)
    ASSERT_EQ(channel.Post("/music/" + std::to_string(i) + ".mp3", i % 3), 1) << i;
  EXPECT_EQ(channel.Post("/music/extra.mp3", 0), 0);
  EXPECT_EQ(channel.TookOver(), 0);
  ASSERT_EQ(channel.Count(), kHandOffEntryCount);
  for (uint32_t i = 0; i < kHandOffEntryCount; ++i) {
    HandOffEntry entry{};
    ASSERT_EQ(channel.Get(i, entry), 1);
    ASSERT_STREQ(entry.path, ("/music/" + std::to_string(i) + ".mp3").c_str());
    ASSERT_EQ(entry.targetType, i % 3);
  }
  HandOffEntry entry{};
  EXPECT_EQ(channel.Get(kHandOffEntryCount, entry), 0);
}

TEST_F(InstanceChannelTest, LockOfAKilledHolderIsTakenWithinTheWait) {
  CInstanceChannel channel;
  ASSERT_EQ(channel.Open(), 1);
  Helper holder({"hold-lock", "60000"});
  ASSERT_TRUE(holder.WaitFor("locked\n"));

  // While the holder lives, the wait runs out and nothing is touched.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(channel.Post("/music/held.mp3", 0), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));

  int posted = -1;
  std::chrono::steady_clock::duration waited{};
  std::thread poster([&] {
    auto t0 = std::chrono::steady_clock::now();
    posted = channel.Post("/music/after.mp3", 1);
    waited = std::chrono::steady_clock::now() - t0;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  holder.Kill();
  poster.join();
  EXPECT_EQ(posted, 1);
  EXPECT_LT(waited, std::chrono::milliseconds(kInstanceLockWaitMs));
  EXPECT_EQ(channel.Count(), 1u);

  // A fresh process gets it as well.
  Helper next({"state"});
  EXPECT_EQ(next.Finish(), "later\n");
}

TEST_F(InstanceChannelTest, CorruptBlockContentsAreNotTrusted) {
  CInstanceChannel channel;
  ASSERT_EQ(channel.Open(), 1);
  ASSERT_EQ(channel.IsFirstInstance(), 1);

  PokeU32(0, 99999);
  EXPECT_EQ(channel.Count(), kHandOffEntryCount);
  EXPECT_EQ(channel.Post("/music/x.mp3", 0), 0);
  HandOffEntry entry{};
  EXPECT_EQ(channel.Get(kHandOffEntryCount, entry), 0);

  // Slot 0: a path without terminator; slot 1: an unknown target type.
  std::vector<char> unterminated(kHandOffPathBytes, 'a');
  Poke(48, unterminated.data(), unterminated.size());
  PokeU32(48 + 260, 2);
  Poke(48 + 264, "/music/bad.mp3", 15);
  PokeU32(48 + 264 + 260, 7);
  Poke(48 + 2 * 264, "/music/good.mp3", 16);
  PokeU32(48 + 2 * 264 + 260, 1);
  PokeU32(0, 3);
  ASSERT_EQ(channel.Count(), 3u);
  ASSERT_EQ(channel.Get(0, entry), 1);
  EXPECT_EQ(std::string(entry.path), std::string(kHandOffPathBytes - 1, 'a'));
  EXPECT_EQ(channel.Get(1, entry), 0);
  ASSERT_EQ(channel.Get(2, entry), 1);
  EXPECT_STREQ(entry.path, "/music/good.mp3");

  // A path that does not fit the field is refused, never cut short.
  EXPECT_EQ(channel.Post("/" + std::string(kHandOffPathBytes, 'b'), 0), 0);
  EXPECT_EQ(channel.Post("/" + std::string(kHandOffPathBytes - 2, 'b'), 0), 1);
  EXPECT_EQ(channel.Count(), 4u);
}

TEST_F(InstanceChannelTest, BlockOfTheWrongSizeIsRefused) {
  Helper first({"hold-first", "60000"});
  ASSERT_TRUE(first.WaitFor("first\n"));
  CInstanceChannel open;
  ASSERT_EQ(open.Open(), 1);

  ASSERT_EQ(truncate(BlockPath().c_str(), 1000), 0);
  // A later instance refuses the short file instead of faulting on it.
  CInstanceChannel later;
  EXPECT_EQ(later.Open(), 0);
  EXPECT_EQ(later.IsReady(), 0);
  // One that mapped it before refuses every access.
  EXPECT_EQ(open.Post("/music/a.mp3", 0), 0);
  EXPECT_EQ(open.Count(), 0u);

  ASSERT_EQ(truncate(BlockPath().c_str(), 600000), 0);
  EXPECT_EQ(CInstanceChannel().Open(), 0);

  // The first instance sets the size again.
  first.Kill();
  open.Close();
  CInstanceChannel next;
  ASSERT_EQ(next.Open(), 1);
  EXPECT_EQ(next.IsFirstInstance(), 1);
  EXPECT_EQ(std::filesystem::file_size(BlockPath()), sizeof(SharedSpace));
  EXPECT_EQ(next.Post("/music/a.mp3", 0), 1);
}

TEST_F(InstanceChannelTest, OptionsSheetIsShownOnceAndADeadHolderDoesNotBlockIt) {
  CInstanceChannel channel;
  ASSERT_EQ(channel.Open(), 1);
  {
    Helper other({"options", "60000"});
    ASSERT_TRUE(other.WaitFor("shown\n"));
    bool called = false;
    EXPECT_EQ(channel.ShowOptionsOnce([&] { called = true; }), 0);
    EXPECT_FALSE(called);
    EXPECT_EQ(channel.GetOptionsOpen(), 1);
    other.Kill();  // dies with the flag set
  }
  EXPECT_EQ(channel.GetOptionsOpen(), 1);
  bool called = false;
  EXPECT_EQ(channel.ShowOptionsOnce([&] {
    called = true;
    EXPECT_EQ(channel.GetOptionsOpen(), 1);
  }),
            1);
  EXPECT_TRUE(called);
  EXPECT_EQ(channel.GetOptionsOpen(), 0);

  // A flag without any holder id, as an older writer leaves it, is stale too.
  PokeU32(16, 1);
  PokeU32(20, 0);
  called = false;
  EXPECT_EQ(channel.ShowOptionsOnce([&] { called = true; }), 1);
  EXPECT_TRUE(called);

  // Another instance shows it while we don't.
  Helper second({"options", "0"});
  EXPECT_EQ(second.Finish(), "shown\n");
}

TEST_F(InstanceChannelTest, LaterInstanceTakesOverWhenTheFirstDiedAfterAPost) {
  Helper first({"consume", "60000"});
  ASSERT_TRUE(first.WaitFor("first\n"));
  CInstanceChannel later;
  ASSERT_EQ(later.Open(), 1);
  ASSERT_EQ(later.IsFirstInstance(), 0);
  ASSERT_EQ(later.Post("/music/a.mp3", 0), 1);
  EXPECT_EQ(later.TookOver(), 0);
  ASSERT_TRUE(first.WaitFor("took /music/a.mp3\n"));
  first.Kill();

  ASSERT_EQ(later.Post("/music/b.mp3", 1), 1);
  EXPECT_EQ(later.TookOver(), 1);
  EXPECT_EQ(later.IsFirstInstance(), 1);
  EXPECT_EQ(later.FirstIndex(), 1u);  // a was taken already
  HandOffEntry entry{};
  ASSERT_EQ(later.Get(later.FirstIndex(), entry), 1);
  EXPECT_STREQ(entry.path, "/music/b.mp3");

  // Now the first instance, it is what a new process finds.
  Helper next({"state"});
  EXPECT_EQ(next.Finish(), "later\n");
}

TEST_F(InstanceChannelTest, FirstInstanceRetiresOnlyWhenDrained) {
  CInstanceChannel first;
  ASSERT_EQ(first.Open(), 1);
  ASSERT_EQ(first.IsFirstInstance(), 1);
  CInstanceChannel later;  // started while the first one runs
  ASSERT_EQ(later.Open(), 1);
  Helper poster({"together", "/music/late.mp3", "0"});
  EXPECT_EQ(poster.Finish(), "later\n");

  EXPECT_EQ(first.RetireIfDrained(0), 0);  // one entry waits
  EXPECT_EQ(first.IsFirstInstance(), 1);
  EXPECT_EQ(first.RetireIfDrained(1), 1);
  EXPECT_EQ(first.IsFirstInstance(), 0);

  // A post after the retirement is not lost: its poster takes over.
  ASSERT_EQ(later.Post("/music/later.mp3", 0), 1);
  EXPECT_EQ(later.TookOver(), 1);
  EXPECT_EQ(later.FirstIndex(), 0u);  // the retired one fetched nothing
  EXPECT_EQ(later.Count(), 2u);
}

}  // namespace
