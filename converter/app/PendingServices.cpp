#include "converter/app/PendingServices.h"

#include <strings.h>

#include <cstdio>

#include "platform/Log.h"
#include "utilities/strings/StringFile.h"

TAppServices CPendingServices::All() {
  TAppServices s;
  s.engine = this;
  s.preferences = this;
  s.shell = this;
  s.prompts = this;
  s.run = this;
  s.options = this;
  return s;
}

int CPendingServices::Unavailable(const std::string& feature) {
  if (told_.insert(feature).second)
    std::fprintf(stderr, "sonoduct: %s is not available in this build yet\n", feature.c_str());
  LogFmt("not available yet: %s", feature.c_str());
  return 0;
}

uint32_t CPendingServices::DetermineTargetConversion(const std::string& path) {
  const size_t n = path.size();
  const bool wav = n >= 4 && strcasecmp(path.c_str() + n - 4, ".wav") == 0;
  return wav ? kTargetNone : kTargetWave;
}

int CPendingServices::MoveLocalMachinePreferences() { return Unavailable("the preferences"); }
int CPendingServices::RemoveLocalMachinePreferences() { return Unavailable("the preferences"); }

int CPendingServices::RegisterShellExtension() {
  return Unavailable("the file-manager integration");
}
int CPendingServices::UnregisterShellExtension() {
  return Unavailable("the file-manager integration");
}
int CPendingServices::RemoveRightClickEntries() {
  return Unavailable("the file-manager integration");
}
int CPendingServices::UnregisterExtension(const std::string&) {
  return Unavailable("the file-manager integration");
}
int CPendingServices::RemoveDesktopLink() { return Unavailable("the file-manager integration"); }

void CPendingServices::ShowErrorMessage(const char* key) {
  std::fprintf(stderr, "sonoduct: %s\n", LoadKeyedString(key).c_str());
}

void CPendingServices::ShowInfoMessage(const char* key) {
  std::printf("%s\n", LoadKeyedString(key).c_str());
  std::fflush(stdout);
}

bool CPendingServices::AskConvertWaveToWave(const std::string& name) {
  LogFmt("%s: WAV to WAV not confirmed without the dialogs", name.c_str());
  return false;
}

int CPendingServices::ShowHowTo() { return Unavailable("the how-to dialog"); }
int CPendingServices::ShowErrorDetails() { return Unavailable("the error details dialog"); }
int CPendingServices::OpenFolder(const std::string&) { return Unavailable("opening folders"); }
int CPendingServices::ShowOptions() { return Unavailable("the Options sheet"); }

int CPendingServices::Convert(const std::vector<TQueuedFile>& queue, CInstanceChannel&, uint32_t&) {
  Unavailable("conversion");
  std::fprintf(stderr, "sonoduct: %zu file(s) were queued:\n", queue.size());
  for (const TQueuedFile& file : queue)
    std::fprintf(stderr, "  %u %s\n", file.targetType, file.path.c_str());
  return -1;
}
