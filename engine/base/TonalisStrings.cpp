#include "engine/base/TonalisStrings.h"

#include <mutex>

#include "utilities/strings/StringFile.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {
std::mutex fileLock;
bool fileSet = false;
std::string stringFile;
}  // namespace

std::string GetTonalisStringFile() {
  std::lock_guard<std::mutex> lock(fileLock);
  if (!fileSet) {
    stringFile = FindStringsFile("tonalis-strings.ini");
    fileSet = true;
  }
  return stringFile;
}

void SetTonalisStringFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(fileLock);
  stringFile = path;
  fileSet = true;
}

int TonalisLoadString(const char* key, char* out, int max) {
  return MyLoadString(key, out, max, GetTonalisStringFile().c_str());
}

std::string TonalisLoadKeyed(const char* key) {
  return LoadKeyedString(key, GetTonalisStringFile().c_str());
}
