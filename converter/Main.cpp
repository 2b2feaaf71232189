// The converter program. With a display it shows the progress window and
// dialogs; without one (or with --console) it talks through the terminal: a
// status line and the questions with numbered answers.
//
// Exit status: 0 when every queued file converted, 1 when any failed (or an
// action could not be done), 2 when the conversion could not start.
#include <QApplication>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

#include "converter/app/EngineServices.h"
#include "converter/app/LongOptions.h"
#include "converter/app/PendingServices.h"
#include "converter/app/SonoductApp.h"
#include "converter/gui/GuiRunWindow.h"
#include "converter/gui/OptionsSheet.h"
#include "converter/gui/ProgramIcon.h"
#include "converter/gui/QtPrompter.h"
#include "converter/prefs/Preferences.h"
#include "converter/shell/ShellRegistration.h"
#include "converter/ui/ConsolePrompts.h"
#include "converter/ui/ConsoleWindow.h"
#include "converter/ui/Prompts.h"
#include "platform/os/Display.h"
#include "platform/os/Terminal.h"
#include "platform/paths/ProgramDirectory.h"
#include "shell/UserIntegration.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {

// Without a display there is no Options sheet: the user is told where
// settings are changed.
class SayWhereSettingsAre : public IOptionsSheet {
 public:
  SayWhereSettingsAre(IOptionsSheet& sheet, IPrompts& prompts) : sheet_(sheet), prompts_(prompts) {}
  int ShowOptions() override {
    int shown = sheet_.ShowOptions();
    if (!shown) prompts_.ShowInfoMessage("IDS_OPTIONS_UNAVAILABLE");
    return shown;
  }

 private:
  IOptionsSheet& sheet_;
  IPrompts& prompts_;
};

// Runs the program with the given prompter and run window; Window is
// CConsoleWindow or CGuiRunWindow.
template <typename Window>
int RunWith(IPrompter& prompter, CPreferences& preferences, CEngineServices& engine, Window& window,
            IOptionsSheet* sheet, const std::vector<std::string>& args) {
  CPendingServices pending;
  CPrompts prompts(prompter, &preferences);
  TAppServices services = pending.All();
  if (sheet) services.options = sheet;
  // The file managers' menu: our keys in the class store and the per-user
  // files, served by sonoshell-invoke beside the program.
  CShellRegistration shell(
      preferences, ProgramPath(), ProgramDirectory() + "sonoshell-invoke",
      {InstallUserIntegration, RemoveUserIntegration, UserIntegrationInstalled});
  shell.SetReport([](const std::string& line) { std::printf("%s\n", line.c_str()); });
  services.shell = &shell;
  services.engine = &engine;
  services.preferences = &preferences;
  services.prompts = &prompts;
  services.run = &window;
  SayWhereSettingsAre options(*services.options, prompts);
  services.options = &options;
  CSonoductApp app(services);
  // The progress window shows the sheet itself; the how-to dialog only when
  // no other instance shows it.
  auto showOptions = [&] { options.ShowOptions(); };
  prompts.SetShowOptions([&] { app.Channel().ShowOptionsOnce(showOptions); });
  if constexpr (std::is_same_v<Window, CGuiRunWindow>) window.SetShowOptions(showOptions);
  int status = app.Run(args);
  if (preferences.Loaded()) preferences.SaveChanged(HKEY_CURRENT_USER);
  if (window.StartFailed()) return 2;
  if (window.FailedCount() > 0 && status == 0) status = 1;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  TLongOptions options = TakeLongOptions(args);
  // These answer at once, touching neither the settings nor the hand-off.
  if (options.help || options.version || !options.unknown.empty() || !options.badJobs.empty()) {
    SetStringFile(FindStringsFile("sonoduct-strings.ini").c_str());
    if (!options.unknown.empty()) {
      std::fprintf(stderr, "sonoduct: %s\n",
                   LoadFormatted("CL_UnknownOption", options.unknown).c_str());
      return 2;
    }
    if (!options.badJobs.empty()) {
      std::fprintf(stderr, "sonoduct: %s\n",
                   LoadFormatted("CL_BadJobCount", options.badJobs).c_str());
      return 2;
    }
    std::fputs(options.help ? UsageText().c_str() : (SoftwareName() + "\n").c_str(), stdout);
    return 0;
  }
  bool useConsole = options.console;
  CPreferences preferences;
  preferences.conversionsOverride = options.jobs;
  CEngineServices engine;
  if (!useConsole && os::ReachableDisplay() != os::TDisplayKind::None) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Sonoduct");
    QApplication::setDesktopFileName("sonoduct");
    QApplication::setWindowIcon(ProgramIcon());
    CQtPrompter prompter;
    CGuiRunWindow window(preferences, prompter, &engine);
    CQtOptionsSheet sheet(preferences, prompter);
    return RunWith(prompter, preferences, engine, window, &sheet, args);
  }
  CConsolePrompts prompter(os::StdinIsTerminal());
  CConsoleWindow window(preferences, prompter);
  return RunWith(prompter, preferences, engine, window, nullptr, args);
}
