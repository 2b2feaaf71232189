#include <gtest/gtest.h>

#include <string>

#include "engine/base/UniqueName.h"

namespace {

TEST(UniqueName, PrefixAndRunningNumber) {
  SetNewNamePrefix("Track");
  std::string first = GenerateUniqueName();
  ASSERT_EQ(first.rfind("Track", 0), 0u);
  int n = std::stoi(first.substr(5));
  char out[32];
  GenerateUniqueName(out);
  EXPECT_EQ(std::string(out), "Track" + std::to_string(n + 1));
  SetNewNamePrefix(nullptr);
  EXPECT_EQ(GenerateUniqueName(), std::to_string(n + 2));
}

}  // namespace
