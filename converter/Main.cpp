// The converter program. The parts not built yet are reached through the
// pending stand-ins, which report what is missing.
#include <string>
#include <vector>

#include "converter/app/PendingServices.h"
#include "converter/app/SonoductApp.h"
#include "converter/prefs/Preferences.h"
#include "converter/ui/ConsolePrompts.h"
#include "platform/os/Terminal.h"

int main(int argc, char** argv) {
  CPendingServices pending;
  CPreferences preferences;
  TAppServices services = pending.All();
  CConsolePrompts prompts(&preferences, os::StdinIsTerminal());
  services.preferences = &preferences;
  services.prompts = &prompts;
  CSonoductApp app(services);
  return app.Run(std::vector<std::string>(argv + 1, argv + argc));
}
