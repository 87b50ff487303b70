#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "platform/drives.h"
#include "support/file_builders.h"
#include "support/temp_drive.h"

namespace wux::platform {
namespace {

using test::TempDrive;

TEST(DriveSpecTest, ParsesLettersRootsAndTypeTags)
{
    const auto drives = detail::parseDriveSpec("c=/srv/root;d=/tmp/x:removable;E=/mnt/cd:cdrom;f=/"
                                               "net:remote;g=/a//b/:fixed;h=/x:y;1=/bad;i=relative;j;");
    ASSERT_EQ(drives.size(), 6u);
    const struct
    {
        char letter;
        const char* root;
        DriveType type;
    } expected[] = {{'c', "/srv/root", kDriveFixed}, {'d', "/tmp/x", kDriveRemovable},
                    {'e', "/mnt/cd", kDriveCdrom},   {'f', "/net", kDriveRemote},
                    {'g', "/a/b", kDriveFixed},      {'h', "/x:y", kDriveFixed}};
    for (std::size_t i = 0; i < drives.size(); ++i) {
        EXPECT_EQ(drives[i].letter, expected[i].letter);
        EXPECT_EQ(drives[i].root, expected[i].root);
        EXPECT_EQ(drives[i].type, expected[i].type);
    }
}

TEST(DriveSpecTest, DefaultMapFromMountInfo)
{
    const char* mountInfo = "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
                            "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
                            "40 27 8:1 / /home rw - ext4 /dev/sda1 rw\n"
                            "41 27 8:17 / /media/ann/My\\040Stick rw,nosuid shared:5 - vfat /dev/sdb1 rw\n"
                            "42 27 11:0 / /mnt/cd ro - iso9660 /dev/sr0 ro\n"
                            "43 27 0:50 / /srv/share rw - nfs4 server:/export rw\n"
                            "44 27 8:33 / /run/media/ann/DISK rw - ext4 /dev/sdc1 rw\n"
                            "45 27 8:49 / /media rw - ext4 /dev/sdd1 rw\n";
    const auto drives = detail::drivesFromMountInfo(mountInfo);
    ASSERT_EQ(drives.size(), 5u);
    EXPECT_EQ(drives[0].letter, 'c');
    EXPECT_EQ(drives[0].root, "/");
    EXPECT_EQ(drives[0].device, "/dev/vda");
    EXPECT_EQ(drives[0].type, kDriveFixed);
    EXPECT_EQ(drives[1].letter, 'd');
    EXPECT_EQ(drives[1].root, "/media/ann/My Stick");
    EXPECT_EQ(drives[1].type, kDriveRemovable);
    EXPECT_EQ(drives[1].device, "/dev/sdb1");
    EXPECT_EQ(drives[2].letter, 'e');
    EXPECT_EQ(drives[2].type, kDriveCdrom);
    EXPECT_EQ(drives[3].letter, 'f');
    EXPECT_EQ(drives[3].root, "/srv/share");
    EXPECT_EQ(drives[3].type, kDriveRemote);
    EXPECT_EQ(drives[4].letter, 'g');
    EXPECT_EQ(drives[4].root, "/run/media/ann/DISK");
}

TEST(DriveMapTest, WithoutOverrideCIsTheRootFolder)
{
    TempDrive drive("c"); // restores the environment afterwards
    ::unsetenv("WUX_DRIVES");
    reloadDriveMap();
    const auto c = findDrive('C');
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->root, "/");
    EXPECT_EQ(c->type, kDriveFixed);
    EXPECT_NE(logicalDrives() & 0x4u, 0u);
    EXPECT_EQ(logicalDrives() & 0x3u, 0u);
}

TEST(DriveMapTest, TempDriveRestoresThePreviousMap)
{
    ::setenv("WUX_DRIVES", "q=/tmp", 1);
    reloadDriveMap();
    {
        TempDrive drive("cd");
        EXPECT_EQ(logicalDrives(), (1u << 2) | (1u << 3));
    }
    EXPECT_STREQ(std::getenv("WUX_DRIVES"), "q=/tmp");
    EXPECT_EQ(logicalDrives(), 1u << ('q' - 'a'));
    ::unsetenv("WUX_DRIVES");
    reloadDriveMap();
}

TEST(DriveMapTest, TempDrivePathsAndFolders)
{
    std::string base;
    {
        TempDrive drive("cd");
        base = drive.base();
        EXPECT_EQ(drive.path("a/b.txt"), "c:\\a\\b.txt");
        EXPECT_EQ(drive.path("", 'd'), "d:\\");
        EXPECT_EQ(drive.posix("a\\b.txt", 'd'), base + "/d/a/b.txt");
        EXPECT_EQ(findDrive('d')->root, base + "/d");
        EXPECT_TRUE(isDriveReady('c'));
        test::createFile(drive.path("sub\\f.txt"), "bytes", fileTimeFromUnix(1000000000), 0600);
        EXPECT_EQ(test::readFileBytes(drive.posix("sub/f.txt")), "bytes");
        EXPECT_EQ(test::lastWriteOf(drive.path("sub\\f.txt")), fileTimeFromUnix(1000000000));
        EXPECT_EQ(test::modeOf(drive.posix("sub/f.txt")) & 07777, 0600u);
        test::makeFolder(drive.posix("ro"), 0555);
    }
    EXPECT_FALSE(test::exists(base)); // removed, read-only folders too
}

TEST(DriveMapTest, MaskTypesAndReadiness)
{
    TempDrive drive("c");
    drive.addDrive('d', kDriveRemovable);
    drive.addDrive('e', kDriveCdrom);
    drive.addDrive('z', kDriveRemote);
    drive.mapDrive('f', drive.base() + "/missing");
    EXPECT_EQ(logicalDrives(), (1u << 2) | (1u << 3) | (1u << 4) | (1u << 5) | (1u << 25));
    EXPECT_EQ(driveType('c'), kDriveFixed);
    EXPECT_EQ(driveType('D'), kDriveRemovable);
    EXPECT_EQ(driveType('e'), kDriveCdrom);
    EXPECT_EQ(driveType('z'), kDriveRemote);
    EXPECT_EQ(driveType('q'), kDriveNoRootDir);
    EXPECT_EQ(driveType("E:\\some\\file"), kDriveCdrom);
    EXPECT_EQ(driveType(""), kDriveNoRootDir);
    EXPECT_TRUE(isDriveReady('c'));
    EXPECT_TRUE(isDriveReady('D'));
    EXPECT_FALSE(isDriveReady('f'));
    EXPECT_FALSE(isDriveReady('q'));
    const auto map = driveMap();
    ASSERT_EQ(map.size(), 5u);
    EXPECT_EQ(map.front().letter, 'c');
    EXPECT_EQ(map.back().letter, 'z');
}

TEST(DriveMapTest, VolumeLabels)
{
    TempDrive drive("c");
    drive.mapDrive('d', drive.base() + "/Backup Disk", kDriveRemovable);
    test::makeFolder(drive.base() + "/Backup Disk");
    drive.mapDrive('e', "/");
    drive.mapDrive('f', drive.base() + "/gone");
    std::string label = "x";
    EXPECT_EQ(volumeLabel('d', label), 0u);
    EXPECT_EQ(label, "Backup Disk");
    EXPECT_EQ(volumeLabel('c', label), 0u);
    EXPECT_EQ(label, "c");
    EXPECT_EQ(volumeLabel('q', label), kErrorInvalidDrive);
    EXPECT_EQ(volumeLabel('f', label), kErrorNotReady);
    // "/" has no last part: no label unless its device has one.
    EXPECT_EQ(volumeLabel('e', label), 0u);
    EXPECT_EQ(label, detail::labelFromFolder("/dev/disk/by-label", findDrive('e')->device));
}

TEST(DriveMapTest, LabelOfADeviceFromItsByLabelLink)
{
    TempDrive drive("c");
    test::createFile(drive.posix("dev/sdb1"));
    test::createFile(drive.posix("dev/sdc1"));
    test::makeFolder(drive.posix("by-label"));
    ASSERT_EQ(::symlink("../dev/sdb1", (drive.posix("by-label") + "/MY\\x20STICK").c_str()), 0);
    EXPECT_EQ(detail::labelFromFolder(drive.posix("by-label"), drive.posix("dev/sdb1")), "MY STICK");
    EXPECT_EQ(detail::labelFromFolder(drive.posix("by-label"), drive.posix("dev//sdb1")), "MY STICK");
    EXPECT_EQ(detail::labelFromFolder(drive.posix("by-label"), drive.posix("dev/sdc1")), "");
    EXPECT_EQ(detail::labelFromFolder(drive.posix("by-label"), ""), "");
}

TEST(DriveMapTest, FreeAndTotalSpaceAre64Bit)
{
    TempDrive drive("c");
    test::makeFolder(drive.posix("sub"));
    struct statvfs info = {};
    ASSERT_EQ(::statvfs(drive.root().c_str(), &info), 0);
    std::uint64_t freeToCaller = 0, total = 0, totalFree = 0;
    ASSERT_EQ(diskFreeSpace("c:\\", freeToCaller, total, totalFree), 0u);
    EXPECT_EQ(total, static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize);
    EXPECT_GT(total, 0u);
    EXPECT_LE(freeToCaller, totalFree);
    EXPECT_LE(totalFree, total);
    EXPECT_EQ(diskFreeSpace("C:\\sub", freeToCaller, total, totalFree), 0u);
    EXPECT_EQ(diskFreeSpace("c:\\missing\\deeper", freeToCaller, total, totalFree), kErrorPathNotFound);
    EXPECT_EQ(diskFreeSpace("q:\\", freeToCaller, total, totalFree), kErrorInvalidDrive);
    EXPECT_EQ(diskFreeSpace("", freeToCaller, total, totalFree), kErrorPathNotFound);
    EXPECT_EQ(total, 0u);
}

} // namespace
} // namespace wux::platform
