#include "platform/Log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>

namespace {

struct LogTarget {
  int fd = -1;
  bool on = false;

  LogTarget() {
    const char* v = std::getenv("SONODUCT_LOG");
    if (v == nullptr || *v == '\0' || std::strcmp(v, "0") == 0) return;
    if (std::strcmp(v, "stderr") == 0 || std::strcmp(v, "-") == 0) {
      fd = STDERR_FILENO;
      on = true;
      return;
    }
    std::string path;
    if (std::strchr(v, '/') != nullptr) {
      path = v;
    } else {
      std::string dir;
      const char* state = std::getenv("XDG_STATE_HOME");
      const char* home = std::getenv("HOME");
      if (state != nullptr && *state == '/')
        dir = state;
      else if (home != nullptr && *home != '\0')
        dir = std::string(home) + "/.local/state";
      else
        return;
      // create each missing level
      for (size_t i = 1; i <= dir.size(); ++i)
        if (i == dir.size() || dir[i] == '/') mkdir(dir.substr(0, i).c_str(), 0700);
      dir += "/sonoduct";
      mkdir(dir.c_str(), 0700);
      path = dir + "/sonoduct.log";
    }
    fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    on = fd >= 0;
  }
};

LogTarget& Target() {
  static LogTarget target;
  return target;
}

std::mutex logMutex;

}  // namespace

int LoggingNow() { return Target().on ? 1 : 0; }

void Log(const char* text) {
  LogTarget& t = Target();
  if (!t.on || text == nullptr) return;
  char stamp[64];
  time_t now = time(nullptr);
  struct tm local;
  localtime_r(&now, &local);
  size_t n = strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::string line(stamp, n);
  line += " [" + std::to_string(getpid()) + "] ";
  line += text;
  if (line.empty() || line.back() != '\n') line += '\n';
  // one write per line with O_APPEND keeps lines whole across processes
  std::lock_guard<std::mutex> lock(logMutex);
  ssize_t ignored = write(t.fd, line.data(), line.size());
  (void)ignored;
}

void LogFmt(const char* format, ...) {
  if (!LoggingNow() || format == nullptr) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n >= 0) {
    std::string text(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(n));
    Log(text.c_str());
  }
  va_end(args);
}
