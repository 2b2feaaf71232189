// Helpers shared by the test programs: temporary folders, running the real
// programs, and locating build outputs and the test data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

// A fresh folder below the system's temporary folder, removed with its
// contents when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // Path() + "/" + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

struct ProcessResult {
  int exitCode = -1;  // exit status, or 128 + signal number
  std::string out;    // standard output
  std::string err;    // standard error
};

// Runs a command line through /bin/sh, with extra "NAME=value" environment
// entries, and waits for it.
ProcessResult Run(const std::string& command, const std::vector<std::string>& env = {});

std::string BinDir();                          // build/bin
std::string BinPath(const std::string& name);  // build/bin/name
std::string SourceDir();                       // repository root
std::string VectorsDir();                      // the test data folder, tests/data

std::string ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::string& data);
// Writes a shell script ("#!/bin/sh" and body) and makes it executable.
bool WriteScript(const std::string& path, const std::string& body);

// Sets an environment variable (unsets it for a null value) while the
// object lives, then restores the old state.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool hadOld_ = false;
};
bool HaveProgram(const std::string& name);  // on PATH

// The contents of a test input that belongs to the tree (tests/data): a
// missing or unreadable one fails the test, naming its path.
std::string ReadInput(const std::string& path);

// Empty when every program named is on PATH, else which are missing. The
// outside programs the tests use are installed by scripts/setup.sh, so a test
// asserts this is empty: a missing one is a broken machine, not a skip.
std::string MissingPrograms(const std::vector<std::string>& names);

// Copies the program folder (build/bin) into `folder` without the encoder
// libraries (the MP3 ones and wmaglue.so), then copies `keep` (a library's
// path, or "") beside it;
// the copied program's path, or "" when copying failed.
std::string ProgramWithoutEncoders(const std::string& folder, const std::string& keep = "");

// A shell command run as root of a user namespace of its own, with a tmpfs
// of `kb` kilobytes mounted on `folder`, so that a target folder can be made
// small without privileges. The files written there vanish with the command.
std::string InSmallFolder(const std::string& folder, int kb, const std::string& command);
// Whether this machine grants the user namespaces InSmallFolder needs.
bool CanMountSmallFolders();

// Points ALSA at a configuration of the test's own: `text` goes to a new file
// in `dir` that ALSA_CONFIG_PATH names (libasound rereads a changed path at
// its next open). False when the file can't be written.
bool UseAlsaConfig(const TempDir& dir, const std::string& text);

// 16-bit little-endian samples of raw bytes.
std::vector<int16_t> ToSamples(const std::string& bytes);

// 10 log10(32767^2 / MSE) over the shorter of the two; 200 when identical,
// 0 when either is empty.
double Psnr(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

}  // namespace testsupport
