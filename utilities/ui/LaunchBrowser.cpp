#include "utilities/ui/LaunchBrowser.h"

#include <string>
#include <vector>

#include "platform/os/DesktopEntry.h"
#include "platform/os/Spawn.h"

bool LaunchBrowser(const char* target) {
  if (target == nullptr || *target == '\0') return false;
  if (os::OpenInDesktop(target)) return true;
  std::vector<std::string> handler = os::DefaultHtmlHandler(target);
  if (!handler.empty() && os::Launch(handler)) return true;
  return os::Launch({"x-www-browser", os::TargetArgument(target)});
}
