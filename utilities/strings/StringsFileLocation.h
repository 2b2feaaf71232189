// Where the strings files live: beside the program in the build tree, or in
// ../share/sonoduct/ relative to the program once installed.
#pragma once

#include <string>

// The full path of the strings file name: the first of the program directory
// and ../share/sonoduct/ beside it that holds the file; when neither does,
// the path beside the program (so that lookups answer with the keys). Empty
// only when the program directory cannot be found.
std::string FindStringsFile(const std::string& name);

// The full path of a help page: the program directory's help/ or
// ../share/sonoduct/help/ beside it; empty when the page is missing.
std::string FindHelpPage(const std::string& page);
