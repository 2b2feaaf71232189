// What the folder tree lists: drives for its flags, folders in order, the
// drive and the components of a start path.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/TestSupport.h"
#include "utilities/ui/FolderTreeListing.h"

namespace {

using os::TDriveKind;

std::vector<std::string> Roots(const std::vector<TTreeDrive>& drives) {
  std::vector<std::string> roots;
  for (const TTreeDrive& d : drives) roots.push_back(d.root);
  return roots;
}

const std::vector<os::TMountedDrive> kMounted = {
    {"/home", TDriveKind::Fixed},
    {"/media/stick", TDriveKind::Removable},
    {"/media/cdrom", TDriveKind::Optical},
    {"/net/share", TDriveKind::Network},
    {"/", TDriveKind::Fixed},
};

TEST(ExplorerTreeDrives, FlagsChooseTheKindsBesideTheFixedDrives) {
  EXPECT_EQ(Roots(ExplorerTreeDrives(kMounted, 0)), (std::vector<std::string>{"/", "/home"}));
  EXPECT_EQ(Roots(ExplorerTreeDrives(kMounted, kExplorerTreeRemovableDrives)),
            (std::vector<std::string>{"/", "/home", "/media/stick"}));
  std::vector<TTreeDrive> all = ExplorerTreeDrives(
      kMounted, kExplorerTreeNetworkDrives | kExplorerTreeRemovableDrives | kExplorerTreeCDDrives);
  ASSERT_EQ(all.size(), 5u);
  EXPECT_EQ(all[2].image, kImageRemovableDrive);
  EXPECT_EQ(all[3].image, kImageCDDrive);
  EXPECT_EQ(all[4].image, kImageNetworkDrive);
  // The root folder is there even when the mount table has no disk for it.
  EXPECT_EQ(Roots(ExplorerTreeDrives({}, 0)), std::vector<std::string>{"/"});
}

TEST(ExplorerTreeDrives, StartRootIsTheDeepestDriveOfWholeComponents) {
  std::vector<TTreeDrive> drives = ExplorerTreeDrives(kMounted, kExplorerTreeRemovableDrives);
  EXPECT_EQ(StartRoot("/home/ann/Music", drives), "/home");
  EXPECT_EQ(StartRoot("/home", drives), "/home");
  EXPECT_EQ(StartRoot("/homework", drives), "/");
  EXPECT_EQ(StartRoot("/media/stick2/x", drives), "/");
  EXPECT_EQ(StartRoot("relative/path", drives), "");
  EXPECT_EQ(StartRoot("", drives), "");
}

TEST(ExplorerTreeDrives, ComponentsBelowTheDrive) {
  EXPECT_EQ(ComponentsBelow("/a//b/", "/"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ComponentsBelow("/home/ann", "/home"), std::vector<std::string>{"ann"});
  EXPECT_TRUE(ComponentsBelow("/home", "/home").empty());
  EXPECT_TRUE(ComponentsBelow("/", "/").empty());
  EXPECT_EQ(ChildPath("/", "a"), "/a");
  EXPECT_EQ(ChildPath("/a", "b"), "/a/b");
}

TEST(ExplorerTreeFolders, EveryFolderIgnoringCaseThenByByte) {
  testsupport::TempDir dir;
  for (const char* name : {"beta", "Alpha", ".hidden", "alpha", "Gamma"})
    ASSERT_EQ(mkdir(dir.File(name).c_str(), 0755), 0);
  ASSERT_TRUE(testsupport::WriteFile(dir.File("a file"), "x"));
  EXPECT_EQ(ExplorerTreeFolders(dir.Path()),
            (std::vector<std::string>{".hidden", "Alpha", "alpha", "beta", "Gamma"}));
  EXPECT_TRUE(HasSubDirectories(dir.Path()));
  EXPECT_FALSE(HasSubDirectories(dir.File("beta")));
  EXPECT_TRUE(ExplorerTreeFolders(dir.File("missing")).empty());
}

}  // namespace
