#include "converter/app/SonoductApp.h"

#include <cerrno>
#include <cstdio>

#include "converter/app/CommandLine.h"
#include "platform/LastError.h"
#include "platform/Log.h"
#include "platform/os/FileStatus.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {

constexpr const char* kStringsFileName = "sonoduct-strings.ini";
// Posts tried before a name counts as not handed over, each waiting up to
// kInstanceLockWaitMs for the lock.
constexpr int kPostAttempts = 3;
// Switch letters by target type.
constexpr char kTargetLetters[] = {'C', '3', 'M'};

uint32_t TargetOfLetter(char letter) {
  for (uint32_t type = 0; type < 3; ++type)
    if (kTargetLetters[type] == letter) return type;
  return kTargetNone;
}

bool DoesFileExist(const std::string& path) {
  return !path.empty() && os::PathExists(path) && !os::IsDirectory(path);
}

// Only names with an extension are taken for a conversion; texts without a
// '.' in their file name are passed over.
bool HasDotInFileName(const std::string& path) {
  size_t slash = path.rfind('/');
  return path.find('.', slash == std::string::npos ? 0 : slash + 1) != std::string::npos;
}

}  // namespace

CSonoductApp::CSonoductApp(const TAppServices& services) : s_(services) {}

int CSonoductApp::Run(const std::vector<std::string>& args) {
  status_ = 0;
  Check(s_.engine->SoundEngineStartup());

  channel_.Open();
  std::string strings = FindStringsFile(kStringsFileName);
  if (!strings.empty()) SetStringFile(strings.c_str());

  Check(s_.preferences->Load());

  if (!channel_.IsReady()) {
    s_.prompts->ShowErrorMessage("IDS_SHARED_FAILED");
    Fail();
  } else {
    CCommandLine line;
    char letter = 0;
    std::vector<std::string> names;
    if (line.Parse(args, os::CurrentDirectory())) {
      if (line.Switch() != 0) {
        letter = line.Switch();
        names = line.Names();
      } else {
        std::string first;
        letter = ParseNameList(line.Names(), first);
        if (letter != 0) names.push_back(first);
      }
    }
    Dispatch(letter, names);
  }

  s_.engine->FreeConversionLibraries();
  channel_.Close();
  return status_;
}

bool CSonoductApp::ChooseTarget(const std::string& name, uint32_t& type) {
  type = s_.engine->DetermineTargetConversion(name);
  if (type == kTargetNone) {
    if (!s_.prompts->AskConvertWaveToWave(name)) return false;
    type = kTargetWave;
  }
  return type <= kTargetWma;
}

void CSonoductApp::PostName(const std::string& name, uint32_t type) {
  if (name.size() >= kHandOffPathBytes) {
    std::fprintf(stderr,
                 "sonoduct: %s: the name is too long to hand over to the running converter "
                 "(at most %zu bytes)\n",
                 name.c_str(), kHandOffPathBytes - 1);
    Fail();
    return;
  }
  // Another instance may hold the lock a while; a full block stays full.
  for (int attempt = 1; attempt <= kPostAttempts; ++attempt) {
    if (channel_.Post(name, type)) return;
    if (GetLastError() != ETIMEDOUT) break;
  }
  LogFmt("%s: not handed over", name.c_str());
  std::fprintf(stderr, "sonoduct: %s\n", LoadFormatted("IDS_HANDOFF_FAILED", name).c_str());
  Fail();
}

char CSonoductApp::ParseNameList(const std::vector<std::string>& names, std::string& firstName) {
  if (names.empty() || !DoesFileExist(names[0]))
    return 0;  // further names are not looked at either
  char letter = 0;
  uint32_t type = 0;
  if (ChooseTarget(names[0], type)) {
    letter = kTargetLetters[type];
    firstName = names[0];
  }
  for (size_t i = 1; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (!DoesFileExist(name)) continue;
    if (ChooseTarget(name, type)) PostName(name, type);
  }
  return letter;
}

