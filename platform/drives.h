// The drive map: drive letters a..z mapped onto POSIX folders.
//
// Default map: c: is "/", and from d: on, in mount order, the file systems mounted under /media,
// /run/media and /mnt and those of a network type. The environment variable WUX_DRIVES (when set and
// not empty) replaces it: "c=/srv/root;d=/tmp/x:removable;e=/mnt/cd:cdrom;f=/net:remote" (type tags
// fixed, removable, cdrom, remote; no tag means fixed). The map is read on first use and again by
// reloadDriveMap(); every function here is thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"

namespace wux::platform {

// Drive types, with the system's numbers.
enum DriveType : std::uint32_t
{
    kDriveUnknown = 0,
    kDriveNoRootDir = 1, // no such drive
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdrom = 5,
};

// One mapped drive.
struct DriveEntry
{
    char letter = 'c'; // 'a'..'z', lower case
    std::string root;  // absolute POSIX folder without trailing '/' (except "/" itself)
    DriveType type = kDriveFixed;
    std::string device; // mounted device from mountinfo ("/dev/sdb1"), empty when unknown
};

// Reads the map again (WUX_DRIVES, else /proc/self/mountinfo).
void reloadDriveMap();
// The drives of the map, in letter order.
std::vector<DriveEntry> driveMap();
// The drive of a letter (either case), or nothing when the letter is not mapped.
std::optional<DriveEntry> findDrive(char letter);
// Bit mask of the mapped drives: bit 0 is a:, bit 2 is c:, ...
std::uint32_t logicalDrives();
// The type of a drive given by letter or by a path starting with "x:" (kDriveNoRootDir when unmapped).
DriveType driveType(char letter);
DriveType driveType(std::string_view windowsPath);
// True when the drive is mapped and its root folder can be read.
bool isDriveReady(char letter);
// The volume label: the file-system label of the device mounted at the root (/dev/disk/by-label), else
// the last part of the root folder ("" for "/"). Errors: 15 unmapped drive, 21 not ready.
WinError volumeLabel(char letter, std::string& label);
// Free and total space of the file system under a path or drive root ("c:\", "d:\sub"); freeToCaller
// is what an unprivileged user may use. Errors: 3 path not found, 15 unmapped drive, 21 not ready.
WinError diskFreeSpace(std::string_view windowsPath, std::uint64_t& freeToCaller, std::uint64_t& totalBytes,
                       std::uint64_t& totalFree);

} // namespace wux::platform

namespace wux::platform::detail {
// Parses a WUX_DRIVES text (bad items are skipped).
std::vector<DriveEntry> parseDriveSpec(std::string_view spec);
// The default map from the text of /proc/self/mountinfo.
std::vector<DriveEntry> drivesFromMountInfo(std::string_view mountInfo);
// The label whose link in byLabelFolder (e.g. "/dev/disk/by-label") leads to device; "" when none.
std::string labelFromFolder(std::string_view byLabelFolder, std::string_view device);
} // namespace wux::platform::detail
