// The user's home and XDG base and user directories, without trailing '/'.
// XDG variables that are unset, empty or not absolute are ignored, as the
// XDG base directory rules require. Results are empty only when even the
// home directory cannot be found.
#pragma once

#include <string>
#include <vector>

namespace os {

std::string HomeDirectory();  // $HOME, else the password database
std::string ConfigHome();     // $XDG_CONFIG_HOME, else ~/.config
std::string CacheHome();      // $XDG_CACHE_HOME, else ~/.cache
std::string DataHome();       // $XDG_DATA_HOME, else ~/.local/share
// The absolute entries of $XDG_DATA_DIRS in their order, else
// /usr/local/share and /usr/share.
std::vector<std::string> DataDirectories();

// An XDG user directory by its name in user-dirs.dirs ("MUSIC", "DOCUMENTS",
// "DESKTOP", "PICTURES", "VIDEOS", "DOWNLOAD"), read from
// ConfigHome()/user-dirs.dirs; empty when it is not set there, or set to the
// home directory itself (which means "disabled").
std::string XdgUserDirectory(const std::string& name);

std::string MusicDirectory();      // XDG_MUSIC_DIR, else ~/Music
std::string DocumentsDirectory();  // XDG_DOCUMENTS_DIR, else ~/Documents
std::string DesktopDirectory();    // XDG_DESKTOP_DIR, else ~/Desktop

}  // namespace os
