#include "platform/os/SystemInfo.h"

#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <vector>

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

std::string ExecutableDirectory() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) {
      std::string path(buf.data(), static_cast<size_t>(n));
      size_t slash = path.rfind('/');
      return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    }
    buf.resize(buf.size() * 2);
  }
}

}  // namespace os
