// Where the running program lies, for finding the data files and libraries
// that are installed beside it.
#pragma once

#include <string>

// The program file's full path (from /proc/self/exe); "" when unknown.
std::string ProgramPath();
// Its folder with a trailing '/'; "" when unknown.
std::string ProgramDirectory();
