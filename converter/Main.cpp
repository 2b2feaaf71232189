// The converter program on a console: the conversion runs with a status line
// and terminal questions. The parts not built yet (shell integration, the
// Options sheet) are reached through stand-ins that report what is missing.
//
// Exit status: 0 when every queued file converted, 1 when any failed (or an
// action could not be done), 2 when the conversion could not start.
#include <string>
#include <vector>

#include "converter/app/EngineServices.h"
#include "converter/app/PendingServices.h"
#include "converter/app/SonoductApp.h"
#include "converter/prefs/Preferences.h"
#include "converter/ui/ConsolePrompts.h"
#include "converter/ui/ConsoleWindow.h"
#include "converter/ui/Prompts.h"
#include "platform/os/Terminal.h"

int main(int argc, char** argv) {
  CPendingServices pending;
  CPreferences preferences;
  CEngineServices engine;
  CConsolePrompts console(os::StdinIsTerminal());
  CPrompts prompts(console, &preferences);
  CConsoleWindow window(preferences, console);
  TAppServices services = pending.All();
  services.engine = &engine;
  services.preferences = &preferences;
  services.prompts = &prompts;
  services.run = &window;
  CSonoductApp app(services);
  int status = app.Run(std::vector<std::string>(argv + 1, argv + argc));
  if (preferences.Loaded()) preferences.SaveChanged(HKEY_CURRENT_USER);
  if (window.StartFailed()) return 2;
  if (window.FailedCount() > 0 && status == 0) status = 1;
  return status;
}
