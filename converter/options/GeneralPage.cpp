#include "converter/options/GeneralPage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "converter/prefs/Preferences.h"
#include "converter/ui/Prompts.h"
#include "engine/base/EngineGlobals.h"
#include "engine/base/TempPaths.h"
#include "platform/os/CacheFiles.h"
#include "utilities/files/Directories.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace {

constexpr int kLevelTop = 100, kLevelBottom = 80;
// Longer folder names than the system takes can't be made or used.
constexpr size_t kMaxFolder = 4095;

std::string Percent(int v) {
  char text[16];
  std::snprintf(text, sizeof text, "%3d%%", v);
  return text;
}

// The list position nearest to a stored value that the list may not hold.
int NearestIndex(int value, int top, int bottom) {
  if (value > top) value = top;
  if (value < bottom) value = bottom;
  return top - value;
}

int NearestCpuIndex(uint32_t value) {
  const std::vector<int>& values = CGeneralPage::CpuValues();
  int best = 0;
  for (size_t i = 1; i < values.size(); ++i)
    if (std::llabs(static_cast<long long>(values[i]) - value) <
        std::llabs(static_cast<long long>(values[best]) - value))
      best = static_cast<int>(i);
  return best;
}

std::string WithSeparator(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// "~" and "~/..." stand for the home folder, as in a shell.
std::string ExpandHome(const std::string& dir) {
  const char* home = std::getenv("HOME");
  if (!home || dir.empty() || dir[0] != '~' || (dir.size() > 1 && dir[1] != '/')) return dir;
  return std::string(home) + dir.substr(1);
}

void Say(IPrompter& prompter, const char* key) {
  TPrompt p = MessagePrompt(kPromptError, LoadKeyedString(key));
  prompter.Ask(p);
}

bool AskYesNo(IPrompter& prompter, const std::string& title, const std::string& text) {
  TPrompt p;
  p.title = title;
  p.text = text;
  p.choices = {{kButtonYes, LoadKeyedString("Yes").substr(0, 64)},
               {kButtonSkip, LoadKeyedString("No").substr(0, 64)}};
  p.defaultButton = kButtonYes;
  p.safeAnswer = p.escapeButton = kButtonSkip;
  p.icon = TPromptIcon::Warning;
  return prompter.Ask(p) == kButtonYes;
}

}  // namespace

const std::vector<int>& CGeneralPage::CpuValues() {
  static const std::vector<int> values = {0, 25, 50, 100, 250, 1000, 2000, 3000};
  return values;
}

std::vector<std::string> CGeneralPage::LevelTexts() {
  std::vector<std::string> texts;
  for (int v = kLevelTop; v >= kLevelBottom; --v) texts.push_back(Percent(v));
  return texts;
}

std::vector<std::string> CGeneralPage::ThresholdTexts() {
  std::vector<std::string> texts;
  for (int v = 100; v >= 0; --v) texts.push_back(Percent(v));
  return texts;
}

std::vector<std::string> CGeneralPage::CpuTexts() {
  std::vector<std::string> texts;
  for (const char* key : {"IDS_CPU_MAX", "IDS_CPU_25", "IDS_CPU_50", "IDS_CPU_100", "IDS_CPU_250",
                          "IDS_CPU_1000", "IDS_CPU_2000", "IDS_CPU_3000"})
    texts.push_back(LoadKeyedString(key));
  return texts;
}

std::vector<std::string> CGeneralPage::ParallelTexts() {
  std::vector<std::string> texts = {LoadKeyedString("IDS_PARALLEL_CORES")};
  texts.push_back(LoadKeyedString("IDS_PARALLEL_ONE"));
  for (int n = 2; n <= CPreferences::kMaxConversions; ++n)
    texts.push_back(LoadFormatted("IDS_PARALLEL_N", n));
  return texts;
}

std::string CGeneralPage::Notice() { return LoadKeyedString("OW_Notices").substr(0, 256); }

CGeneralPage::CGeneralPage(CPreferences& preferences, IPrompter& prompter)
    : prefs_(preferences), prompter_(prompter) {
  TGeneralState& s = state;
  s.defaultDir = prefs_.defaultDir;
  s.tempDir = prefs_.tempDirectory;
  s.playSound = prefs_.playSound != 0;
  s.promptForOverwrites = prefs_.promptForOverWrites != 0;
  s.convertPlaylistsWithoutPrompting = prefs_.convertPlaylistFilesWithoutPrompting != 0;
  s.showErrorsAtEnd = prefs_.showErrorsAtEnd != 0;
  s.normalize = prefs_.normalizeVolume != 0;
  s.trim = prefs_.trimSoundsAutomatically != 0;
  s.warnIncomplete = prefs_.warnAboutIncompleteSongs != 0;
  s.openDecodeOnExit = prefs_.openDecodeOnExit != 0;
  s.gaplessMp3 = prefs_.gaplessMP3 != 0;
  s.levelIndex = NearestIndex(static_cast<int>(prefs_.normalizeLevel), kLevelTop, kLevelBottom);
  s.thresholdIndex = NearestIndex(static_cast<int>(prefs_.partialSongThreshold), 100, 0);
  s.cpuIndex = NearestCpuIndex(prefs_.cpuSleepTime);
  // The list's index is the stored count; a larger count shows as the largest.
  s.parallelIndex = static_cast<int>(
      std::min<uint32_t>(prefs_.parallelConversions, CPreferences::kMaxConversions));
  loaded_ = s;
}

