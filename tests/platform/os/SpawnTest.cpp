// Starting programs: exit codes, failed starts, arguments passed unchanged,
// the detached child's surroundings, no zombies, and collected output.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <thread>

#include "platform/os/Spawn.h"
#include "tests/TestSupport.h"

namespace {

using os::SpawnState;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteScript;

int64_t ElapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               since)
      .count();
}

// A script that writes its arguments, each ended by a NUL, into `out`.
std::string ArgvRecorder(const TempDir& dir, const std::string& out) {
  std::string script = dir.File("record");
  WriteScript(script, "for a; do printf '%s\\0' \"$a\"; done > '" + out + "'\n");
  return script;
}

void Executable(const std::string& path, const std::string& contents) {
  testsupport::WriteFile(path, contents);
  chmod(path.c_str(), 0700);
}

std::string Joined(const std::vector<std::string>& args) {
  std::string s;
  for (const auto& a : args) s += a + '\0';
  return s;
}

// Whether the process is gone or has ended (a zombie of some other parent).
bool Ended(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(in, stat)) return true;
  size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

TEST(Spawn, ReportsExitCodesWithinTheWait) {
  os::SpawnResult r = os::SpawnDetached({"true"}, 5000);
  EXPECT_EQ(r.state, SpawnState::Exited);
  EXPECT_EQ(r.exitCode, 0);
  r = os::SpawnDetached({"sh", "-c", "sleep 0.2; exit 3"}, 5000);
  EXPECT_EQ(r.state, SpawnState::Exited);
  EXPECT_EQ(r.exitCode, 3);
  r = os::SpawnDetached({"sh", "-c", "kill -TERM $$"}, 5000);
  EXPECT_EQ(r.state, SpawnState::Exited);
  EXPECT_EQ(r.exitCode, 128 + SIGTERM);
}

TEST(Spawn, AProgramThatCannotStartIsAFailureWithItsReason) {
  TempDir dir;
  os::SpawnResult r = os::SpawnDetached({"sonoduct-no-such-program"}, 1000);
  EXPECT_EQ(r.state, SpawnState::NotStarted);
  EXPECT_EQ(r.error, ENOENT);
  EXPECT_EQ(os::SpawnDetached({}, 1000).state, SpawnState::NotStarted);

  // Found, but the exec itself fails: learnt from the child, not guessed.
  Executable(dir.File("bad-interpreter"), "#!/nonexistent/interpreter\n");
  r = os::SpawnDetached({dir.File("bad-interpreter")}, 1000);
  EXPECT_EQ(r.state, SpawnState::NotStarted);
  EXPECT_EQ(r.error, ENOENT);
  Executable(dir.File("garbage"), std::string("\x7f"
                                              "ELF\x01\x01\x01\0junk",
                                              12));
  r = os::SpawnDetached({dir.File("garbage")}, 1000);
  EXPECT_EQ(r.state, SpawnState::NotStarted);
  EXPECT_NE(r.error, 0);

  // Not executable: not a program at all.
  testsupport::WriteFile(dir.File("plain"), "#!/bin/sh\nexit 0\n");
  EXPECT_EQ(os::SpawnDetached({dir.File("plain")}, 1000).state, SpawnState::NotStarted);
}

TEST(Spawn, ArgumentsReachTheProgramUnchanged) {
  TempDir dir;
  const std::vector<std::string> args = {
      "a b",  "it's", "\"quoted\"", "x; touch " + dir.File("injected"), "$HOME", "", "*",
      "`id`", "-n",   "back\\slash"};
  std::vector<std::string> argv = {ArgvRecorder(dir, dir.File("args"))};
  argv.insert(argv.end(), args.begin(), args.end());
  os::SpawnResult r = os::SpawnDetached(argv, 5000);
  ASSERT_EQ(r.state, SpawnState::Exited);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ReadFile(dir.File("args")), Joined(args));
  EXPECT_NE(access(dir.File("injected").c_str(), F_OK), 0);
}

TEST(Spawn, TheProgramRunsDetachedWithNothingOfOurs) {
  TempDir dir;
  // A descriptor without close-on-exec that the program must not inherit.
  int leaked = open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 0);
  const std::string fd = std::to_string(leaked);
  os::SpawnResult r = os::SpawnDetached(
      {"sh", "-c",
       "set -- $(cat /proc/$$/stat); [ \"$6\" = \"$$\" ] || exit 10\n"  // leads its own session
       "[ \"$(readlink /proc/$$/fd/0)\" = /dev/null ] || exit 11\n"
       "[ \"$(readlink /proc/$$/fd/1)\" = /dev/null ] || exit 12\n"
       "[ \"$(readlink /proc/$$/fd/2)\" = /dev/null ] || exit 13\n"
       "[ -e /proc/$$/fd/" +
           fd +
           " ] && exit 14\n"
           "exit 0"},
      5000);
  close(leaked);
  EXPECT_EQ(r.state, SpawnState::Exited);
  EXPECT_EQ(r.exitCode, 0) << "10 session, 11-13 standard descriptors, 14 leaked descriptor";
}

