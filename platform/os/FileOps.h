// Removing and renaming files, for the layers above.
#pragma once

#include <string>

namespace os {

// True when the file is gone afterwards (also when it was never there).
bool RemoveFile(const std::string& path);
// Moves from to to; fails, as a move on other systems does, when to exists.
bool RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace os
