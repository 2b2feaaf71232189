#include "platform/wma/SupportsWma.h"

#include "platform/paths/ProgramDirectory.h"
#include "platform/wma/WmaGlue.h"

int AC_SupportsWMA() {
  std::string path = CompanionLibrary(kWmaLibraryName);
  return !path.empty() && CWmaGlue::Probe(path) ? 1 : 0;
}
