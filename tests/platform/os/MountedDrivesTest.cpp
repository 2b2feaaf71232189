// The drives of a mount table and their kinds.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/os/MountedDrives.h"

namespace {

TEST(MountedDrives, KindsFromTheFileSystemAndTheDevice) {
  std::istringstream table(
      "proc /proc proc rw 0 0\n"
      "/dev/vda / ext4 rw 0 0\n"
      "tmpfs /tmp tmpfs rw 0 0\n"
      "overlay /var/lib/x overlay rw 0 0\n"
      "/dev/sdb1 /media/My\\040Stick vfat rw 0 0\n"
      "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
      "server:/export /net/export nfs4 rw 0 0\n"
      "//host/share /net/share cifs rw 0 0\n"
      "/dev/vda / ext4 rw 0 0\n"
      "broken line\n");
  auto removable = [](const std::string& device) { return device == "/dev/sdb1"; };
  std::vector<os::TMountedDrive> drives = os::MountedDrivesFrom(table, removable);
  ASSERT_EQ(drives.size(), 5u);
  EXPECT_EQ(drives[0].mountPoint, "/");
  EXPECT_EQ(drives[0].kind, os::TDriveKind::Fixed);
  EXPECT_EQ(drives[1].mountPoint, "/media/My Stick");
  EXPECT_EQ(drives[1].kind, os::TDriveKind::Removable);
  EXPECT_EQ(drives[2].kind, os::TDriveKind::Optical);
  EXPECT_EQ(drives[3].kind, os::TDriveKind::Network);
  EXPECT_EQ(drives[4].mountPoint, "/net/share");
  EXPECT_EQ(drives[4].kind, os::TDriveKind::Network);
}

}  // namespace
