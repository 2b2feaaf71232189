// Starting other programs: from an argument vector, never through a shell,
// the program looked up on PATH as execvp does.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace os {

enum class SpawnState {
  NotStarted,  // the program could not be started (error says why)
  Exited,      // it ended within the wait (exitCode)
  Running,     // still running when the wait ended; it goes on by itself
  TimedOut,    // RunForOutput only: it did not end in time and was killed
};

struct SpawnResult {
  SpawnState state = SpawnState::NotStarted;
  int exitCode = -1;  // Exited: the exit status, or 128 + the signal number
  int error = 0;      // NotStarted: the errno of the failed start
};

// The full path of the program `name` as execvp would run it: a name with a
// '/' as it is, else the first executable regular file of that name along
// PATH (unset: /usr/local/bin:/usr/bin:/bin). Empty when there is none.
std::string FindProgram(const std::string& name);

// Starts argv[0] with the arguments argv[1...] detached from this process:
// in a session of its own, with standard input, output and error on
// /dev/null and no other descriptor of ours. Waits up to waitMs for it to
// end. A program that runs on is never left behind as a zombie: it is the
// child of a short-lived intermediate process, so the system reaps it.
SpawnResult SpawnDetached(const std::vector<std::string>& argv, int waitMs);

// Runs argv and collects its standard output (at most maxBytes; the rest is
// not read) into *out; standard input and error are on /dev/null. When it
// has not ended after timeoutMs it is killed with its process group.
SpawnResult RunForOutput(const std::vector<std::string>& argv, int timeoutMs, size_t maxBytes,
                         std::string* out);

// Starts a program that shows something to the user (a browser, a file
// manager), detached. True when it started and did not fail within a short
// wait: it ended with status 0, or it still runs.
bool Launch(const std::vector<std::string>& argv);

// Opens a folder, file or address with the desktop's handler for it:
// Launch of xdg-open.
bool OpenInDesktop(const std::string& target);

// A target as a handler's argument: one that begins with '-' would be read
// as an option, so it is given as the relative path "./..." it must be.
std::string TargetArgument(const std::string& target);

}  // namespace os
