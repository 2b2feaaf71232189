// The converter's entries in a file manager's context menu, as a value: which
// entries there are for a selection, in which order, which of them sit in the
// submenu, which are enabled, their help texts and the converter switch each
// one starts. One query holds everything it computed; nothing is kept
// between queries.
//
// Command offsets: 0 converts to the default target at once; 1 is the
// submenu; inside it 2 WAV, 3 MP3, 4 WMA, a separator, and 5 the converter's
// options.
#pragma once

#include <string>
#include <vector>

#include "shell/ShellTargets.h"

namespace shell {

enum class TShellItemKind { kCommand, kSubmenu, kSeparator };

struct TShellMenuItem {
  TShellItemKind kind = TShellItemKind::kCommand;
  int command = -1;  // the command offset; -1 for the separator
  int depth = 0;     // 0 in the file manager's menu, 1 inside the submenu
  std::string label;
  std::string help;
  char letter = 0;  // the converter's switch; 0 for the separator
  bool enabled = false;
};

class CShellMenu {
 public:
  static constexpr int kCommandCount = 6;
  static constexpr int kConvertDefault = 0;
  static constexpr int kConvertSubmenu = 1;
  static constexpr int kConvertWav = 2;
  static constexpr int kConvertMp3 = 3;
  static constexpr int kConvertWma = 4;
  static constexpr int kOptions = 5;

  // The menu for the selected files (full paths, in the selection's order)
  // with the given target availability, its texts from the strings file at
  // stringsFile (the keys themselves where it lacks them). Empty when the
  // first file is not a sound file or playlist, or when only WMA files are
  // selected while WMA can't be written.
  static CShellMenu Query(const std::vector<std::string>& files,
                          const TTargetAvailability& availability, const std::string& stringsFile);

  bool IsEmpty() const { return items_.empty(); }
  // In menu order, the submenu's items behind the submenu entry.
  const std::vector<TShellMenuItem>& Items() const { return items_; }
  // The item of a command offset; null for an unknown offset or an empty menu.
  const TShellMenuItem* Command(int offset) const;
  // The help text of a command offset; empty for an unknown one.
  std::string CommandString(int offset) const;
  // The switch letter of a command offset; 0 for an unknown one.
  char Letter(int offset) const;
  // The label a target entry (2, 3, 4) gets in a menu without a submenu, as
  // the first entry writes it for that target; the options entry keeps its
  // label. Empty for the others.
  std::string FlatLabel(int offset) const;

  int DefaultTarget() const { return defaultTarget_; }
  const std::vector<std::string>& Files() const { return files_; }
  const TTargetAvailability& Availability() const { return availability_; }

  // The converter runs that choosing the command starts: one argument
  // vector per selected file in order ({program, "-<letter>", file}),
  // leaving out WMA files while WMA can't be written. Empty for an unknown
  // offset or an empty menu.
  std::vector<std::vector<std::string>> Invocations(int offset,
                                                    const std::string& programPath) const;

 private:
  void Build(bool oneSoundFile, const std::string& stringsFile);

  std::vector<std::string> files_;
  TTargetAvailability availability_;
  int defaultTarget_ = kTargetWav;
  std::string filesToFormat_;  // the format of the first entry's label
  std::vector<TShellMenuItem> items_;
};

}  // namespace shell
