#include "tests/shell/ShellTestSupport.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/registry/RegKey.h"

namespace shelltest {

std::string StringsFile() { return testsupport::SourceDir() + "/converter/sonoduct-strings.ini"; }

shell::TTargetAvailability Available(bool wav, bool mp3, bool wma) {
  shell::TTargetAvailability a;
  a.available[shell::kTargetWav] = wav;
  a.available[shell::kTargetMp3] = mp3;
  a.available[shell::kTargetWma] = wma;
  return a;
}

TempHomes::TempHomes()
    : config_(dir_.File("config")),
      data_(dir_.File("data")),
      configEnv_("XDG_CONFIG_HOME", config_.c_str()),
      dataEnv_("XDG_DATA_HOME", data_.c_str()) {}

void TempHomes::SetAvailability(const shell::TTargetAvailability& a) {
  CRegKey user(HKEY_CURRENT_USER);
  std::unique_ptr<CRegKey> key(user.CreateSubKey(shell::kConverterKey));
  ASSERT_TRUE(key);
  key->SetKeyNum(shell::kNumAvailableValue, shell::kTargetCount);
  for (int i = 0; i < shell::kTargetCount; ++i)
    key->SetKeyNum((shell::kAvailableValuePrefix + std::to_string(i)).c_str(), a.available[i]);
}

RecordingProgram::RecordingProgram(const std::string& folder)
    : program_(folder + "/sonoduct"), records_(folder + "/runs") {
  mkdir(records_.c_str(), 0700);
  // One write of the whole vector, into a file named after the process.
  testsupport::WriteScript(program_, "printf '%s\\0' \"$@\" > " + ShellQuote(records_) +
                                         "/run.$$.tmp && mv " + ShellQuote(records_) +
                                         "/run.$$.tmp " + ShellQuote(records_) + "/run.$$\n");
}

std::vector<std::vector<std::string>> RecordingProgram::WaitForRuns(size_t count,
                                                                    int timeoutMs) const {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<std::string> names;
  for (;;) {
    names.clear();
    if (DIR* d = opendir(records_.c_str())) {
      while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n.rfind("run.", 0) == 0 && n.find(".tmp") == std::string::npos) names.push_back(n);
      }
      closedir(d);
    }
    if (names.size() >= count || std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::vector<std::vector<std::string>> runs;
  for (const std::string& n : names) {
    std::string data = testsupport::ReadFile(records_ + "/" + n);
    std::vector<std::string> args;
    size_t from = 0;
    for (size_t nul; (nul = data.find('\0', from)) != std::string::npos; from = nul + 1)
      args.push_back(data.substr(from, nul - from));
    runs.push_back(args);
  }
  return runs;
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

std::vector<std::string> SplitAsShell(const std::string& commandLine) {
  testsupport::ProcessResult r = testsupport::Run("printf '%s\\0' " + commandLine);
  std::vector<std::string> args;
  size_t from = 0;
  for (size_t nul; (nul = r.out.find('\0', from)) != std::string::npos; from = nul + 1)
    args.push_back(r.out.substr(from, nul - from));
  return args;
}

}  // namespace shelltest
