// What the class store (HKEY_CLASSES_ROOT) says about the menu to a file
// manager's module: whether the converter's menu handler is registered, and
// where the converter is. The converter registers sonoshell-invoke as the
// menu's server; the converter and its strings file lie beside it.
#pragma once

#include <string>

namespace shell {

constexpr const char* kShellClassId = "{5B3C9E12-7A4D-4F61-9C2E-0D8A6B14F3A7}";
constexpr const char* kMenuHandlerKey = "*\\shellex\\ContextMenuHandlers\\SonoShellMenu";

struct TShellServer {
  std::string program;      // the converter to start
  std::string stringsFile;  // the strings file of the menu's texts
};

// Whether the menu handler's key is in the class store; without it the
// menu offers nothing.
bool ShellMenuRegistered();

// The converter and strings file beside the server named by the default
// value of CLSID\<class>\InProcServer32. When that value is missing or names
// no folder, the bare names "sonoduct" (looked up on PATH when started) and
// "sonoduct-strings.ini".
TShellServer ReadShellServer();

}  // namespace shell
