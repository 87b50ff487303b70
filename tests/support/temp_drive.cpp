#include "support/temp_drive.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "support/deep_tree.h"

namespace wux::test {
namespace {

std::string makeTempFolder(const std::string& parent)
{
    std::string pattern = parent + "/wux-test-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

// Makes every folder of a tree writable and removes the tree.
void removeTree(const std::string& path)
{
    if (path.empty())
        return;
    std::error_code ec;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
    for (auto it = std::filesystem::recursive_directory_iterator(
             path, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path, ec);
    // A tree deeper than the limit of a path is left by remove_all: folder by folder then.
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
        removeTreeAt(path);
}

const char* typeTag(platform::DriveType type)
{
    switch (type) {
    case platform::kDriveRemovable:
        return ":removable";
    case platform::kDriveCdrom:
        return ":cdrom";
    case platform::kDriveRemote:
        return ":remote";
    default:
        return ":fixed";
    }
}

} // namespace

TempDrive::TempDrive(std::string_view letters)
{
    if (const char* previous = std::getenv("WUX_DRIVES")) {
        hadPrevious_ = true;
        previous_ = previous;
    }
    std::error_code ec;
    base_ = makeTempFolder(std::filesystem::temp_directory_path(ec).string());
    EXPECT_FALSE(base_.empty()) << "cannot create a temporary folder";
    for (char letter : letters) {
        const std::string root = base_ + "/" + letter;
        ::mkdir(root.c_str(), 0755);
        drives_.push_back({letter, {root, platform::kDriveFixed}});
    }
    apply();
}

TempDrive::~TempDrive()
{
    if (hadPrevious_)
        ::setenv("WUX_DRIVES", previous_.c_str(), 1);
    else
        ::unsetenv("WUX_DRIVES");
    platform::reloadDriveMap();
    removeTree(base_);
    for (const std::string& folder : foreignFolders_)
        removeTree(folder);
}

bool TempDrive::addDrive(char letter, platform::DriveType type, bool foreignFileSystem)
{
    std::string root;
    if (foreignFileSystem) {
        struct stat baseSt = {};
        struct stat shmSt = {};
        if (::stat(base_.c_str(), &baseSt) != 0 || ::stat("/dev/shm", &shmSt) != 0 ||
            baseSt.st_dev == shmSt.st_dev)
            return false;
        root = makeTempFolder("/dev/shm");
        if (root.empty())
            return false;
        foreignFolders_.push_back(root);
    } else {
        root = base_ + "/" + letter;
        ::mkdir(root.c_str(), 0755);
    }
    mapDrive(letter, root, type);
    return true;
}

void TempDrive::mapDrive(char letter, std::string posixRoot, platform::DriveType type)
{
    for (auto& drive : drives_) {
        if (drive.first == letter) {
            drive.second = {std::move(posixRoot), type};
            apply();
            return;
        }
    }
    drives_.push_back({letter, {std::move(posixRoot), type}});
    apply();
}

void TempDrive::apply()
{
    std::string spec;
    for (const auto& drive : drives_) {
        if (!spec.empty())
            spec += ';';
        spec += drive.first;
        spec += '=';
        spec += drive.second.first;
        spec += typeTag(drive.second.second);
    }
    ::setenv("WUX_DRIVES", spec.c_str(), 1);
    platform::reloadDriveMap();
}

std::string TempDrive::root(char letter) const
{
    for (const auto& drive : drives_) {
        if (drive.first == letter)
            return drive.second.first;
    }
    return {};
}

std::string TempDrive::path(std::string_view relative, char letter) const
{
    std::string out;
    out += letter;
    out += ":\\";
    for (char c : relative)
        out += c == '/' ? '\\' : c;
    return out;
}

std::string TempDrive::posix(std::string_view relative, char letter) const
{
    std::string out = root(letter);
    if (relative.empty())
        return out;
    out += '/';
    for (char c : relative)
        out += c == '\\' ? '/' : c;
    return out;
}

} // namespace wux::test
