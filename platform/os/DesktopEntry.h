// The desktop's default program for a kind of file, from its desktop entry:
// which entry xdg-mime names, where that entry lies, and the command line of
// its Exec key.
#pragma once

#include <string>
#include <vector>

namespace os {

// The command line of an Exec value (string escapes already undone), with
// `target` as the file or address to open: arguments are split at blanks,
// double quotes group and take '\' before '"', '`', '$' and '\'; single
// quotes group literally; %f, %F, %u and %U become the target, %% a '%',
// and every other field code is dropped (with its argument when nothing
// else is left of it). When no field code takes the target, it is added as
// the last argument. Empty when a quote is left open or no program is named.
std::vector<std::string> ExpandExec(const std::string& exec, const std::string& target);

// The Exec value of a desktop file's [Desktop Entry] group with the string
// escapes (\s \n \t \r \\) undone; empty when it has none or is Hidden.
std::string ReadDesktopExec(const std::string& path);

// The file of a desktop file id ("org.example.App.desktop"): the first
// found in the applications folder of DataHome() and then of each of
// DataDirectories(). An id's '-' may stand for a subfolder
// ("kde-app.desktop" in applications/kde/app.desktop). Empty when none.
std::string FindDesktopFile(const std::string& id);

// The command line that opens target with the desktop's default program
// for HTML (the entry `xdg-mime query default text/html` names); empty when
// there is none.
std::vector<std::string> DefaultHtmlHandler(const std::string& target);

}  // namespace os
