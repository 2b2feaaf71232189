// Starts the instance_helper test program (or another program) as a child
// process with its standard output on a pipe.
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace {

inline std::string HelperPath() {
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "instance_helper")
      .string();
}

// A helper process with its standard output on a pipe.
class Helper {
 public:
  explicit Helper(std::vector<std::string> args, std::string path = HelperPath()) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], STDOUT_FILENO);
      close(fds[0]);
      close(fds[1]);
      std::vector<char*> argv;
      argv.push_back(path.data());
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(path.c_str(), argv.data());
      _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
  }
  ~Helper() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (out_ >= 0) close(out_);
  }

  // Reads until the output holds `text` or the time is up.
  bool WaitFor(const std::string& text, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (text_.find(text) == std::string::npos) {
      int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                      end - std::chrono::steady_clock::now())
                                      .count());
      if (left <= 0) return false;
      pollfd p{out_, POLLIN, 0};
      if (poll(&p, 1, left) <= 0) return false;
      char buf[4096];
      ssize_t n = read(out_, buf, sizeof(buf));
      if (n <= 0) return false;
      text_.append(buf, static_cast<size_t>(n));
    }
    return true;
  }
  // Waits for the exit and returns all output.
  std::string Finish() {
    char buf[4096];
    ssize_t n;
    while ((n = read(out_, buf, sizeof(buf))) > 0) text_.append(buf, static_cast<size_t>(n));
    Wait();
    return text_;
  }
  void Kill() {
    kill(pid_, SIGKILL);
    Wait();
  }
  int ExitCode() const { return exitCode_; }

 private:
  void Wait() {
    if (pid_ <= 0) return;
    int status = 0;
    waitpid(pid_, &status, 0);
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    pid_ = -1;
  }

  pid_t pid_ = -1;
  int out_ = -1;
  int exitCode_ = -1;
  std::string text_;
};

}  // namespace
