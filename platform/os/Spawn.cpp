#include "platform/os/Spawn.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace os {

namespace {

constexpr const char* kDefaultPath = "/usr/local/bin:/usr/bin:/bin";
// How long Launch waits for a start to fail: handlers such as xdg-open
// report a missing handler or file within moments, while a browser started
// afresh runs on.
constexpr int kLaunchWaitMs = 1000;
constexpr int kPollMs = 5;

// What the intermediate process of SpawnDetached reports.
struct Report {
  int state;
  int value;  // the exit code or the errno
};

// Everything between fork and exec below uses only async-signal-safe calls,
// since the parent may have other threads: the argument vector and the
// program's path are made before forking.

int64_t NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

void SleepMs(int ms) {
  timespec t{ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&t, nullptr);
}

bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Reads until size bytes or the end; the count read.
size_t ReadFull(int fd, void* data, size_t size) {
  char* p = static_cast<char*>(data);
  size_t got = 0;
  while (got < size) {
    ssize_t n = read(fd, p + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

pid_t WaitFor(pid_t pid, int* status, int flags) {
  for (;;) {
    pid_t w = waitpid(pid, status, flags);
    if (w >= 0 || errno != EINTR) return w;
  }
}

int ExitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// A close-on-exec pipe whose ends lie above the standard descriptors, so
// that redirecting those in a child never overwrites an end.
bool MakePipe(int fds[2]) {
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  for (int i = 0; i < 2; ++i) {
    if (fds[i] > STDERR_FILENO) continue;
    int moved = fcntl(fds[i], F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    close(fds[i]);
    fds[i] = moved;
  }
  if (fds[0] >= 0 && fds[1] >= 0) return true;
  if (fds[0] >= 0) close(fds[0]);
  if (fds[1] >= 0) close(fds[1]);
  return false;
}

void CloseBoth(int fds[2]) {
  close(fds[0]);
  close(fds[1]);
}

std::vector<char*> CArguments(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  return args;
}

// In a forked child: default signal handling, standard input and error on
// /dev/null, standard output on `out` (or /dev/null when -1), every other
// descriptor closed by the exec; then the exec. A failure is written as its
// errno to `errorFd`, a close-on-exec pipe, so the parent learns it.
[[noreturn]] void ExecChild(const char* path, char* const* argv, int out, int errorFd, int maxFd) {
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int s = 1; s < NSIG; ++s) sigaction(s, &dfl, nullptr);

  int null = open("/dev/null", O_RDWR);
  if (null < 0 || dup2(null, STDIN_FILENO) < 0 || dup2(out >= 0 ? out : null, STDOUT_FILENO) < 0 ||
      dup2(null, STDERR_FILENO) < 0) {
    int e = errno;
    WriteAll(errorFd, &e, sizeof e);
    _exit(127);
  }
  if (null > STDERR_FILENO) close(null);
  if (close_range(STDERR_FILENO + 1, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
    for (int fd = STDERR_FILENO + 1; fd < maxFd; ++fd) {
      int flags = fcntl(fd, F_GETFD);
      if (flags >= 0 && !(flags & FD_CLOEXEC)) fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
  }
  execv(path, argv);
  int e = errno;
  WriteAll(errorFd, &e, sizeof e);
  _exit(127);
}

int MaxDescriptor() {
  long n = sysconf(_SC_OPEN_MAX);
  return n > 0 && n < 65536 ? static_cast<int>(n) : 65536;
}

// The intermediate process of SpawnDetached: starts the program in a session
// of its own, waits up to waitMs for its end and reports on reportFd. When
// it exits, a program still running becomes a child of the system's reaper.
[[noreturn]] void RunIntermediate(const char* path, char* const* argv, int execError[2],
                                  int reportFd, int waitMs, int maxFd) {
  // The parent may ignore SIGCHLD, which would make waitpid lose the status.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigaction(SIGCHLD, &dfl, nullptr);

  Report report{static_cast<int>(SpawnState::NotStarted), 0};
  pid_t child = fork();
  if (child == 0) {
    close(execError[0]);
    close(reportFd);
    setsid();
    ExecChild(path, argv, -1, execError[1], maxFd);
  }
  close(execError[1]);
  if (child < 0) {
    report.value = errno;
  } else {
    int e = 0;
    if (ReadFull(execError[0], &e, sizeof e) == sizeof e) {
      report.value = e;
      WaitFor(child, nullptr, 0);
    } else {
      report.state = static_cast<int>(SpawnState::Running);
      const int64_t deadline = NowMs() + std::max(waitMs, 0);
      for (;;) {
        int status = 0;
        if (WaitFor(child, &status, WNOHANG) == child) {
          report = {static_cast<int>(SpawnState::Exited), ExitCodeOf(status)};
          break;
        }
        int64_t left = deadline - NowMs();
        if (left <= 0) break;
        SleepMs(static_cast<int>(std::min<int64_t>(left, kPollMs)));
      }
    }
  }
  WriteAll(reportFd, &report, sizeof report);
  _exit(0);
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string FindProgram(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* env = std::getenv("PATH");
  std::string path = env ? env : kDefaultPath;
  size_t begin = 0;
  for (;;) {
    size_t end = path.find(':', begin);
    std::string dir =
        path.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    // An empty entry means the current directory, as for execvp.
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    if (end == std::string::npos) return {};
    begin = end + 1;
  }
}

namespace {

// What a start needs before it forks: the program found on PATH, its
// arguments, the highest descriptor to close, and two pipes (one for the
// caller's use, one that tells of a failed exec). False, with the error in
// result, when any of it can't be had.
struct StartPlan {
  std::string path;
  std::vector<char*> args;
  int maxFd = 0;
  int pipe[2] = {-1, -1};
  int execError[2] = {-1, -1};
};

bool PlanStart(const std::vector<std::string>& argv, StartPlan* plan, SpawnResult* result) {
  plan->path = argv.empty() ? std::string() : FindProgram(argv[0]);
  if (plan->path.empty()) {
    result->error = argv.empty() ? EINVAL : ENOENT;
    return false;
  }
  plan->args = CArguments(argv);
  plan->maxFd = MaxDescriptor();
  if (!MakePipe(plan->pipe)) {
    result->error = errno;
    return false;
  }
  if (!MakePipe(plan->execError)) {
    result->error = errno;
    CloseBoth(plan->pipe);
    return false;
  }
  return true;
}

}  // namespace

SpawnResult SpawnDetached(const std::vector<std::string>& argv, int waitMs) {
  SpawnResult result;
  StartPlan plan;
  if (!PlanStart(argv, &plan, &result)) return result;
  const std::string& path = plan.path;
  std::vector<char*>& args = plan.args;
  const int maxFd = plan.maxFd;
  int* report = plan.pipe;
  int* execError = plan.execError;
  pid_t middle = fork();
  if (middle == 0) {
    close(report[0]);
    RunIntermediate(path.c_str(), args.data(), execError, report[1], waitMs, maxFd);
  }
  int forkError = errno;
  CloseBoth(execError);
  close(report[1]);
  if (middle < 0) {
    close(report[0]);
    result.error = forkError;
    return result;
  }
  Report got{};
  size_t n = ReadFull(report[0], &got, sizeof got);
  close(report[0]);
  WaitFor(middle, nullptr, 0);
  if (n != sizeof got) {
    result.error = EIO;  // the intermediate process died before reporting
    return result;
  }
  result.state = static_cast<SpawnState>(got.state);
  if (result.state == SpawnState::NotStarted) result.error = got.value;
  if (result.state == SpawnState::Exited) result.exitCode = got.value;
  return result;
}

SpawnResult RunForOutput(const std::vector<std::string>& argv, int timeoutMs, size_t maxBytes,
                         std::string* out) {
  out->clear();
  SpawnResult result;
  StartPlan plan;
  if (!PlanStart(argv, &plan, &result)) return result;
  const std::string& path = plan.path;
  std::vector<char*>& args = plan.args;
  const int maxFd = plan.maxFd;
  int* output = plan.pipe;
  int* execError = plan.execError;
  const int64_t deadline = NowMs() + std::max(timeoutMs, 0);
  pid_t pid = fork();
  if (pid == 0) {
    // A group of its own, so that a timeout also ends the helpers it started.
    setpgid(0, 0);
    ExecChild(path.c_str(), args.data(), output[1], execError[1], maxFd);
  }
  int forkError = errno;
  close(output[1]);
  close(execError[1]);
  if (pid < 0) {
    close(output[0]);
    close(execError[0]);
    result.error = forkError;
    return result;
  }
  int e = 0;
  bool failed = ReadFull(execError[0], &e, sizeof e) == sizeof e;
  close(execError[0]);
  if (failed) {
    close(output[0]);
    WaitFor(pid, nullptr, 0);
    result.error = e;
    return result;
  }

  char buf[4096];
  while (out->size() < maxBytes) {
    int64_t left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p{output[0], POLLIN, 0};
    int ready = poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    ssize_t n = read(output[0], buf, std::min(sizeof buf, maxBytes - out->size()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    out->append(buf, static_cast<size_t>(n));
  }
  close(output[0]);

  for (;;) {
    int status = 0;
    pid_t w = WaitFor(pid, &status, WNOHANG);
    if (w == pid || w < 0) {
      result.state = SpawnState::Exited;
      result.exitCode = w == pid ? ExitCodeOf(status) : -1;
      return result;
    }
    int64_t left = deadline - NowMs();
    if (left <= 0) break;
    SleepMs(static_cast<int>(std::min<int64_t>(left, kPollMs)));
  }
  kill(-pid, SIGKILL);
  WaitFor(pid, nullptr, 0);
  result.state = SpawnState::TimedOut;
  return result;
}

std::string TargetArgument(const std::string& target) {
  return !target.empty() && target[0] == '-' ? "./" + target : target;
}

bool Launch(const std::vector<std::string>& argv) {
  SpawnResult r = SpawnDetached(argv, kLaunchWaitMs);
  return r.state == SpawnState::Running || (r.state == SpawnState::Exited && r.exitCode == 0);
}

bool OpenInDesktop(const std::string& target) {
  if (target.empty()) return false;
  return Launch({"xdg-open", TargetArgument(target)});
}

}  // namespace os
