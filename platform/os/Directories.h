// Creating and listing directories.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace os {

// Creates one directory level. A directory that already exists at path (also
// one another process made a moment ago) counts as success; anything else
// there, or a missing parent, is failure.
bool MakeDirectory(const std::string& path, mode_t mode = 0777);

// Names of the subdirectories of dir (links to directories included, "." and
// ".." left out), sorted by byte value; empty when dir cannot be read.
std::vector<std::string> ListSubdirectories(const std::string& dir);

}  // namespace os
