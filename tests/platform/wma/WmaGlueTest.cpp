#include <gtest/gtest.h>

#include "platform/LastError.h"
#include "platform/paths/Paths.h"
#include "platform/paths/ProgramDirectory.h"
#include "platform/wma/SupportsWma.h"
#include "platform/wma/WmaGlue.h"
#include "tests/TestSupport.h"

TEST(WmaGlue, MissingLibraryIsUnavailable) {
  // The test program's folder (not the program folder) holds no WMA library.
  ASSERT_FALSE(DoesFileExist(ProgramDirectory() + kWmaLibraryName));
  CWmaGlue glue;
  SetLastError(0);
  EXPECT_FALSE(glue.Load());
  EXPECT_EQ(GetLastError(), kErrWmaUnavailable);
  SetLastError(0);
  EXPECT_EQ(AC_SupportsWMA(), 0);

  testsupport::TempDir dir;
  SetLastError(0);
  EXPECT_FALSE(glue.LoadFile(dir.File(kWmaLibraryName)));
  EXPECT_EQ(GetLastError(), kErrWmaUnavailable);
  EXPECT_FALSE(glue.IsLoaded());
  EXPECT_EQ(glue.createReader, nullptr);
  // Not a shared library at all.
  ASSERT_TRUE(testsupport::WriteFile(dir.File(kWmaLibraryName), "not a library"));
  SetLastError(0);
  EXPECT_FALSE(glue.LoadFile(dir.File(kWmaLibraryName)));
  EXPECT_EQ(GetLastError(), kErrWmaUnavailable);
  // Bare names are never searched for.
  SetLastError(0);
  EXPECT_FALSE(glue.LoadFile("libc.so.6"));
  EXPECT_EQ(GetLastError(), kErrWmaUnavailable);
}

TEST(WmaGlue, BuiltLibraryIsInTheProgramFolder) {
  EXPECT_EQ(std::string(SONODUCT_TEST_WMAGLUE), testsupport::BinPath(kWmaLibraryName));
  EXPECT_TRUE(CWmaGlue::Probe(testsupport::BinPath(kWmaLibraryName)));
  CWmaGlue glue;
  ASSERT_TRUE(glue.LoadFile(SONODUCT_TEST_WMAGLUE));
  EXPECT_NE(glue.createEditor, nullptr);
}

TEST(WmaGlue, LibraryLackingEntryPointsIsRefused) {
  CWmaGlue glue;
  SetLastError(0);
  EXPECT_FALSE(glue.LoadFile(SONODUCT_TEST_FAKE_WMAGLUE_PARTIAL));
  EXPECT_EQ(GetLastError(), kErrWmaUnavailable);
  EXPECT_FALSE(glue.IsLoaded());
  EXPECT_EQ(glue.createReader, nullptr);  // nothing half-loaded is left
  EXPECT_EQ(glue.generateCodecList, nullptr);
  EXPECT_FALSE(CWmaGlue::Probe(SONODUCT_TEST_FAKE_WMAGLUE_PARTIAL));
}

TEST(WmaGlue, CompleteLibraryLoadsAndUnloads) {
  CWmaGlue glue;
  ASSERT_TRUE(glue.LoadFile(SONODUCT_TEST_FAKE_WMAGLUE_FULL));
  ASSERT_TRUE(glue.IsLoaded());
  ASSERT_NE(glue.generateCodecList, nullptr);
  int32_t count = 0;
  EXPECT_EQ(glue.generateCodecList(nullptr, &count), 0);
  EXPECT_EQ(count, 7);
  IWMReader* reader = nullptr;
  IWMReaderAdvanced* advanced = nullptr;
  EXPECT_LT(glue.createReader(nullptr, 0, &reader, &advanced), 0);
  glue.Unload();
  EXPECT_FALSE(glue.IsLoaded());
  EXPECT_EQ(glue.generateCodecList, nullptr);
  EXPECT_TRUE(CWmaGlue::Probe(SONODUCT_TEST_FAKE_WMAGLUE_FULL));
  // A failed reload leaves nothing of the earlier one behind.
  ASSERT_TRUE(glue.LoadFile(SONODUCT_TEST_FAKE_WMAGLUE_FULL));
  EXPECT_FALSE(glue.LoadFile(SONODUCT_TEST_FAKE_WMAGLUE_PARTIAL));
  EXPECT_FALSE(glue.IsLoaded());
}
