#include "converter/app/CommandLine.h"

#include <cstring>

#include "platform/Log.h"

bool CCommandLine::IsKnownSwitch(char letter) {
  return letter != '\0' && std::strchr("C3MOSRZUIQ", letter) != nullptr;
}

std::string CCommandLine::MakeAbsolute(const std::string& name, const std::string& directory) {
  if (name.empty() || name[0] == '/') return name;
  std::string rest = name;
  while (rest.size() > 2 && rest.compare(0, 2, "./") == 0) {
    rest.erase(0, 2);
    while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  }
  if (directory.empty()) return rest;
  return directory.back() == '/' ? directory + rest : directory + "/" + rest;
}

int CCommandLine::Parse(const std::vector<std::string>& args, const std::string& currentDirectory) {
  switch_ = 0;
  names_.clear();
  if (args.empty()) return 0;
  size_t first = 0;
  if (!args[0].empty() && args[0][0] == '-') {
    if (args[0].size() != 2 || !IsKnownSwitch(args[0][1])) {
      LogFmt("command line: unknown switch %s", args[0].c_str());
      return 0;
    }
    switch_ = args[0][1];
    first = 1;
  }
  for (size_t i = first; i < args.size(); ++i)
    names_.push_back(MakeAbsolute(args[i], currentDirectory));
  return 1;
}
