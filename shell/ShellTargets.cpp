#include "shell/ShellTargets.h"

#include <memory>

#include "platform/paths/Paths.h"
#include "platform/registry/RegKey.h"

namespace shell {

const TShellTarget kShellTargets[kTargetCount] = {
    {"IDM_WAV", "IDM_PROMPT_WAV", 'C', true},
    {"IDM_MP3", "IDM_PROMPT_MP3", '3', false},
    {"IDM_WMA", "IDM_PROMPT_WMA", 'M', false},
};

namespace {

struct TAcceptedExtension {
  const char* extension;
  TShellFileKind kind;
};

constexpr TAcceptedExtension kAccepted[] = {
    {"mp3", TShellFileKind::kSound},    {"mp2", TShellFileKind::kSound},
    {"mp1", TShellFileKind::kSound},    {"m3u", TShellFileKind::kPlaylist},
    {"pls", TShellFileKind::kPlaylist}, {"pl", TShellFileKind::kPlaylist},
    {"wav", TShellFileKind::kSound},    {"wma", TShellFileKind::kSound},
};

}  // namespace

TTargetAvailability ReadTargetAvailability() {
  TTargetAvailability result;
  CRegKey user(HKEY_CURRENT_USER);
  std::unique_ptr<CRegKey> key(user.GetSubKey(kConverterKey));
  if (!key || !key->SubKeyExists(kNumAvailableValue)) return result;
  for (int i = 0; i < kTargetCount; ++i) {
    std::string name = kAvailableValuePrefix + std::to_string(i);
    uint32_t value = 0;
    if (key->SubKeyExists(name.c_str()) && key->GetKeyNum(name.c_str(), &value))
      result.available[i] = value != 0;
  }
  return result;
}

TShellFileKind ShellFileKind(const std::string& path) {
  for (const TAcceptedExtension& a : kAccepted)
    if (HasFileExtension(path, a.extension)) return a.kind;
  return TShellFileKind::kOther;
}

bool IsWmaFile(const std::string& path) { return HasFileExtension(path, "wma") != 0; }
bool IsWavFile(const std::string& path) { return HasFileExtension(path, "wav") != 0; }

}  // namespace shell
