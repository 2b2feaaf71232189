// sonoshell-invoke [--uris] ENTRY -- FILES...
//
// What the file managers' action files call when one of the converter's
// entries is chosen: computes the menu for the selection as the context menu
// does and starts the converter beside this program once per file for the
// entry (a command offset 0 to 5, or a switch letter C, 3, M, O). With
// --uris the files are file:// URIs. Status 0 when every run started, 1 when
// nothing or not everything could be started, 2 for a wrong command line.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/os/FileStatus.h"
#include "platform/paths/ProgramDirectory.h"
#include "shell/FileUri.h"
#include "shell/ShellInvoke.h"
#include "shell/ShellMenu.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {

constexpr const char* kProgramName = "sonoduct";
constexpr const char* kStringsFileName = "sonoduct-strings.ini";

int Usage() {
  std::fprintf(stderr, "usage: sonoshell-invoke [--uris] ENTRY -- FILES...\n");
  return 2;
}

// Names as the converter takes them: absolute, otherwise unchanged.
std::string Absolute(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  std::string cwd = os::CurrentDirectory();
  if (cwd.empty()) return name;
  return cwd + (cwd.back() == '/' ? "" : "/") + name;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  size_t i = 0;
  bool uris = false;
  if (i < args.size() && args[i] == "--uris") {
    uris = true;
    ++i;
  }
  if (i + 1 >= args.size() || args[i + 1] != "--") return Usage();
  const int entry = shell::ParseShellEntry(args[i]);
  if (entry < 0) {
    std::fprintf(stderr, "sonoshell-invoke: unknown entry \"%s\"\n", args[i].c_str());
    return 2;
  }
  std::vector<std::string> files;
  for (i += 2; i < args.size(); ++i) {
    std::string path = args[i];
    if (uris && !shell::PathFromFileUri(args[i], &path)) {
      std::fprintf(stderr, "sonoshell-invoke: %s: not a local file\n", args[i].c_str());
      continue;
    }
    files.push_back(Absolute(path));
  }

  const std::string dir = ProgramDirectory();
  if (dir.empty()) {
    std::fprintf(stderr, "sonoshell-invoke: can't find the program's folder\n");
    return 1;
  }
  const shell::CShellMenu menu = shell::CShellMenu::Query(files, shell::ReadTargetAvailability(),
                                                          FindStringsFileIn(dir, kStringsFileName));
  const shell::TInvokeReport report = shell::InvokeShellCommand(menu, entry, dir + kProgramName);
  switch (report.result) {
    case shell::TInvokeResult::kStarted:
      return 0;
    case shell::TInvokeResult::kInvalidEntry:
      std::fprintf(stderr, "sonoshell-invoke: the selection gets no such entry\n");
      return 1;
    case shell::TInvokeResult::kDisabled:
      std::fprintf(stderr, "sonoshell-invoke: that target is not available\n");
      return 1;
    case shell::TInvokeResult::kNothingToConvert:
      std::fprintf(stderr, "sonoshell-invoke: no file of the selection can be converted\n");
      return 1;
    case shell::TInvokeResult::kStartFailed:
      std::fprintf(stderr, "sonoshell-invoke: %d of %d runs of %s%s could not be started\n",
                   report.failed, report.failed + report.started, dir.c_str(), kProgramName);
      return 1;
  }
  return 1;
}
