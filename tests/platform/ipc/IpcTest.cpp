// The process-level primitives under the single-instance channel.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/ipc/LockFile.h"
#include "platform/ipc/PrimaryLock.h"
#include "platform/ipc/ProcessInfo.h"
#include "platform/ipc/RuntimeFolder.h"
#include "platform/ipc/SharedBlockFile.h"
#include "tests/TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

class IpcTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("XDG_RUNTIME_DIR", dir_.Path().c_str(), 1); }
  testsupport::TempDir dir_;
};

TEST_F(IpcTest, RuntimeFolderIsPrivateAndAnOpenOneIsRefused) {
  std::string folder = GetRuntimeFolder();
  ASSERT_EQ(folder, dir_.Path() + "/sonoduct");
  struct stat st {};
  ASSERT_EQ(stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(GetRuntimeFolder(), folder);  // an existing private folder is fine

  chmod(folder.c_str(), 0755);
  EXPECT_EQ(GetRuntimeFolder(), "");
  rmdir(folder.c_str());
  // A symbolic link to a folder elsewhere is refused too.
  std::filesystem::create_directory(dir_.File("elsewhere"));
  chmod(dir_.File("elsewhere").c_str(), 0700);
  symlink(dir_.File("elsewhere").c_str(), folder.c_str());
  EXPECT_EQ(GetRuntimeFolder(), "");
}

TEST_F(IpcTest, LockWaitsItsTimeAndFollowsAKilledHolder) {
  std::string path = dir_.File("test.lock");
  CLockFile mine(path);
  CLockFile other(path);  // its own descriptor, as another thread or process
  ASSERT_EQ(mine.Lock(0), 1);
  EXPECT_EQ(mine.IsHeld(), 1);
  auto t0 = Clock::now();
  EXPECT_EQ(other.Lock(300), 0);
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(290));
  mine.Unlock();
  EXPECT_EQ(other.Lock(0), 1);
  other.Unlock();

  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  if (child == 0) {
    CLockFile held(path);
    if (held.Lock(1000)) {
      char c = 'x';
      (void)!write(ready[1], &c, 1);
      pause();
    }
    _exit(1);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  EXPECT_EQ(mine.Lock(100), 0);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  t0 = Clock::now();
  EXPECT_EQ(mine.Lock(2000), 1);
  EXPECT_LT(Clock::now() - t0, std::chrono::milliseconds(500));
  close(ready[0]);
  close(ready[1]);
}

TEST_F(IpcTest, PrimaryLockHasOneHolder) {
  std::string path = dir_.File("primary.lock");
  CPrimaryLock a, b;
  EXPECT_EQ(a.TryAcquire(path), 1);
  EXPECT_EQ(a.TryAcquire(path), 1);
  EXPECT_EQ(b.TryAcquire(path), 0);
  a.Release();
  EXPECT_EQ(b.TryAcquire(path), 1);
}

TEST_F(IpcTest, SharedBlockIsSharedAndChecksItsSize) {
  std::string path = dir_.File("block");
  CSharedBlockFile a, b;
  EXPECT_EQ(b.Open(path, 4096, 0), 0);  // created empty: the wrong size
  ASSERT_EQ(a.Open(path, 4096, 1), 1);
  ASSERT_EQ(b.Open(path, 4096, 0), 1);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  std::memcpy(a.Data() + 4000, "shared", 6);
  EXPECT_EQ(std::memcmp(b.Data() + 4000, "shared", 6), 0);
  EXPECT_EQ(b.SizeIntact(), 1);
  ASSERT_EQ(truncate(path.c_str(), 100), 0);
  EXPECT_EQ(b.SizeIntact(), 0);
  CSharedBlockFile c;
  EXPECT_EQ(c.Open(path, 4096, 0), 0);
}

TEST_F(IpcTest, ProcessAliveness) {
  EXPECT_EQ(IsProcessAlive(CurrentProcessId()), 1);
  EXPECT_EQ(IsProcessAlive(0), 0);
  EXPECT_EQ(IsProcessAlive(-5), 0);
  pid_t child = fork();
  if (child == 0) _exit(0);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(IsProcessAlive(child), 0);
}

}  // namespace
