#include "utilities/strings/StringsFileLocation.h"

#include "platform/os/FileStatus.h"
#include "platform/paths/ProgramDirectory.h"

std::string FindStringsFile(const std::string& name) {
  std::string dir = ProgramDirectory();
  if (dir.empty()) return {};
  std::string beside = dir + name;
  if (os::IsRegularFile(beside)) return beside;
  std::string shared = dir + "../share/sonoduct/" + name;
  if (os::IsRegularFile(shared)) {
    std::string canonical = os::CanonicalPath(shared);
    return canonical.empty() ? shared : canonical;
  }
  return beside;
}

std::string FindHelpPage(const std::string& page) {
  std::string dir = ProgramDirectory();
  if (dir.empty()) return {};
  for (std::string path : {dir + "help/" + page, dir + "../share/sonoduct/help/" + page})
    if (os::IsRegularFile(path)) return path;
  return {};
}
