#include "converter/app/LongOptions.h"

#include "utilities/strings/StringFile.h"

namespace {
// A count of at most two digits.
int JobCount(const std::string& text) {
  if (text.empty() || text.size() > 2) return -1;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}
}  // namespace

TLongOptions TakeLongOptions(std::vector<std::string>& args) {
  TLongOptions options;
  std::vector<std::string> rest;
  bool ended = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string& arg = args[i];
    if (!ended && arg.compare(0, 2, "-j") == 0) {
      std::string count = arg.substr(2);
      if (count.empty() && i + 1 < args.size()) count = args[++i];
      options.jobs = JobCount(count);
      if (options.jobs < 0 && options.badJobs.empty())
        options.badJobs = count.empty() ? "-j" : count;
    } else if (ended || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      rest.push_back(std::move(arg));
    } else if (arg == "--") {
      ended = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--console") {
      options.console = true;
    } else if (options.unknown.empty()) {
      options.unknown = arg;
    }
  }
  args.swap(rest);
  return options;
}

std::string SoftwareName() { return SONODUCT_SOFTWARE_NAME; }

std::string UsageText() {
  std::string text = LoadKeyedString("USAGE");
  if (text.empty() || text == "USAGE") text = "Usage: sonoduct [--console] [-C|-3|-M] FILE...";
  return text + "\n";
}
