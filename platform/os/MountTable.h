// A field of the mount table (/proc/self/mounts) as it names a path.
#pragma once

#include <string>

namespace os {

// Undoes the octal escapes (\040 for a space) of the mount table.
std::string UnescapeMountField(const std::string& field);

}  // namespace os
