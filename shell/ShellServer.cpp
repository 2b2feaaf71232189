#include "shell/ShellServer.h"

#include <memory>

#include "platform/registry/RegKey.h"
#include "utilities/strings/StringsFileLocation.h"

namespace shell {

namespace {

constexpr const char* kProgramName = "sonoduct";
constexpr const char* kStringsFileName = "sonoduct-strings.ini";

}  // namespace

bool ShellMenuRegistered() {
  CRegKey root(HKEY_CLASSES_ROOT);
  return root.KeyExists(kMenuHandlerKey) != 0;
}

TShellServer ReadShellServer() {
  TShellServer result{kProgramName, kStringsFileName};
  CRegKey root(HKEY_CLASSES_ROOT);
  std::unique_ptr<CRegKey> server(
      root.GetSubKey((std::string("CLSID\\") + kShellClassId + "\\InProcServer32").c_str()));
  std::string path;
  if (!server || !server->GetKeyString("", path)) return result;
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return result;
  const std::string dir = path.substr(0, slash + 1);
  result.program = dir + kProgramName;
  // Beside the program in the build tree, or in ../share/sonoduct/ installed.
  const std::string strings = FindStringsFileIn(dir, kStringsFileName);
  result.stringsFile = strings.empty() ? dir + kStringsFileName : strings;
  return result;
}

}  // namespace shell
