// The action files through which the desktop's file managers show the
// converter's menu: generated from the menu the core computes, each action
// calling sonoshell-invoke with its command offset. File managers read these
// files when they draw a menu and can't ask us, so the entries are those of a
// selection of several files: the first entry once for WAV files (whose
// default target is MP3 or WMA) and once for the other kinds (WAV), the
// submenu's entries for all kinds; grayed entries are left out. The helper
// applies the menu's rules to the real selection when an entry is chosen.
#pragma once

#include <string>
#include <vector>

#include "shell/ShellTargets.h"

namespace shell {

struct TMenuAction {
  std::string id;         // file name part: "convert", "convert-wav", "wav", ...
  int command = 0;        // the command offset
  std::string label;      // as the menu shows it (inside the submenu for 2 to 5)
  std::string flatLabel;  // for a file manager without submenus
  std::string help;
  bool inSubmenu = false;
  bool forWav = false;     // offered for WAV files
  bool forOthers = false;  // offered for the other sound files and playlists
};

struct TMenuActions {
  std::string submenuLabel;
  std::string submenuHelp;
  std::vector<TMenuAction> actions;
};

// The actions for the availability, with the texts of the strings file.
TMenuActions MenuActionsFor(const TTargetAvailability& availability,
                            const std::string& stringsFile);

struct TGeneratedFile {
  std::string path;
  std::string content;
  unsigned mode = 0644;
};

// Where the files go: the XDG data and config homes, without trailing '/'.
struct TIntegrationHomes {
  std::string dataHome;
  std::string configHome;
};

// The application entry (sonoduct.desktop, so that "Open With" offers the
// program for our sources) and the action files of Dolphin, Nemo and Caja.
// invokePath is the helper's absolute path, programPath the converter's.
std::vector<TGeneratedFile> GenerateActionFiles(const TMenuActions& menu,
                                                const TIntegrationHomes& homes,
                                                const std::string& invokePath,
                                                const std::string& programPath,
                                                const std::string& stringsFile);

// Every file GenerateActionFiles may write, whatever the availability.
std::vector<std::string> AllActionFilePaths(const TIntegrationHomes& homes);

// Thunar's custom actions file.
std::string ThunarActionsPath(const TIntegrationHomes& homes);
// Our <action> elements for it, each with a unique-id that begins with
// kThunarIdPrefix.
std::vector<std::string> ThunarActionElements(const TMenuActions& menu,
                                              const std::string& invokePath);
constexpr const char* kThunarIdPrefix = "sonoduct-";

// The MIME types of the files the converter reads (its "Open With" types).
std::vector<std::string> SourceMimeTypes();

}  // namespace shell
