#include "shell/ShellMenu.h"

#include <algorithm>

#include "platform/paths/Paths.h"
#include "utilities/strings/KeyedFormat.h"
#include "utilities/strings/StringFile.h"

namespace shell {

namespace {

// The default target: for a WAV file MP3 when MP3 can be written or WMA
// can't either (a WAV target would convert it to itself), else WMA; for
// every other file WAV.
int DefaultTargetFor(const std::string& first, const TTargetAvailability& a) {
  if (!IsWavFile(first)) return kTargetWav;
  return a.available[kTargetMp3] || !a.available[kTargetWma] ? kTargetMp3 : kTargetWma;
}

bool OnlyWmaFiles(const std::vector<std::string>& files) {
  return std::all_of(files.begin(), files.end(), [](const std::string& f) { return IsWmaFile(f); });
}

std::string Text(const char* key, const std::string& stringsFile) {
  return LoadKeyedString(key, stringsFile.c_str());
}

}  // namespace

CShellMenu CShellMenu::Query(const std::vector<std::string>& files,
                             const TTargetAvailability& availability,
                             const std::string& stringsFile) {
  CShellMenu menu;
  if (files.empty()) return menu;
  const std::string& first = files.front();
  TShellFileKind kind = ShellFileKind(first);
  if (kind == TShellFileKind::kOther) return menu;
  if (IsWmaFile(first) && !availability.available[kTargetWma] && OnlyWmaFiles(files)) return menu;
  menu.files_ = files;
  menu.availability_ = availability;
  menu.defaultTarget_ = DefaultTargetFor(first, availability);
  menu.Build(files.size() == 1 && kind == TShellFileKind::kSound, stringsFile);
  return menu;
}

void CShellMenu::Build(bool oneSoundFile, const std::string& stringsFile) {
  const TShellTarget& def = kShellTargets[defaultTarget_];
  const char* formatKey = oneSoundFile ? "IDS_CONVERT_TO_FORMAT" : "IDS_CONVERT_FILES_TO_FORMAT";
  const std::string targetLabel = Text(def.labelKey, stringsFile);
  filesToFormat_ = Text("IDS_CONVERT_FILES_TO_FORMAT", stringsFile);

  TShellMenuItem convert;
  convert.command = kConvertDefault;
  convert.label = FormatKeyed(formatKey, Text(formatKey, stringsFile), {targetLabel});
  convert.help = Text(def.helpKey, stringsFile);
  convert.letter = def.letter;
  convert.enabled = availability_.available[defaultTarget_];
  items_.push_back(convert);

  TShellMenuItem submenu;
  submenu.kind = TShellItemKind::kSubmenu;
  submenu.command = kConvertSubmenu;
  if (oneSoundFile) {
    submenu.label = FormatKeyed("IDS_CONVERT_TO_MENU", Text("IDS_CONVERT_TO_MENU", stringsFile),
                                {ExtractFileName(files_.front())});
  } else {
    submenu.label = Text("IDS_CONVERT_FILES_TO_MENU", stringsFile);
  }
  submenu.help = Text("IDM_PROMPT_CONVERT", stringsFile);
  submenu.letter = def.letter;
  submenu.enabled = true;
  items_.push_back(submenu);

  for (int t = 0; t < kTargetCount; ++t) {
    TShellMenuItem target;
    target.command = kConvertWav + t;
    target.depth = 1;
    target.label = Text(kShellTargets[t].labelKey, stringsFile);
    target.help = Text(kShellTargets[t].helpKey, stringsFile);
    target.letter = kShellTargets[t].letter;
    target.enabled = availability_.available[t];
    items_.push_back(target);
  }

  TShellMenuItem separator;
  separator.kind = TShellItemKind::kSeparator;
  separator.depth = 1;
  items_.push_back(separator);

  TShellMenuItem options;
  options.command = kOptions;
  options.depth = 1;
  options.label = Text("IDM_OPTIONS", stringsFile);
  options.help = Text("IDM_SET_OPTIONS", stringsFile);
  options.letter = 'O';
  options.enabled = true;
  items_.push_back(options);
}

const TShellMenuItem* CShellMenu::Command(int offset) const {
  if (offset < 0 || offset >= kCommandCount) return nullptr;
  for (const TShellMenuItem& item : items_)
    if (item.command == offset) return &item;
  return nullptr;
}

std::string CShellMenu::CommandString(int offset) const {
  const TShellMenuItem* item = Command(offset);
  return item ? item->help : std::string();
}

char CShellMenu::Letter(int offset) const {
  const TShellMenuItem* item = Command(offset);
  return item ? item->letter : 0;
}

std::string CShellMenu::FlatLabel(int offset) const {
  const TShellMenuItem* item = Command(offset);
  if (!item) return {};
  if (offset == kOptions) return item->label;
  if (offset < kConvertWav || offset > kConvertWma) return {};
  return FormatKeyed("IDS_CONVERT_FILES_TO_FORMAT", filesToFormat_, {item->label});
}

std::vector<std::vector<std::string>> CShellMenu::Invocations(
    int offset, const std::string& programPath) const {
  std::vector<std::vector<std::string>> runs;
  char letter = Letter(offset);
  if (letter == 0) return runs;
  const std::string option = std::string("-") + letter;
  for (const std::string& file : files_) {
    if (IsWmaFile(file) && !availability_.available[kTargetWma]) continue;
    runs.push_back({programPath, option, file});
  }
  return runs;
}

}  // namespace shell
