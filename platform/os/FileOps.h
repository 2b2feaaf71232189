// Removing, renaming and replacing files, for the layers above.
#pragma once

#include <string>

namespace os {

// True when the file is gone afterwards (also when it was never there).
bool RemoveFile(const std::string& path);
// Moves from to to; fails, as a move on other systems does, when to exists.
bool RenameNoReplace(const std::string& from, const std::string& to);
// Writes bytes as the whole new content of path with the permissions mode:
// into a temporary file beside it, flushed to disk, then renamed over path,
// so a reader sees the old file or the new one and never a part of either.
// False (path untouched) when any step fails.
bool ReplaceFileContents(const std::string& path, const std::string& bytes, unsigned mode);

}  // namespace os