void CSonoductApp::Dispatch(char letter, const std::vector<std::string>& names) {
  IShellIntegration& shell = *s_.shell;
  switch (letter) {
    case 'C':
    case '3':
    case 'M':
      s_.engine->LoadLibraryWMADecoder();
      Convert(TargetOfLetter(letter), names);
      break;
    case 'R':
      if (shell.IsShellExtensionRegistered()) {
        Check(shell.RegisterShellExtension());
        s_.prompts->ShowInfoMessage("IDS_CORRECTLY_CONFIGURED_MP3");
      } else {
        Check(shell.RemoveRightClickEntries());
        if (shell.RegisterShellExtension()) {
          s_.prompts->ShowInfoMessage("IDS_REASSOCIATING_MP3");
        } else {
          s_.prompts->ShowInfoMessage("IDS_FAILED_TO_ASSOC_MP3");
          Fail();
        }
      }
      break;
    case 'I':
      Check(shell.UnregisterExtension(".mp3"));
      Check(s_.preferences->MoveLocalMachinePreferences());
      NoArgument();
      break;
    case 'Q':
      Check(shell.RemoveRightClickEntries());
      Check(shell.RemoveDesktopLink());
      Check(s_.preferences->RemoveLocalMachinePreferences());
      Check(shell.UnregisterShellExtension());
      break;
    case 'Z':
      Check(shell.RemoveRightClickEntries());
      Check(shell.UnregisterShellExtension());
      break;
    case 'U':
    case 'S':
      Check(shell.RemoveRightClickEntries());
      Check(shell.RegisterShellExtension());
      break;
    case 'O': {
      if (!shell.IsShellExtensionRegistered()) Check(shell.RemoveRightClickEntries());
      Check(shell.RegisterShellExtension());
      int shown = 0;
      // Not shown because another instance shows it is no failure.
      channel_.ShowOptionsOnce([&] { shown = s_.options->ShowOptions(); });
      if (!shown && channel_.GetOptionsOpen() == 0) Fail();
      break;
    }
    default:
      NoArgument();
      break;
  }
}

void CSonoductApp::NoArgument() {
  IShellIntegration& shell = *s_.shell;
  if (!shell.IsShellExtensionRegistered()) Check(shell.RemoveRightClickEntries());
  Check(shell.RegisterShellExtension());
  Check(s_.prompts->ShowHowTo());
}

void CSonoductApp::Convert(uint32_t targetType, const std::vector<std::string>& names) {
  std::vector<TQueuedFile> queue;
  // Decided once: should a post find the first instance gone, this process
  // takes over, and its remaining names keep their order behind that post.
  const bool first = channel_.IsFirstInstance() != 0;
  for (const std::string& name : names) {
    if (name.empty() || !HasDotInFileName(name)) {
      LogFmt("name scan: %s passed over", name.c_str());
      continue;
    }
    // Names arrive whole and absolute; there is no long form to look up.
    if (first)
      queue.push_back({name, targetType});
    else
      PostName(name, targetType);
  }
  if (channel_.IsFirstInstance())
    RunFirstInstance(std::move(queue));  // also when a post found the first instance gone
  else
    EndOfRun(false, 0);
}

void CSonoductApp::RunFirstInstance(std::vector<TQueuedFile> queue) {
  uint32_t next = channel_.FirstIndex();
  int converted = 0;
  for (;;) {
    // Entries already waiting join the queue; the run fetches later ones itself.
    // An entry the lock keeps from us stays for the run's own polls.
    for (uint32_t count = channel_.Count(); next < count; ++next) {
      HandOffEntry entry{};
      if (channel_.Get(next, entry))
        queue.push_back({entry.path, entry.targetType});
      else if (GetLastError() != kErrBadHandOffEntry)
        break;
    }
    int result = s_.run->Convert(queue, channel_, next);
    if (result < 0) {
      Fail();
      break;
    }
    converted += result;
    queue.clear();
    if (s_.run->UserCancelled()) break;
    // Posts that arrived after the run's last look start another run, so that
    // none is lost when this instance ends.
    if (channel_.RetireIfDrained(next) || channel_.Count() <= next) break;
  }
  EndOfRun(true, converted);
}

void CSonoductApp::EndOfRun(bool firstInstance, int converted) {
  if (s_.preferences->ShowErrorsAtEnd() && s_.prompts->ErrorCount() > 0)
    Check(s_.prompts->ShowErrorDetails());
  if (firstInstance && s_.preferences->OpenDecodeOnExit() && converted > 0) {
    if (s_.preferences->FirstTimeInVersion1_1()) {
      s_.preferences->ClearFirstTimeInVersion1_1();
      if (!s_.prompts->AskOpenDecodeDirectory()) return;
    }
    Check(s_.prompts->OpenFolder(s_.preferences->DefaultDir()));
  }
}
