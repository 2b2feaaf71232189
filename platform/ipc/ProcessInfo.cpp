#include "platform/ipc/ProcessInfo.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>

int32_t CurrentProcessId() { return static_cast<int32_t>(getpid()); }

int IsProcessAlive(int32_t pid) {
  if (pid < 1) return 0;
  if (kill(static_cast<pid_t>(pid), 0) == 0) return 1;
  return errno == EPERM ? 1 : 0;
}
