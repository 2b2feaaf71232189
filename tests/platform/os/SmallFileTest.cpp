// Whole-file reads of small inputs: regular files only, never blocking on a
// FIFO, and the size limit checked before reading.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/os/SmallFile.h"
#include "tests/TestSupport.h"

using os::ReadSmallFile;
using os::TSmallFileResult;
using testsupport::TempDir;

TEST(SmallFile, ReadsRegularFilesWithinTheLimitOnly) {
  TempDir dir;
  std::string bytes;
  ASSERT_TRUE(testsupport::WriteFile(dir.File("ten"), std::string("0123456\0\r\n", 10)));
  EXPECT_EQ(ReadSmallFile(dir.File("ten"), 10, &bytes), TSmallFileResult::kRead);
  EXPECT_EQ(bytes, std::string("0123456\0\r\n", 10));
  EXPECT_EQ(ReadSmallFile(dir.File("ten"), 9, &bytes), TSmallFileResult::kTooBig);
  EXPECT_TRUE(bytes.empty());
  ASSERT_TRUE(testsupport::WriteFile(dir.File("empty"), ""));
  EXPECT_EQ(ReadSmallFile(dir.File("empty"), 10, &bytes), TSmallFileResult::kRead);
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(ReadSmallFile(dir.File("absent"), 10, &bytes), TSmallFileResult::kMissing);
  EXPECT_EQ(ReadSmallFile(dir.File("ten/below"), 10, &bytes), TSmallFileResult::kMissing);
  EXPECT_EQ(ReadSmallFile(dir.Path(), 10, &bytes), TSmallFileResult::kNotRegular);
  ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
  EXPECT_EQ(ReadSmallFile(dir.File("fifo"), 10, &bytes), TSmallFileResult::kNotRegular);
  EXPECT_EQ(ReadSmallFile("/dev/zero", 10, &bytes), TSmallFileResult::kNotRegular);
}
