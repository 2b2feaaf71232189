#include "platform/wma/SupportsWma.h"

#include "platform/paths/ProgramDirectory.h"
#include "platform/wma/WmaGlue.h"

int AC_SupportsWMA() {
  std::string dir = ProgramDirectory();
  return !dir.empty() && CWmaGlue::Probe(dir + kWmaLibraryName) ? 1 : 0;
}
