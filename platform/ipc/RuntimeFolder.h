// The per-user folder that holds the converter's lock files and hand-off
// block: $XDG_RUNTIME_DIR/sonoduct/, or /tmp/sonoduct-<uid>/ when that
// variable is unset or not absolute.
#pragma once

#include <string>

// Creates the folder when missing (mode 0700) and returns its path without a
// trailing separator. Returns an empty string, with the reason in the thread's
// last error, when the folder can't be made or is unsafe: not a directory,
// owned by another user, or open to group or others.
std::string GetRuntimeFolder();
