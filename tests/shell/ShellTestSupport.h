// Shared by the file-manager integration tests: the converter's strings
// file, a registry store of its own, and a recording stand-in for the
// converter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/ShellTargets.h"
#include "tests/TestSupport.h"

namespace shelltest {

std::string StringsFile();  // the converter's strings file in the source tree

shell::TTargetAvailability Available(bool wav, bool mp3, bool wma);

// A temporary XDG config, data and runtime home for the time of a test, so
// the registry store and the integration files are the test's own.
class TempHomes {
 public:
  TempHomes();
  const std::string& Config() const { return config_; }
  const std::string& Data() const { return data_; }
  std::string Root() const { return dir_.Path(); }
  // Records in the converter's key what the converter would write.
  void SetAvailability(const shell::TTargetAvailability& a);

 private:
  testsupport::TempDir dir_;
  std::string config_, data_;
  testsupport::ScopedEnv configEnv_, dataEnv_;
};

// A program named sonoduct in a folder of its own that writes its argument
// vector, each argument ended by a NUL, into a file of its own per run.
class RecordingProgram {
 public:
  explicit RecordingProgram(const std::string& folder);
  const std::string& Path() const { return program_; }
  // The argument vectors (without the program name) of the runs recorded,
  // after waiting up to timeoutMs for `count` of them; in no fixed order.
  std::vector<std::vector<std::string>> WaitForRuns(size_t count, int timeoutMs = 5000) const;

 private:
  std::string program_, records_;
};

// A command line split as a POSIX shell splits it (our commands quote every
// argument as the shell and GLib's parser read it).
std::vector<std::string> SplitAsShell(const std::string& commandLine);

// s in single quotes for a shell command line.
std::string ShellQuote(const std::string& s);

}  // namespace shelltest
