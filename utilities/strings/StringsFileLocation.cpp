#include "utilities/strings/StringsFileLocation.h"

#include "platform/os/FileStatus.h"
#include "platform/paths/ProgramDirectory.h"

namespace {

// relative below programDir, else below programDir/../share/sonoduct/
// (canonical, without the ".."); empty when in neither.
std::string FindDataFile(const std::string& programDir, const std::string& relative) {
  std::string beside = programDir + relative;
  if (os::IsRegularFile(beside)) return beside;
  std::string shared = programDir + "../share/sonoduct/" + relative;
  if (!os::IsRegularFile(shared)) return {};
  std::string canonical = os::CanonicalPath(shared);
  return canonical.empty() ? shared : canonical;
}

}  // namespace

std::string FindStringsFile(const std::string& name) {
  std::string dir = ProgramDirectory();
  if (dir.empty()) return {};
  std::string found = FindDataFile(dir, name);
  return found.empty() ? dir + name : found;
}

std::string FindStringsFileIn(const std::string& programDir, const std::string& name) {
  if (programDir.empty() || name.empty() || name.find('/') != std::string::npos) return {};
  return FindDataFile(programDir, name);
}

std::string FindHelpPage(const std::string& page) {
  std::string dir = ProgramDirectory();
  return dir.empty() ? std::string() : FindHelpPageIn(dir, page);
}

std::string FindHelpPageIn(const std::string& programDir, const std::string& page) {
  if (page.empty() || page == "." || page == ".." || page.find('/') != std::string::npos) return {};
  return FindDataFile(programDir, "help/" + page);
}
