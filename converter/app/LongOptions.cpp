#include "converter/app/LongOptions.h"

#include "utilities/strings/StringFile.h"

TLongOptions TakeLongOptions(std::vector<std::string>& args) {
  TLongOptions options;
  std::vector<std::string> rest;
  bool ended = false;
  for (std::string& arg : args) {
    if (ended || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
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
