#include "shell/UserIntegration.h"

#include <algorithm>

#include "platform/os/FileOps.h"
#include "platform/os/FileStatus.h"
#include "platform/os/SmallFile.h"
#include "platform/os/UserDirectories.h"
#include "platform/paths/Paths.h"
#include "shell/ActionFiles.h"
#include "shell/ActionText.h"
#include "shell/ThunarActions.h"
#include "utilities/files/Directories.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {

using namespace shell;

constexpr const char* kInvokeName = "sonoshell-invoke";
constexpr const char* kStringsFileName = "sonoduct-strings.ini";
// Larger action files than this are not ours to parse.
constexpr int64_t kMaxThunarFile = 16 * 1024 * 1024;

// Everything an installation for one program consists of.
struct TPlan {
  std::vector<TGeneratedFile> files;
  std::string thunarPath;
  std::vector<std::string> thunarActions;
  TIntegrationHomes homes;
};

TIntegrationHomes Homes() { return {os::DataHome(), os::ConfigHome()}; }

bool MakePlan(const std::string& programPath, TPlan* plan) {
  if (programPath.empty() || programPath[0] != '/' || !CanWriteIntoActionFiles(programPath))
    return false;
  plan->homes = Homes();
  if (plan->homes.dataHome.empty() || plan->homes.configHome.empty()) return false;
  const std::string dir = ExtractDirectory(programPath);
  const std::string invoke = dir + kInvokeName;
  std::string strings = FindStringsFileIn(dir, kStringsFileName);
  const TMenuActions menu = MenuActionsFor(ReadTargetAvailability(), strings);
  plan->files = GenerateActionFiles(menu, plan->homes, invoke, programPath, strings);
  plan->thunarPath = ThunarActionsPath(plan->homes);
  plan->thunarActions = ThunarActionElements(menu, invoke);
  return true;
}

enum class TRead { kRead, kMissing, kFailed };

TRead ReadText(const std::string& path, std::string* text) {
  text->clear();
  switch (os::ReadSmallFile(path, kMaxThunarFile, text)) {
    case os::TSmallFileResult::kRead:
      return TRead::kRead;
    case os::TSmallFileResult::kMissing:
      return TRead::kMissing;
    default:
      return TRead::kFailed;
  }
}

bool WriteFile(const std::string& path, const std::string& content, unsigned mode) {
  std::string dir = ExtractDirectory(path);
  if (!os::IsDirectory(dir) && !CreateMultiLevelDir(dir.c_str())) return false;
  return os::ReplaceFileContents(path, content, mode);
}

void Note(std::vector<std::string>* list, const std::string& path) {
  if (list) list->push_back(path);
}

// Thunar's file with ours merged in (or taken out when ours is empty).
bool EditThunarFile(const std::string& path, const std::vector<std::string>& ours, bool* changed) {
  *changed = false;
  std::string text;
  TRead r = ReadText(path, &text);
  if (r == TRead::kFailed) return false;
  if (r == TRead::kMissing && ours.empty()) return true;
  std::string edited;
  bool ok = ours.empty() ? RemoveThunarActions(text, kThunarIdPrefix, &edited)
                         : MergeThunarActions(text, kThunarIdPrefix, ours, &edited);
  if (!ok) return false;  // not a file we can edit without harm
  if (edited == text) return true;
  *changed = true;
  return WriteFile(path, edited, 0644);
}

}  // namespace

bool InstallUserIntegration(const std::string& programPath, std::vector<std::string>* written) {
  TPlan plan;
  if (!MakePlan(programPath, &plan)) return false;
  bool ok = true;
  for (const TGeneratedFile& f : plan.files) {
    if (WriteFile(f.path, f.content, f.mode))
      Note(written, f.path);
    else
      ok = false;
  }
  // Files of an earlier menu with more entries.
  for (const std::string& path : AllActionFilePaths(plan.homes)) {
    bool planned = std::any_of(plan.files.begin(), plan.files.end(),
                               [&](const TGeneratedFile& f) { return f.path == path; });
    if (!planned && !os::RemoveFile(path)) ok = false;
  }
  bool changed = false;
  if (EditThunarFile(plan.thunarPath, plan.thunarActions, &changed)) {
    Note(written, plan.thunarPath);
  } else {
    ok = false;
  }
  return ok;
}

bool RemoveUserIntegration(std::vector<std::string>* removed) {
  const TIntegrationHomes homes = Homes();
  if (homes.dataHome.empty() || homes.configHome.empty()) return false;
  bool ok = true;
  for (const std::string& path : AllActionFilePaths(homes)) {
    bool existed = os::PathExists(path);
    if (!os::RemoveFile(path))
      ok = false;
    else if (existed)
      Note(removed, path);
  }
  bool changed = false;
  const std::string thunar = ThunarActionsPath(homes);
  if (!EditThunarFile(thunar, {}, &changed))
    ok = false;
  else if (changed)
    Note(removed, thunar);
  return ok;
}

bool UserIntegrationInstalled(const std::string& programPath) {
  TPlan plan;
  if (!MakePlan(programPath, &plan)) return false;
  for (const TGeneratedFile& f : plan.files) {
    std::string text;
    if (ReadText(f.path, &text) != TRead::kRead || text != f.content) return false;
  }
  std::string text, merged;
  if (ReadText(plan.thunarPath, &text) != TRead::kRead) return false;
  return MergeThunarActions(text, kThunarIdPrefix, plan.thunarActions, &merged) && merged == text &&
         CountThunarActions(text, kThunarIdPrefix) == static_cast<int>(plan.thunarActions.size());
}
