// A small program that the hand-off tests start as separate processes. Each
// mode opens the single-instance channel in $XDG_RUNTIME_DIR and reports on
// standard output, one line per fact, flushing as it goes.
//   state                 print "first" or "later"
//   together NAME MS      first: wait up to MS for a post, print every entry; later: post NAME
//   hold-first MS         print "first"/"later", then sleep MS
//   consume MS            as first, fetch entries as they come ("took PATH"), for MS
//   hold-lock MS          take the channel's lock file directly, print "locked", sleep MS
//   options MS            ShowOptionsOnce with a sheet that prints "shown" and stays MS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "converter/instance/InstanceChannel.h"
#include "platform/ipc/LockFile.h"
#include "platform/ipc/RuntimeFolder.h"

namespace {

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void SleepMs(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::string mode = argv[1];
  long ms = argc > 2 ? std::atol(argv[argc - 1]) : 0;

  if (mode == "hold-lock") {
    CLockFile lock(GetRuntimeFolder() + "/" + CInstanceChannel::kLockFileName);
    if (!lock.Lock(kInstanceLockWaitMs)) return 3;
    Say("locked");
    SleepMs(ms);
    return 0;
  }

  CInstanceChannel channel;
  if (!channel.Open()) {
    Say("failed");
    return 3;
  }
  const bool first = channel.IsFirstInstance() != 0;
  if (mode == "state") {
    Say(first ? "first" : "later");
  } else if (mode == "together" && argc == 4) {
    if (first) {
      // Waits for the other process's post, at most MS.
      auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      while (channel.Count() == 0 && std::chrono::steady_clock::now() < end) SleepMs(10);
      Say("first");
      HandOffEntry entry{};
      for (uint32_t i = 0, n = channel.Count(); i < n; ++i)
        if (channel.Get(i, entry)) Say(std::string("entry ") + entry.path);
    } else {
      channel.Post(argv[2], 0);
      Say(channel.TookOver() ? "tookover" : "later");
    }
  } else if (mode == "hold-first") {
    Say(first ? "first" : "later");
    SleepMs(ms);
  } else if (mode == "consume") {
    Say(first ? "first" : "later");
    uint32_t next = channel.FirstIndex();
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      HandOffEntry entry{};
      for (uint32_t n = channel.Count(); next < n; ++next)
        if (channel.Get(next, entry)) Say(std::string("took ") + entry.path);
      SleepMs(20);
    }
  } else if (mode == "options") {
    int shown = channel.ShowOptionsOnce([&] {
      Say("shown");
      SleepMs(ms);
    });
    if (!shown) Say("not shown");
  } else {
    return 2;
  }
  return 0;
}