void CGeneralPage::SetNormalize(bool on) {
  state.normalize = on;
  if (on && prefs_.normalizeWarningDisplayed == 0) {
    TPrompt p = MessagePrompt(kPromptInfo, LoadKeyedString("IDS_NORMALIZE_WARNING"));
    prompter_.Ask(p);
    prefs_.normalizeWarningDisplayed = 1;
  }
}

void CGeneralPage::DeleteTemporaryFiles() {
  // Only the folder in use is walked, never one typed but not committed.
  const std::string& dir = prefs_.tempDirectory;
  if (dir.empty()) return;
  std::string text = FormatKeyed("DTF_DeleteTempFilesConfirm",
                                 LoadKeyedString("DTF_DeleteTempFilesConfirm"), {dir})
                         .substr(0, 512);
  if (!AskYesNo(prompter_, LoadKeyedString("DTF_DeleteTempFiles").substr(0, 256), text)) return;
  os::RemoveCacheFiles(dir, {"ipk", "isk"});
}

// One folder field: checked, made when the user agrees, and committed.
bool CGeneralPage::CommitFolder(bool temp) {
  std::string& text = temp ? state.tempDir : state.defaultDir;
  std::string& stored = temp ? prefs_.tempDirectory : prefs_.defaultDir;
  if (text.size() > kMaxFolder) {
    Say(prompter_, temp ? "IDS_TEMP_DIR_TOO_LONG" : "IDS_DIR_TOO_LONG");
    return false;
  }
  if (text == stored || WithSeparator(ExpandHome(text)) == stored) return true;
  std::string dir = WithSeparator(ExpandHome(text));
  // The output folder may be relative ("./": beside each source); a
  // temporary folder must be absolute.
  bool relativeOk = !temp && dir[0] == '.';
  if (dir.empty() || (dir[0] != '/' && !relativeOk)) {
    Say(prompter_, temp ? "IDS_INVALID_TEMP_DIR" : "IDS_INVALID_DIR");
    return false;
  }
  if (!IsValidDirectory(dir)) {
    std::string ask = FormatKeyed("DDNE_DIRECTORY_DOES_NOT_EXIST",
                                  LoadKeyedString("DDNE_DIRECTORY_DOES_NOT_EXIST"), {dir})
                          .substr(0, 512);
    if (!AskYesNo(prompter_, LoadKeyedString("DDNE_CREATE_DIRECTORY").substr(0, 128), ask)) {
      text = stored;  // the old folder again, and the sheet stays open
      return false;
    }
    if (dir[0] != '/' || !CreateMultiLevelDir(dir.c_str())) {
      Say(prompter_, "IDS_FAILED_TO_CREATE_DIR");
      return false;
    }
  }
  text = stored = dir;
  if (temp)
    SetTempSndPath(dir.c_str());
  else
    prefs_.changedNormalizeTrim = true;
  return true;
}

bool CGeneralPage::Commit() {
  if (!CommitFolder(false) || !CommitFolder(true)) return false;
  const TGeneralState& s = state;
  const TGeneralState& was = loaded_;
  auto box = [](bool now, bool before, uint32_t& value) {
    if (now != before) value = now ? 1 : 0;
  };
  box(s.playSound, was.playSound, prefs_.playSound);
  box(s.promptForOverwrites, was.promptForOverwrites, prefs_.promptForOverWrites);
  box(s.convertPlaylistsWithoutPrompting, was.convertPlaylistsWithoutPrompting,
      prefs_.convertPlaylistFilesWithoutPrompting);
  box(s.showErrorsAtEnd, was.showErrorsAtEnd, prefs_.showErrorsAtEnd);
  box(s.openDecodeOnExit, was.openDecodeOnExit, prefs_.openDecodeOnExit);
  box(s.warnIncomplete, was.warnIncomplete, prefs_.warnAboutIncompleteSongs);
  if (s.gaplessMp3 != was.gaplessMp3) {
    box(s.gaplessMp3, was.gaplessMp3, prefs_.gaplessMP3);
    SetGaplessMP3Decoding(s.gaplessMp3 ? 1 : 0);  // the next file decoded follows it
  }
  if (s.normalize != was.normalize || s.trim != was.trim || s.levelIndex != was.levelIndex)
    prefs_.changedNormalizeTrim = true;
  box(s.normalize, was.normalize, prefs_.normalizeVolume);
  box(s.trim, was.trim, prefs_.trimSoundsAutomatically);
  // A list with nothing selected commits nothing.
  if (s.levelIndex != was.levelIndex && s.levelIndex >= 0 &&
      s.levelIndex <= kLevelTop - kLevelBottom)
    prefs_.normalizeLevel = kLevelTop - s.levelIndex;
  if (s.thresholdIndex != was.thresholdIndex && s.thresholdIndex >= 0 && s.thresholdIndex <= 100)
    prefs_.partialSongThreshold = 100 - s.thresholdIndex;
  if (s.cpuIndex != was.cpuIndex && s.cpuIndex >= 0 &&
      s.cpuIndex < static_cast<int>(CpuValues().size()))
    prefs_.cpuSleepTime = CpuValues()[s.cpuIndex];
  if (s.parallelIndex != was.parallelIndex && s.parallelIndex >= 0 &&
      s.parallelIndex <= CPreferences::kMaxConversions)
    prefs_.parallelConversions = static_cast<uint32_t>(s.parallelIndex);
  loaded_ = s;
  return true;
}