TEST(Spawn, AProgramStillRunningIsNeitherWaitedForNorLeftAsOurZombie) {
  TempDir dir;
  const std::string pidFile = dir.File("pid");
  auto start = std::chrono::steady_clock::now();
  os::SpawnResult r =
      os::SpawnDetached({"sh", "-c", "echo $$ > '" + pidFile + "'; exec sleep 30"}, 300);
  EXPECT_EQ(r.state, SpawnState::Running);
  EXPECT_LT(ElapsedMs(start), 3000);

  // Neither the program nor a helper is a child of ours.
  errno = 0;
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);

  pid_t pid = std::stoi(ReadFile(pidFile));
  EXPECT_FALSE(Ended(pid));
  kill(pid, SIGKILL);
}

TEST(Spawn, FindProgramSearchesPathAsExecvpDoes) {
  TempDir dir;
  mkdir(dir.File("first").c_str(), 0700);
  mkdir(dir.File("second").c_str(), 0700);
  mkdir(dir.File("first/tool").c_str(), 0700);                     // a folder: skipped
  testsupport::WriteFile(dir.File("second/tool"), "#!/bin/sh\n");  // not executable: skipped
  mkdir(dir.File("third").c_str(), 0700);
  WriteScript(dir.File("third/tool"), "exit 0\n");
  WriteScript(dir.File("first/other"), "exit 0\n");
  testsupport::ScopedEnv path(
      "PATH", (dir.File("first") + ":" + dir.File("second") + "::" + dir.File("third")).c_str());
  EXPECT_EQ(os::FindProgram("tool"), dir.File("third/tool"));
  EXPECT_EQ(os::FindProgram("other"), dir.File("first/other"));
  EXPECT_EQ(os::FindProgram("missing"), "");
  EXPECT_EQ(os::FindProgram(dir.File("third/tool")), dir.File("third/tool"));
  EXPECT_EQ(os::FindProgram(""), "");
}

TEST(RunForOutput, CollectsStandardOutput) {
  std::string out;
  os::SpawnResult r = os::RunForOutput({"printf", "one\\ntwo %s", "a b"}, 5000, 4096, &out);
  EXPECT_EQ(r.state, SpawnState::Exited);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(out, "one\ntwo a b");

  r = os::RunForOutput({"sh", "-c", "echo partial; exit 2"}, 5000, 4096, &out);
  EXPECT_EQ(r.state, SpawnState::Exited);
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(out, "partial\n");

  r = os::RunForOutput({"sonoduct-no-such-program"}, 5000, 4096, &out);
  EXPECT_EQ(r.state, SpawnState::NotStarted);
  EXPECT_EQ(out, "");
}

TEST(RunForOutput, StopsAtTheByteLimit) {
  std::string out;
  auto start = std::chrono::steady_clock::now();
  os::SpawnResult r = os::RunForOutput({"yes"}, 5000, 1000, &out);
  EXPECT_EQ(out.size(), 1000u);
  EXPECT_EQ(out.substr(0, 4), "y\ny\n");
  // yes ends when its output is closed; it is not waited for until the timeout.
  EXPECT_EQ(r.state, SpawnState::Exited);
  EXPECT_LT(ElapsedMs(start), 4000);
}

TEST(RunForOutput, AProgramThatHangsIsKilledWithItsHelpersAtTheTimeout) {
  std::string out;
  auto start = std::chrono::steady_clock::now();
  // The background sleep keeps the output open after its shell would end.
  os::SpawnResult r = os::RunForOutput({"sh", "-c", "sleep 30 & echo $!; wait"}, 300, 4096, &out);
  EXPECT_EQ(r.state, SpawnState::TimedOut);
  EXPECT_LT(ElapsedMs(start), 3000);
  ASSERT_FALSE(out.empty());
  pid_t helper = std::stoi(out);
  for (int i = 0; i < 100 && !Ended(helper); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(Ended(helper));
}

TEST(OpenInDesktop, RunsXdgOpenWithTheTargetAsOneArgument) {
  TempDir dir;
  mkdir(dir.File("bin").c_str(), 0700);
  const std::string log = dir.File("args");
  WriteScript(dir.File("bin/xdg-open"), "for a; do printf '%s\\0' \"$a\"; done > '" + log +
                                            "'\n"
                                            "[ -e \"$1\" ] || exit 2\n");
  testsupport::ScopedEnv path("PATH", dir.File("bin").c_str());

  const std::string folder = dir.File("my music; $(x)");
  mkdir(folder.c_str(), 0700);
  EXPECT_TRUE(os::OpenInDesktop(folder));
  EXPECT_EQ(ReadFile(log), folder + '\0');

  // xdg-open's failure (here: no such file) is the caller's failure.
  EXPECT_FALSE(os::OpenInDesktop(dir.File("missing")));
  EXPECT_FALSE(os::OpenInDesktop(""));
  // A name that looks like an option is given as a path.
  os::OpenInDesktop("-v");
  EXPECT_EQ(ReadFile(log), std::string("./-v") + '\0');
}

TEST(OpenInDesktop, FailsWithoutXdgOpen) {
  TempDir dir;
  testsupport::ScopedEnv path("PATH", dir.Path().c_str());
  EXPECT_FALSE(os::OpenInDesktop("/"));
}

}  // namespace
