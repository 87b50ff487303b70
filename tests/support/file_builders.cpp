#include "support/file_builders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include <gtest/gtest.h>

#include "platform/drives.h"
#include "platform/paths.h"

namespace wux::test {

std::string posixOf(std::string_view path)
{
    if (platform::driveLetterOf(path) == 0)
        return std::string(path);
    std::string posix;
    if (platform::toPosixPath(path, posix) == 0)
        return posix;
    // Folders that do not exist yet: the path as spelled below the drive root.
    const auto drive = platform::findDrive(platform::driveLetterOf(path));
    EXPECT_TRUE(drive.has_value()) << "no drive for " << path;
    if (!drive)
        return {};
    posix = drive->root == "/" ? "" : drive->root;
    std::string component, linuxName;
    const auto flush = [&] {
        if (component.empty())
            return;
        EXPECT_TRUE(platform::decodeName(component, linuxName)) << "bad name in " << path;
        posix += "/" + linuxName;
        component.clear();
    };
    for (std::size_t i = 2; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == '/')
            flush();
        else
            component += path[i];
    }
    flush();
    return posix.empty() ? "/" : posix;
}

void makeFolder(std::string_view path, mode_t mode)
{
    const std::string posix = posixOf(path);
    std::error_code ec;
    std::filesystem::create_directories(posix, ec);
    EXPECT_FALSE(ec) << "cannot create folder " << posix << ": " << ec.message();
    if (mode != kNoMode)
        ::chmod(posix.c_str(), mode);
}

void createFile(std::string_view path, std::string_view bytes, platform::FileTime lastWrite, mode_t mode)
{
    // A FILETIME of the first century after 1601 is a POSIX time given by mistake (use createFileAt).
    if (lastWrite != kNoTime && lastWrite < 100ULL * 365 * 86400 * 10'000'000ULL) {
        ADD_FAILURE() << "createFile: " << lastWrite
                      << " is not a FILETIME; use createFileAt for POSIX times";
    }
    const std::string posix = posixOf(path);
    const std::filesystem::path parent = std::filesystem::path(posix).parent_path();
    std::error_code ec;
    std::filesystem::create_directories(parent, ec);
    ::unlink(posix.c_str());
    const int fd = ::open(posix.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << "cannot create " << posix;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0) << "cannot write " << posix;
        done += static_cast<std::size_t>(n);
    }
    if (lastWrite != kNoTime) {
        struct timespec times[2];
        times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(platform::unixSecondsOf(lastWrite));
        times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(platform::unixNanosecondsOf(lastWrite));
        EXPECT_EQ(::futimens(fd, times), 0);
    }
    if (mode != kNoMode) {
        EXPECT_EQ(::fchmod(fd, mode), 0);
    }
    ::close(fd);
}

void createFileAt(std::string_view path, std::string_view bytes, std::time_t lastWrite, mode_t mode)
{
    createFile(path, bytes, platform::fileTimeFromUnix(lastWrite), mode);
}

std::string readFileBytes(std::string_view path)
{
    const std::string posix = posixOf(path);
    std::ifstream in(posix, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << posix;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool exists(std::string_view path)
{
    std::string posix(path);
    if (platform::driveLetterOf(path) != 0 && platform::toPosixPath(path, posix) != 0)
        return false;
    struct stat st = {};
    return ::lstat(posix.c_str(), &st) == 0;
}

mode_t modeOf(std::string_view path)
{
    struct stat st = {};
    return ::lstat(posixOf(path).c_str(), &st) == 0 ? st.st_mode : 0;
}

platform::FileTime lastWriteOf(std::string_view path)
{
    struct stat st = {};
    if (::lstat(posixOf(path).c_str(), &st) != 0)
        return 0;
    return platform::fileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

std::vector<std::string> listNames(std::string_view path)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(posixOf(path).c_str());
    if (dir == nullptr)
        return names;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace wux::test
