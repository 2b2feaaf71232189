// The converter's command line, split into an optional switch and names.
// A first argument "-X" with X one of C 3 M O S R Z U I Q is the switch, and
// every following argument is one name; without a switch every argument is a
// name. Any other first argument that begins with '-' makes the whole command
// line count as empty. Relative names are made absolute against the current
// directory.
#pragma once

#include <string>
#include <vector>

class CCommandLine {
 public:
  // args excludes the program name. Returns 0 when the command line yields
  // nothing (no arguments, or an unknown switch).
  int Parse(const std::vector<std::string>& args, const std::string& currentDirectory);

  char Switch() const { return switch_; }  // 0 when there is none
  const std::vector<std::string>& Names() const { return names_; }

  static bool IsKnownSwitch(char letter);
  // `name` made absolute against `directory`, with leading "./" removed.
  static std::string MakeAbsolute(const std::string& name, const std::string& directory);

 private:
  char switch_ = 0;
  std::vector<std::string> names_;
};
