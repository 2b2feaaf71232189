#include "engine/base/UniqueName.h"

#include <cstring>
#include <mutex>

namespace {
std::mutex nameLock;
std::string namePrefix;
int nameCounter = 1;
}  // namespace

void SetNewNamePrefix(const char* prefix) {
  std::lock_guard<std::mutex> lock(nameLock);
  namePrefix = prefix != nullptr ? prefix : "";
}

std::string GenerateUniqueName() {
  std::lock_guard<std::mutex> lock(nameLock);
  return namePrefix + std::to_string(nameCounter++);
}

void GenerateUniqueName(char* out) {
  if (out == nullptr) return;
  std::string s = GenerateUniqueName();
  std::memcpy(out, s.c_str(), s.size() + 1);
}
