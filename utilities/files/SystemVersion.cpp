#include "utilities/files/SystemVersion.h"

#include "platform/os/SystemInfo.h"
#include "utilities/strings/BoundedCopy.h"

TOurWinVersion GetWindowsSystemVersion(char* out) {
  if (out != nullptr) {
    std::string system = os::SystemDescription();
    CopyBounded(out, 260, system.empty() ? std::string() : system + "\n");
  }
  return OUR_WIN_UNKNOWN;
}
