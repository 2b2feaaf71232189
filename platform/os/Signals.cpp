#include "platform/os/Signals.h"

#include <signal.h>

#include <atomic>

namespace os {
namespace {
std::atomic<int> interrupts{0};
void OnInterrupt(int) { interrupts.fetch_add(1); }
}  // namespace

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool TakeInterrupt() { return interrupts.exchange(0) > 0; }

}  // namespace os
