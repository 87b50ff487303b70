#include "platform/drives.h"

#include <dirent.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/paths.h"

namespace wux::platform {
namespace {

struct MountEntry
{
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

using DriveTable = std::vector<DriveEntry>;

std::mutex gDriveMutex;
std::shared_ptr<const DriveTable> gDrives;

// Removes trailing and doubled slashes; "" for a relative path.
std::string normaliseRoot(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return {};
    std::string out;
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out += c;
    }
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

// Undoes the octal escapes (\040 for a blank) of mountinfo fields.
std::string unescapeMountField(std::string_view field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto isOct = [](char c) { return c >= '0' && c <= '7'; };
        if (field[i] == '\\' && i + 3 < field.size() && isOct(field[i + 1]) && isOct(field[i + 2]) &&
            isOct(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                     (field[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> parseMounts(std::string_view text)
{
    std::vector<MountEntry> mounts;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        std::istringstream line{std::string(text.substr(lineStart, lineEnd - lineStart))};
        lineStart = lineEnd + 1;
        std::vector<std::string> fields;
        std::string field;
        while (line >> field)
            fields.push_back(field);
        std::size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (fields.size() < 5 || dash + 2 >= fields.size())
            continue;
        mounts.push_back(
            {unescapeMountField(fields[4]), fields[dash + 1], unescapeMountField(fields[dash + 2])});
    }
    return mounts;
}

bool isNetworkType(std::string_view type)
{
    static constexpr std::array<std::string_view, 16> kTypes = {
        "nfs",  "nfs4",      "cifs",  "smb3",       "smbfs", "ncpfs",       "afs",         "coda",
        "ceph", "glusterfs", "sshfs", "fuse.sshfs", "davfs", "fuse.davfs2", "fuse.rclone", "9p"};
    for (std::string_view t : kTypes) {
        if (t == type)
            return true;
    }
    return false;
}

bool isBelow(std::string_view path, std::string_view folder)
{
    return path.size() > folder.size() && path.substr(0, folder.size()) == folder &&
           path[folder.size()] == '/';
}

std::string readTextFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::shared_ptr<const DriveTable> loadTable()
{
    const char* spec = std::getenv("WUX_DRIVES");
    DriveTable table;
    if (spec != nullptr && *spec != '\0') {
        table = detail::parseDriveSpec(spec);
        // The devices mounted exactly at the roots (for the labels).
        const std::vector<MountEntry> mounts = parseMounts(readTextFile("/proc/self/mountinfo"));
        for (DriveEntry& drive : table) {
            for (const MountEntry& mount : mounts) {
                if (mount.mountPoint == drive.root)
                    drive.device = mount.source;
            }
        }
    } else {
        table = detail::drivesFromMountInfo(readTextFile("/proc/self/mountinfo"));
    }
    return std::make_shared<const DriveTable>(std::move(table));
}

std::shared_ptr<const DriveTable> currentTable()
{
    std::lock_guard lock(gDriveMutex);
    if (!gDrives)
        gDrives = loadTable();
    return gDrives;
}

char lowerLetter(char letter)
{
    if (letter >= 'A' && letter <= 'Z')
        return static_cast<char>(letter - 'A' + 'a');
    return letter;
}

} // namespace

namespace detail {

std::vector<DriveEntry> parseDriveSpec(std::string_view spec)
{
    std::array<std::optional<DriveEntry>, 26> byLetter;
    std::size_t start = 0;
    while (start <= spec.size()) {
        std::size_t end = spec.find(';', start);
        if (end == std::string_view::npos)
            end = spec.size();
        std::string_view item = spec.substr(start, end - start);
        start = end + 1;
        if (item.size() < 3 || item[1] != '=')
            continue;
        const char letter = lowerLetter(item[0]);
        if (letter < 'a' || letter > 'z')
            continue;
        std::string_view path = item.substr(2);
        DriveType type = kDriveFixed;
        const std::size_t colon = path.rfind(':');
        if (colon != std::string_view::npos) {
            const std::string_view tag = path.substr(colon + 1);
            bool known = true;
            if (tag == "fixed")
                type = kDriveFixed;
            else if (tag == "removable")
                type = kDriveRemovable;
            else if (tag == "cdrom")
                type = kDriveCdrom;
            else if (tag == "remote")
                type = kDriveRemote;
            else
                known = false;
            if (known)
                path = path.substr(0, colon);
        }
        std::string root = normaliseRoot(path);
        if (root.empty())
            continue;
        byLetter[letter - 'a'] = DriveEntry{letter, std::move(root), type, {}};
    }
    std::vector<DriveEntry> drives;
    for (auto& drive : byLetter) {
        if (drive)
            drives.push_back(std::move(*drive));
    }
    return drives;
}

std::vector<DriveEntry> drivesFromMountInfo(std::string_view mountInfo)
{
    const std::vector<MountEntry> mounts = parseMounts(mountInfo);
    std::vector<DriveEntry> drives;
    DriveEntry c{'c', "/", kDriveFixed, {}};
    for (const MountEntry& mount : mounts) {
        if (mount.mountPoint == "/")
            c.device = mount.source;
    }
    drives.push_back(c);
    char next = 'd';
    for (const MountEntry& mount : mounts) {
        const bool network = isNetworkType(mount.fsType);
        const bool media = isBelow(mount.mountPoint, "/media") || isBelow(mount.mountPoint, "/run/media") ||
                           isBelow(mount.mountPoint, "/mnt");
        if (!network && !media)
            continue;
        DriveType type = kDriveRemovable;
        if (network)
            type = kDriveRemote;
        else if (mount.fsType == "iso9660" || mount.fsType == "udf")
            type = kDriveCdrom;
        // A folder mounted over again shows the last mount: keep its letter, take its data.
        bool seen = false;
        for (DriveEntry& drive : drives) {
            if (drive.root == mount.mountPoint && drive.letter != 'c') {
                drive.type = type;
                drive.device = mount.source;
                seen = true;
            }
        }
        if (seen || next > 'z')
            continue;
        drives.push_back({next, normaliseRoot(mount.mountPoint), type, mount.source});
        ++next;
    }
    return drives;
}

std::string labelFromFolder(std::string_view byLabelFolder, std::string_view device)
{
    if (device.empty() || device.front() != '/')
        return {};
    char* deviceReal = ::realpath(std::string(device).c_str(), nullptr);
    if (deviceReal == nullptr)
        return {};
    const std::string target(deviceReal);
    std::free(deviceReal);
    std::string label;
    const std::string folder(byLabelFolder);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return {};
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        char* real = ::realpath((folder + "/" + name).c_str(), nullptr);
        if (real == nullptr)
            continue;
        const bool match = target == real;
        std::free(real);
        if (!match)
            continue;
        // udev writes unsafe bytes as \xNN.
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
                const std::string hex = name.substr(i + 2, 2);
                char* end = nullptr;
                const long value = std::strtol(hex.c_str(), &end, 16);
                if (end == hex.c_str() + 2) {
                    label += static_cast<char>(value);
                    i += 3;
                    continue;
                }
            }
            label += name[i];
        }
        break;
    }
    ::closedir(dir);
    return label;
}

} // namespace detail

void reloadDriveMap()
{
    auto table = loadTable();
    std::lock_guard lock(gDriveMutex);
    gDrives = std::move(table);
}

std::vector<DriveEntry> driveMap()
{
    return *currentTable();
}

std::optional<DriveEntry> findDrive(char letter)
{
    letter = lowerLetter(letter);
    const auto table = currentTable();
    for (const DriveEntry& drive : *table) {
        if (drive.letter == letter)
            return drive;
    }
    return std::nullopt;
}

std::uint32_t logicalDrives()
{
    std::uint32_t mask = 0;
    for (const DriveEntry& drive : *currentTable())
        mask |= 1u << (drive.letter - 'a');
    return mask;
}

DriveType driveType(char letter)
{
    const auto drive = findDrive(letter);
    return drive ? drive->type : kDriveNoRootDir;
}

DriveType driveType(std::string_view windowsPath)
{
    const char letter = driveLetterOf(windowsPath);
    return letter == 0 ? kDriveNoRootDir : driveType(letter);
}

bool isDriveReady(char letter)
{
    const auto drive = findDrive(letter);
    if (!drive)
        return false;
    DIR* dir = ::opendir(drive->root.c_str());
    if (dir == nullptr)
        return false;
    ::closedir(dir);
    return true;
}

WinError volumeLabel(char letter, std::string& label)
{
    label.clear();
    const auto drive = findDrive(letter);
    if (!drive)
        return kErrorInvalidDrive;
    if (!isDriveReady(letter))
        return kErrorNotReady;
    label = detail::labelFromFolder("/dev/disk/by-label", drive->device);
    if (label.empty() && drive->root != "/")
        label = drive->root.substr(drive->root.rfind('/') + 1);
    return kErrorSuccess;
}

WinError diskFreeSpace(std::string_view windowsPath, std::uint64_t& freeToCaller, std::uint64_t& totalBytes,
                       std::uint64_t& totalFree)
{
    freeToCaller = totalBytes = totalFree = 0;
    const char letter = driveLetterOf(windowsPath);
    if (letter == 0)
        return kErrorPathNotFound;
    const auto drive = findDrive(letter);
    if (!drive)
        return kErrorInvalidDrive;
    std::string posix;
    if (const WinError error = toPosixPath(windowsPath, posix))
        return error;
    struct statvfs info = {};
    if (::statvfs(posix.c_str(), &info) != 0) {
        const WinError error = lastErrnoAsWinError();
        if (!isDriveReady(letter))
            return kErrorNotReady;
        return error == kErrorFileNotFound ? kErrorPathNotFound : error;
    }
    const std::uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    freeToCaller = static_cast<std::uint64_t>(info.f_bavail) * unit;
    totalBytes = static_cast<std::uint64_t>(info.f_blocks) * unit;
    totalFree = static_cast<std::uint64_t>(info.f_bfree) * unit;
    return kErrorSuccess;
}

} // namespace wux::platform
