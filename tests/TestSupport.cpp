#include "tests/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "sonoduct-test-XXXXXX").string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) != nullptr) path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

ProcessResult Run(const std::string& command, const std::vector<std::string>& env) {
  TempDir dir;
  std::string prefix;
  for (const auto& e : env) prefix += "export '" + e + "'; ";
  std::string full = prefix + "( " + command + " ) >'" + dir.File("out") + "' 2>'" +
                     dir.File("err") + "' </dev/null";
  int status = std::system(full.c_str());
  ProcessResult r;
  if (status != -1) {
    if (WIFEXITED(status))
      r.exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
      r.exitCode = 128 + WTERMSIG(status);
  }
  r.out = ReadFile(dir.File("out"));
  r.err = ReadFile(dir.File("err"));
  return r;
}

std::string BinDir() { return SONODUCT_TEST_BIN_DIR; }
std::string BinPath(const std::string& name) { return BinDir() + "/" + name; }
std::string SourceDir() { return SONODUCT_TEST_SOURCE_DIR; }
std::string VectorsDir() { return SONODUCT_TEST_VECTORS_DIR; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

bool WriteScript(const std::string& path, const std::string& body) {
  if (!WriteFile(path, "#!/bin/sh\n" + body)) return false;
  std::error_code ec;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all, ec);
  return !ec;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  hadOld_ = old != nullptr;
  if (hadOld_) old_ = old;
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (hadOld_)
    setenv(name_.c_str(), old_.c_str(), 1);
  else
    unsetenv(name_.c_str());
}

bool HaveProgram(const std::string& name) { return Run("command -v " + name).exitCode == 0; }

std::string ReadInput(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    ADD_FAILURE() << "test input missing: " << path;
    return std::string();
  }
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string MissingPrograms(const std::vector<std::string>& names) {
  std::string missing;
  for (const std::string& name : names)
    if (!HaveProgram(name)) missing += (missing.empty() ? "" : " ") + name;
  return missing.empty() ? missing : "not installed (scripts/setup.sh installs them): " + missing;
}

std::vector<int16_t> ToSamples(const std::string& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = int16_t(uint16_t(uint8_t(bytes[2 * i])) | (uint16_t(uint8_t(bytes[2 * i + 1])) << 8));
  return s;
}

double Psnr(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  if (n == 0) return 0.0;
  double sum = 0.0;
  for (size_t i = 0; i < n; ++i) {
    double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  if (sum == 0.0) return 200.0;
  return 10.0 * std::log10(32767.0 * 32767.0 / (sum / double(n)));
}

std::string ProgramWithoutEncoders(const std::string& folder, const std::string& keep) {
  std::string cmd =
      "mkdir -p '" + folder + "' && cd '" + BinDir() +
      "' && for f in *; do case \"$f\" in Lame_enc.so|BladeEnc.so|wmaglue.so) ;; *) cp -a "
      "\"$f\" '" +
      folder + "/';; esac; done";
  if (!keep.empty()) cmd += " && cp -a '" + keep + "' '" + folder + "/'";
  return Run(cmd).exitCode == 0 ? folder + "/sonoduct" : "";
}

std::string InSmallFolder(const std::string& folder, int kb, const std::string& command) {
  return "unshare -rm sh -c \"mkdir -p '" + folder +
         "' && mount -t tmpfs -o size=" + std::to_string(kb) + "k tmpfs '" + folder + "' && " +
         command + "\"";
}

bool CanMountSmallFolders() { return Run("unshare -rm true").exitCode == 0; }

bool UseAlsaConfig(const TempDir& dir, const std::string& text) {
  static int configs = 0;
  const std::string path = dir.File("asound-" + std::to_string(++configs) + ".conf");
  if (!WriteFile(path, text)) return false;
  return setenv("ALSA_CONFIG_PATH", path.c_str(), 1) == 0;
}

}  // namespace testsupport
