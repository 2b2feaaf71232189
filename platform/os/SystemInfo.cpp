#include "platform/os/SystemInfo.h"

#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

namespace os {

std::string SystemDescription() {
  struct utsname u;
  if (uname(&u) != 0) return {};
  return std::string(u.sysname) + " " + u.release + " " + u.machine;
}

bool LocalTime(time_t t, struct tm* out) {
  return out != nullptr && localtime_r(&t, out) != nullptr;
}

int64_t TickCountMs() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace os
