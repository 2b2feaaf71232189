// Where the running program lies, for finding the data files and libraries
// that are installed beside it.
#pragma once

#include <string>

// The program file's full path (from /proc/self/exe); "" when unknown.
std::string ProgramPath();
// Its folder with a trailing '/'; "" when unknown.
std::string ProgramDirectory();
// The full path of a library the program loads by name: beside the program
// (the build tree), else in ../lib/sonoduct/ (installed); the first when it
// is in neither, so that loading it fails with that name. "" when the
// program's folder is unknown.
std::string CompanionLibrary(const std::string& name);
