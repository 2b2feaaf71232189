// Where the strings files and the help pages live: beside the program in
// the build tree, or in ../share/sonoduct/ relative to the program once
// installed.
#pragma once

#include <string>

// The full path of the strings file name: the first of the program directory
// and ../share/sonoduct/ beside it that holds the file; when neither does,
// the path beside the program (so that lookups answer with the keys). Empty
// only when the program directory cannot be found.
std::string FindStringsFile(const std::string& name);
// The same for a program in programDir (with its trailing '/'): empty when
// neither place holds the file.
std::string FindStringsFileIn(const std::string& programDir, const std::string& name);

// The full path of a help page ("index.html"): the first of help/ in the
// program directory and ../share/sonoduct/help/ beside it that holds it;
// empty when neither does or page is not a plain file name.
std::string FindHelpPage(const std::string& page);
// The same for a program in programDir (with its trailing '/').
std::string FindHelpPageIn(const std::string& programDir, const std::string& page);
