// The long options a Linux user expects, taken from the command line before
// the program's own switches are read: --help, --version, --console, and
// -j N (or -jN), the number of files converted at once in this run. A lone
// "--" ends them, so that a file whose name begins with "--" can be named.
#pragma once

#include <string>
#include <vector>

struct TLongOptions {
  bool help = false;
  bool version = false;
  bool console = false;
  // -j N: 0 for one per core; -1 when not given.
  int jobs = -1;
  // What followed a -j that gave no count of one or two digits; empty when none.
  std::string badJobs;
  // The first long option that is not known, empty when none.
  std::string unknown;
};

// Takes the long options out of args (without the program name).
TLongOptions TakeLongOptions(std::vector<std::string>& args);

// The usage text.
std::string UsageText();
// The program's name and version ("Sonoduct 0.1.0").
std::string SoftwareName();
