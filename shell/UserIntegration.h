// The per-user file-manager integration of the converter: the application
// entry that makes "Open With" offer it for our sources, the action files of
// Dolphin, Nemo and Caja, and our actions in Thunar's custom actions. The
// menus call sonoshell-invoke beside the program. The user's choice of
// default applications (mimeapps.list) is never written.
#pragma once

#include <string>
#include <vector>

// Writes every file for the program at programPath (absolute), with the menu
// of the targets the registry store says are available; files of ours that
// the menu no longer needs are removed. False when any write failed, or when
// the path can't be written into those files (not absolute, not UTF-8, or
// holding control characters or '%'). The files written are added to *written
// (when not null).
bool InstallUserIntegration(const std::string& programPath, std::vector<std::string>* written);

// Removes our files and our Thunar actions, nothing of anyone else's. False
// when something of ours could not be removed. The files removed (or edited,
// for Thunar's) are added to *removed (when not null).
bool RemoveUserIntegration(std::vector<std::string>* removed);

// Whether our files and Thunar actions are there as InstallUserIntegration
// would write them now for this program.
bool UserIntegrationInstalled(const std::string& programPath);
