// Where a file manager's module finds the converter: beside the server the
// class store names, with the strings file there or in the installed
// share folder; the bare names when the store names no folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "platform/registry/RegKey.h"
#include "shell/ShellServer.h"
#include "tests/shell/ShellTestSupport.h"

namespace {

void SetServer(const char* path) {
  CRegKey root(HKEY_CLASSES_ROOT);
  std::unique_ptr<CRegKey> key(root.CreateSubKey(
      (std::string("CLSID\\") + shell::kShellClassId + "\\InProcServer32").c_str()));
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->SetKeyString("", path));
}

TEST(ShellServer, TheConverterLiesBesideTheRegisteredServer) {
  shelltest::TempHomes homes;
  EXPECT_FALSE(shell::ShellMenuRegistered());
  EXPECT_EQ(shell::ReadShellServer().program, "sonoduct");
  EXPECT_EQ(shell::ReadShellServer().stringsFile, "sonoduct-strings.ini");

  SetServer("sonoshell-invoke");  // no folder
  EXPECT_EQ(shell::ReadShellServer().program, "sonoduct");

  // Installed: bin/ holds the programs, share/sonoduct/ the strings file.
  testsupport::TempDir prefix;
  ASSERT_EQ(mkdir(prefix.File("bin").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(prefix.File("share").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(prefix.File("share/sonoduct").c_str(), 0700), 0);
  SetServer(prefix.File("bin/sonoshell-invoke").c_str());
  EXPECT_EQ(shell::ReadShellServer().program, prefix.File("bin/sonoduct"));
  EXPECT_EQ(shell::ReadShellServer().stringsFile, prefix.File("bin/sonoduct-strings.ini"));
  ASSERT_TRUE(testsupport::WriteFile(prefix.File("share/sonoduct/sonoduct-strings.ini"), ""));
  EXPECT_EQ(shell::ReadShellServer().stringsFile,
            prefix.File("share/sonoduct/sonoduct-strings.ini"));

  CRegKey root(HKEY_CLASSES_ROOT);
  std::unique_ptr<CRegKey> handler(root.CreateSubKey(shell::kMenuHandlerKey));
  ASSERT_TRUE(handler);
  EXPECT_TRUE(shell::ShellMenuRegistered());
}

}  // namespace
