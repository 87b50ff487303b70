#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "platform/drives.h"
#include "platform/fault_injection.h"
#include "platform/file_internal.h"
#include "platform/text.h"

namespace wux::platform {
namespace internal {

WinError resolve(std::string_view windowsPath, unsigned faultOperation, std::string& posix)
{
    posix.clear();
    if (const WinError fault = injectedFault(windowsPath, faultOperation))
        return fault;
    return toPosixPath(windowsPath, posix);
}

bool statAt(int dirFd, const char* path, bool follow, EntryStat& out)
{
    struct statx sx = {};
    int flags = follow ? 0 : AT_SYMLINK_NOFOLLOW;
    if (path[0] == '\0')
        flags |= AT_EMPTY_PATH;
    if (dirFd == AT_FDCWD && std::strlen(path) >= PATH_MAX) {
        const std::string whole(path);
        const PathAt at(whole);
        if (!at || ::statx(at.folder(), at.name(), flags, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
            return false;
    } else if (::statx(dirFd, path, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) {
        return false;
    }
    out.mode = sx.stx_mode;
    out.owner = sx.stx_uid;
    out.group = sx.stx_gid;
    out.linkCount = sx.stx_nlink;
    out.size = sx.stx_size;
    out.device = static_cast<std::uint64_t>(makedev(sx.stx_dev_major, sx.stx_dev_minor));
    out.inode = sx.stx_ino;
    out.lastAccess = fileTimeFromUnix(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
    out.lastWrite = fileTimeFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    out.birth = (sx.stx_mask & STATX_BTIME) ? fileTimeFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec) : 0;
    out.changeSeconds = sx.stx_ctime.tv_sec;
    out.changeNanoseconds = sx.stx_ctime.tv_nsec;
    return true;
}

bool statWithTarget(int dirFd, const char* path, EntryStat& entry, EntryStat& target, bool& hasTarget)
{
    hasTarget = false;
    if (!statAt(dirFd, path, false, entry))
        return false;
    hasTarget = S_ISLNK(entry.mode) && statAt(dirFd, path, true, target);
    return true;
}

std::uint32_t attributesOf(const EntryStat& entry, const EntryStat* target, std::string_view name)
{
    const EntryStat& data = target != nullptr ? *target : entry;
    std::uint32_t attributes = 0;
    if (S_ISDIR(data.mode))
        attributes |= kAttrDirectory;
    if (!(data.mode & S_IWUSR) && !S_ISLNK(data.mode))
        attributes |= kAttrReadOnly;
    if (!name.empty() && name.front() == '.' && name != "." && name != "..")
        attributes |= kAttrHidden;
    if (S_ISREG(data.mode))
        attributes |= kAttrArchive;
    if (S_ISLNK(entry.mode))
        attributes |= kAttrReparsePoint;
    if (attributes == 0)
        attributes = kAttrNormal;
    return attributes;
}

FileTimes timesOf(const EntryStat& data)
{
    FileTimes times;
    times.lastWrite = data.lastWrite;
    times.lastAccess = data.lastAccess;
    times.creation = data.birth != 0 ? data.birth : data.lastWrite;
    return times;
}

void toTimespecs(const FileTime* lastAccess, const FileTime* lastWrite, struct timespec (&times)[2])
{
    const FileTime* values[2] = {lastAccess, lastWrite};
    for (int i = 0; i < 2; ++i) {
        if (values[i] == nullptr) {
            times[i].tv_sec = 0;
            times[i].tv_nsec = UTIME_OMIT;
        } else {
            times[i].tv_sec = static_cast<time_t>(unixSecondsOf(*values[i]));
            times[i].tv_nsec = static_cast<long>(unixNanosecondsOf(*values[i]));
        }
    }
}

std::string_view baseNameOf(std::string_view posixPath)
{
    const std::size_t slash = posixPath.rfind('/');
    return slash == std::string_view::npos ? posixPath : posixPath.substr(slash + 1);
}

std::string folderOf(std::string_view posixPath)
{
    const std::size_t slash = posixPath.rfind('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return std::string(posixPath.substr(0, slash));
}

int renameNoReplace(const PathAt& from, const PathAt& to)
{
    if (::renameat2(from.folder(), from.name(), to.folder(), to.name(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // File systems without RENAME_NOREPLACE.
    struct stat st = {};
    if (::fstatat(from.folder(), from.name(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    if (S_ISDIR(st.st_mode)) {
        if (::fstatat(to.folder(), to.name(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            errno = EEXIST;
            return -1;
        }
        return ::renameat(from.folder(), from.name(), to.folder(), to.name());
    }
    if (::linkat(from.folder(), from.name(), to.folder(), to.name(), 0) != 0)
        return -1;
    if (::unlinkat(from.folder(), from.name(), 0) != 0) {
        const int error = errno;
        ::unlinkat(to.folder(), to.name(), 0);
        errno = error;
        return -1;
    }
    return 0;
}

std::string temporaryName(std::string_view name, std::uint32_t number)
{
    // The stem keeps the temporary name within the file system's limit; it is cut before a character,
    // never inside one.
    std::size_t cut = std::min<std::size_t>(name.size(), 200);
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
        --cut;
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".wux%08x", static_cast<unsigned>(number));
    std::string out = ".";
    out.append(name.substr(0, cut));
    out += suffix;
    return out;
}

std::string temporaryName(std::string_view name)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return temporaryName(name, static_cast<std::uint32_t>(random()));
}

std::uint32_t temporaryMark(std::uint64_t inode)
{
    // A fixed mix of the inode's bits (the same in every run and every version of the program).
    std::uint64_t x = inode + 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    return static_cast<std::uint32_t>(x);
}

bool isOwnTemporary(std::string_view name, const EntryStat& entry)
{
    if (!S_ISREG(entry.mode) || entry.linkCount != 1 || !isTemporaryName(name))
        return false;
    const std::string_view digits = name.substr(name.size() - 8);
    char expected[12];
    std::snprintf(expected, sizeof expected, "%08x", static_cast<unsigned>(temporaryMark(entry.inode)));
    return digits == expected;
}

namespace {

// Gives the file of fd, made without a name, the name `name` in the folder dirFd (never over an
// entry: EEXIST). -1 with errno.
int linkUnnamed(int fd, int dirFd, const std::string& name)
{
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (::linkat(AT_FDCWD, self, dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return -1;
    // Without /proc: by the descriptor itself (allowed to root).
    return ::linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH);
}

} // namespace

WinError createOwnTemporary(int dirFd, std::string_view folderWindowsPath, std::string_view targetName,
                            mode_t mode, const std::function<bool(int)>& lock, int& fd, std::string& tempName)
{
    fd = -1;
    tempName.clear();
    bool unnamed = true; // files without a name first; where the file system cannot, named at once
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string made; // the name a named file got first
        int file = -1;
        if (unnamed) {
            file = ::openat(dirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
            if (file < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
                unnamed = false;
                --attempt;
                continue;
            }
        } else {
            made = temporaryName(targetName);
            file = ::openat(dirFd, made.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
            if (file < 0 && errno == EEXIST)
                continue;
        }
        if (file < 0)
            return errno == ENOENT || errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
        struct stat st = {};
        const bool known = ::fstat(file, &st) == 0;
        if (!known || !lock(file)) {
            const WinError error = known ? kErrorSharingViolation : lastErrnoAsWinError();
            if (!made.empty())
                ::unlinkat(dirFd, made.c_str(), 0);
            ::close(file);
            return error;
        }
        std::string name = temporaryName(targetName, temporaryMark(static_cast<std::uint64_t>(st.st_ino)));
        // (A fault of a temporary file is known once its name is.)
        const WinError refused = name.size() > NAME_MAX ? kErrorFilenameExcedRange
                                 : folderWindowsPath.empty()
                                     ? kErrorSuccess
                                     : injectedFault(joinWindowsPath(folderWindowsPath, encodeName(name)), kFaultOpen);
        if (refused != kErrorSuccess) {
            if (!made.empty())
                ::unlinkat(dirFd, made.c_str(), 0);
            ::close(file);
            return refused;
        }
        int placed = 0;
        if (unnamed)
            placed = linkUnnamed(file, dirFd, name);
        else if (made != name)
            placed = renameNoReplace(PathAt(dirFd, made.c_str()), PathAt(dirFd, name.c_str()));
        if (placed == 0) {
            fd = file;
            tempName = std::move(name);
            return kErrorSuccess;
        }
        const int error = errno;
        if (!made.empty())
            ::unlinkat(dirFd, made.c_str(), 0);
        ::close(file);
        if (error != EEXIST) {
            errno = error;
            return lastErrnoAsWinError();
        }
    }
    return kErrorFileExists;
}

WinError createTempBeside(const std::string& targetFolder, std::string_view targetName, mode_t mode, int& fd,
                          std::string& tempPath)
{
    tempPath.clear();
    const int dirFd = openPath(targetFolder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return errno == ENOENT || errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    std::string name;
    const WinError error = createOwnTemporary(
        dirFd, {}, targetName, mode, [](int file) { return takeLocks(file, kAccessWrite, kShareWrite); }, fd, name);
    ::close(dirFd);
    if (error == kErrorSuccess) {
        tempPath = targetFolder;
        if (tempPath.back() != '/')
            tempPath += '/';
        tempPath += name;
    }
    return error;
}

namespace {
std::atomic<std::int64_t> gLeftoverGrace{5 * 10'000'000LL}; // in FILETIME units (100 ns)
} // namespace

void setLeftoverGrace(std::int64_t fileTimeUnits)
{
    gLeftoverGrace.store(fileTimeUnits);
}

std::int64_t leftoverGrace()
{
    return gLeftoverGrace.load();
}

void syncFolder(const std::string& folder)
{
    const int fd = openPath(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

WinError writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return lastErrnoAsWinError();
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return kErrorSuccess;
}

WinError copyToTemp(int src, const struct stat& srcSt, const std::string& targetFolder,
                    std::string_view targetName, std::string_view faultPath, std::string& tempPath)
{
    int out = -1;
    // Made without permission bits and held with the locks of a handle that writes, until it is
    // complete: a leftover of a killed run is told from a user's file and from a living copy by that.
    if (const WinError error = createTempBeside(targetFolder, targetName, 0, out, tempPath))
        return error;
    WinError error = injectedFault(faultPath, kFaultWrite);
    std::vector<char> buffer(1 << 20);
    if (error == kErrorSuccess && ::lseek(src, 0, SEEK_SET) < 0)
        error = lastErrnoAsWinError();
    while (error == kErrorSuccess) {
        const ssize_t n = ::read(src, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = lastErrnoAsWinError();
            break;
        }
        if (n == 0)
            break;
        error = writeAll(out, buffer.data(), static_cast<std::size_t>(n));
    }
    if (error == kErrorSuccess && runsAsRoot() && ::fchown(out, srcSt.st_uid, srcSt.st_gid) != 0)
        error = lastErrnoAsWinError();
    if (error == kErrorSuccess && ::fchmod(out, srcSt.st_mode & 07777) != 0)
        error = lastErrnoAsWinError();
    if (error == kErrorSuccess) {
        const struct timespec times[2] = {srcSt.st_atim, srcSt.st_mtim};
        if (::futimens(out, times) != 0)
            error = lastErrnoAsWinError();
    }
    if (error == kErrorSuccess && ::fsync(out) != 0)
        error = lastErrnoAsWinError();
    if (::close(out) != 0 && error == kErrorSuccess)
        error = lastErrnoAsWinError();
    if (error != kErrorSuccess) {
        unlinkPath(tempPath);
        tempPath.clear();
    }
    return error;
}

} // namespace internal

using namespace internal;

namespace {

std::string linuxNameOf(std::string_view windowsPath)
{
    std::string folder, name, linuxName;
    splitWindowsPath(windowsPath, folder, name);
    if (!decodeName(name, linuxName))
        return {};
    return linuxName;
}

// True when windowsPath (resolved to posix) names its drive's root, however it is spelled: "x:",
// "x:\" or "x:\sub\.." alike.
bool namesDriveRoot(std::string_view windowsPath, const std::string& posix)
{
    if (isDriveRoot(windowsPath))
        return true;
    const auto drive = findDrive(driveLetterOf(windowsPath));
    return drive && posix == drive->root;
}

// When toWindowsPath names an entry of the same folder as fromWindowsPath (spelled the same), the
// POSIX target is the source's folder and the new name: the folder path need not be walked again.
// Returns false when the folders differ (or the new name is "." or ".."); otherwise true with `to`
// set, or empty when the new name is invalid.
bool sameFolderTarget(std::string_view fromWindowsPath, std::string_view toWindowsPath,
                      const std::string& from, std::string& to)
{
    std::string fromFolder, fromName, toFolder, toName;
    splitWindowsPath(fromWindowsPath, fromFolder, fromName);
    splitWindowsPath(toWindowsPath, toFolder, toName);
    if (fromFolder != toFolder || fromName.empty() || toName.empty() || toName == "." || toName == "..")
        return false;
    std::string linuxName;
    if (!decodeName(toName, linuxName)) {
        to.clear();
        return true;
    }
    to = folderOf(from);
    if (to.empty() || to.back() != '/')
        to += '/';
    to += linuxName;
    return true;
}

// The Linux name of an entry of a folder as a listing gives it (not a path): 123 for no name, "." or
// "..", or a name that cannot be one; 206 for a name too long for the file system.
WinError entryLinuxName(std::string_view name, std::string& linuxName)
{
    if (name.empty() || name == "." || name == ".." || !decodeName(name, linuxName))
        return kErrorInvalidName;
    return linuxName.size() > NAME_MAX ? kErrorFilenameExcedRange : kErrorSuccess;
}

// getFileInfo of the entry at path relative to dirFd; linuxName tells whether it is hidden.
WinError entryInfo(int dirFd, const char* path, std::string_view linuxName, FileInfo& info)
{
    EntryStat entry, target;
    bool hasTarget = false;
    if (!statWithTarget(dirFd, path, entry, target, hasTarget))
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    const EntryStat& data = hasTarget ? target : entry;
    info.attributes = attributesOf(entry, hasTarget ? &target : nullptr, linuxName);
    info.times = timesOf(data);
    info.size = S_ISREG(data.mode) ? data.size : 0;
    info.id = {data.device, data.inode};
    info.mode = data.mode;
    info.owner = data.owner;
    info.group = data.group;
    info.linkCount = data.linkCount;
    return kErrorSuccess;
}

} // namespace

WinError getFileInfoIn(const HeldFolder& folder, std::string_view name, FileInfo& info)
{
    info = {};
    if (const WinError fault = injectedFault(joinWindowsPath(folder.path(), name), kFaultAttributes))
        return fault;
    if (!folder.isOpen())
        return kErrorInvalidHandle;
    std::string linuxName;
    if (const WinError error = entryLinuxName(name, linuxName))
        return error;
    return entryInfo(folder.descriptor(), linuxName.c_str(), linuxName, info);
}

WinError linkOwnershipIn(const HeldFolder& folder, std::string_view name, LinkOwnership& link)
{
    link = {};
    if (!folder.isOpen())
        return kErrorInvalidHandle;
    std::string linuxName;
    if (const WinError error = entryLinuxName(name, linuxName))
        return error;
    EntryStat entry;
    if (!statAt(folder.descriptor(), linuxName.c_str(), false, entry))
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    link.isLink = S_ISLNK(entry.mode);
    link.ownedByUser = link.isLink && entry.owner == ::geteuid();
    return kErrorSuccess;
}

WinError linkOwnership(std::string_view windowsPath, LinkOwnership& link)
{
    link = {};
    std::string posix;
    PathEntry found;
    if (const WinError error = toPosixPath(windowsPath, posix, found))
        return error;
    if (!found.exists)
        return found.error == ENOTDIR ? kErrorPathNotFound : winErrorFromErrno(found.error);
    link.isLink = S_ISLNK(found.st.st_mode);
    link.ownedByUser = link.isLink && found.st.st_uid == ::geteuid();
    return kErrorSuccess;
}

WinError getFileInfo(std::string_view windowsPath, FileInfo& info)
{
    info = {};
    if (const WinError fault = injectedFault(windowsPath, kFaultAttributes))
        return fault;
    std::string posix;
    PathEntry found; // a name that the lookup found missing is not looked at again
    if (const WinError error = toPosixPath(windowsPath, posix, found))
        return error;
    if (!found.exists)
        return found.error == ENOTDIR ? kErrorPathNotFound : winErrorFromErrno(found.error);
    return entryInfo(AT_FDCWD, posix.c_str(), isDriveRoot(windowsPath) ? "" : linuxNameOf(windowsPath), info);
}

WinError getAttributes(std::string_view windowsPath, std::uint32_t& attributes)
{
    FileInfo info;
    const WinError error = getFileInfo(windowsPath, info);
    attributes = error == kErrorSuccess ? info.attributes : kInvalidAttributes;
    return error;
}

WinError setAttributes(std::string_view windowsPath, std::uint32_t attributes)
{
    std::string posix;
    if (const WinError error = resolve(windowsPath, kFaultAttributes, posix))
        return error;
    struct stat st = {};
    if (statPath(posix, st) != 0)
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrReadOnly)
        mode &= ~mode_t(S_IWUSR);
    else
        mode |= S_IWUSR;
    if (mode == (st.st_mode & 07777))
        return kErrorSuccess;
    return chmodPath(posix, mode) == 0 ? kErrorSuccess : lastErrnoAsWinError();
}

WinError getFileTimes(std::string_view windowsPath, FileTimes& times)
{
    FileInfo info;
    const WinError error = getFileInfo(windowsPath, info);
    times = info.times;
    return error;
}

WinError setFileTimes(std::string_view windowsPath, const FileTime* /*creation*/, const FileTime* lastAccess,
                      const FileTime* lastWrite)
{
    std::string posix;
    if (const WinError error = resolve(windowsPath, kFaultAttributes, posix))
        return error;
    struct timespec times[2];
    toTimespecs(lastAccess, lastWrite, times);
    if (utimensPath(posix, times) != 0)
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    return kErrorSuccess;
}

WinError getFileId(std::string_view windowsPath, FileId& id)
{
    FileInfo info;
    const WinError error = getFileInfo(windowsPath, info);
    id = info.id;
    return error;
}

bool sameFile(std::string_view windowsPathA, std::string_view windowsPathB)
{
    FileId a, b;
    return getFileId(windowsPathA, a) == kErrorSuccess && getFileId(windowsPathB, b) == kErrorSuccess &&
           a == b;
}

bool pathExists(std::string_view windowsPath)
{
    std::string posix;
    struct stat st = {};
    return toPosixPath(windowsPath, posix) == kErrorSuccess && lstatPath(posix, st) == 0;
}

WinError createFolder(std::string_view windowsPath)
{
    std::string posix;
    if (const WinError error = resolve(windowsPath, kFaultCreateFolder, posix))
        return error;
    if (mkdirPath(posix, 0777) == 0)
        return kErrorSuccess;
    switch (errno) {
    case EEXIST:
        return kErrorAlreadyExists;
    case ENOENT:
    case ENOTDIR:
        return kErrorPathNotFound;
    default:
        return lastErrnoAsWinError();
    }
}

WinError removeFolder(std::string_view windowsPath)
{
    std::string posix;
    if (const WinError error = resolve(windowsPath, kFaultDelete, posix))
        return error;
    if (namesDriveRoot(windowsPath, posix))
        return kErrorAccessDenied;
    EntryStat entry, target;
    bool hasTarget = false;
    if (!statWithTarget(AT_FDCWD, posix.c_str(), entry, target, hasTarget))
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    if (S_ISLNK(entry.mode)) {
        if (hasTarget && !S_ISDIR(target.mode))
            return kErrorDirectory;
        return unlinkPath(posix) == 0 ? kErrorSuccess : lastErrnoAsWinError();
    }
    if (!S_ISDIR(entry.mode))
        return kErrorDirectory;
    if (!(entry.mode & S_IWUSR))
        return kErrorAccessDenied;
    if (rmdirPath(posix) == 0)
        return kErrorSuccess;
    if (errno == ENOTEMPTY || errno == EEXIST)
        return kErrorDirNotEmpty;
    return lastErrnoAsWinError();
}

WinError deleteFile(std::string_view windowsPath)
{
    std::string posix;
    if (const WinError error = resolve(windowsPath, kFaultDelete, posix))
        return error;
    struct stat st = {};
    if (lstatPath(posix, st) != 0)
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    if (!S_ISLNK(st.st_mode)) {
        if (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))
            return kErrorAccessDenied;
        if (!sharingAllows(posix, st, kShareDelete))
            return kErrorSharingViolation;
    }
    return unlinkPath(posix) == 0 ? kErrorSuccess : lastErrnoAsWinError();
}

namespace {

// What stands in the way of replacing the entry at posix by another file in one step: a folder (5), a
// file open without delete sharing here or in another process (32). A missing entry, a symbolic link
// (replaced as a link) or a read-only file is no obstacle. seen receives the entry's status (st_nlink 0
// when there is none).
WinError replaceObstacle(const PathAt& at, struct stat& seen)
{
    seen = {};
    if (!at || ::fstatat(at.folder(), at.name(), &seen, AT_SYMLINK_NOFOLLOW) != 0) {
        seen = {};
        if (errno == ENOENT)
            return kErrorSuccess;
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    }
    if (S_ISDIR(seen.st_mode))
        return kErrorAccessDenied;
    if (S_ISREG(seen.st_mode) && !sharingAllows(at, seen, kShareDelete))
        return kErrorSharingViolation;
    return kErrorSuccess;
}

WinError replaceObstacle(const std::string& posix, struct stat& seen)
{
    return replaceObstacle(PathAt(posix), seen);
}

// Puts from at to: never over an existing entry (-1 with EEXIST), or, with replace, over the entry
// that holds the name, in one step.
int putInPlace(const std::string& from, const std::string& to, bool replace)
{
    return replace ? renamePath(from, to) : renameNoReplace(from, to);
}

// Makes a symbolic link at the POSIX path `to` with the text of the link at `from`; with replace,
// beside it under a temporary name first and then over the entry that holds the name, in one step.
WinError copyLinkText(const std::string& from, const std::string& to, bool replace)
{
    std::vector<char> text(4096);
    for (;;) {
        const ssize_t n = readlinkPath(from, text.data(), text.size());
        if (n < 0)
            return lastErrnoAsWinError();
        if (static_cast<std::size_t>(n) < text.size()) {
            text.resize(static_cast<std::size_t>(n));
            break;
        }
        text.resize(text.size() * 2);
    }
    std::string made = to;
    if (replace) {
        made = folderOf(to);
        if (made.back() != '/')
            made += '/';
        made += temporaryName(baseNameOf(to));
    }
    if (symlinkPath(std::string(text.begin(), text.end()), made) != 0)
        return errno == EEXIST ? kErrorAlreadyExists : lastErrnoAsWinError();
    if (replace) {
        struct stat seen = {};
        WinError error = replaceObstacle(to, seen);
        if (error == kErrorSuccess && renamePath(made, to) != 0)
            error = errno == EISDIR || errno == ENOTEMPTY || errno == EEXIST ? kErrorAccessDenied
                                                                            : lastErrnoAsWinError();
        if (error != kErrorSuccess) {
            unlinkPath(made);
            return error;
        }
    }
    return kErrorSuccess;
}

// Moves a file to another file system: copy beside the target, put it in place (over an existing
// target only with replace), then remove the source. A failed copy removes the copy and leaves the
// source; a source that cannot be removed stays beside its complete copy, and the move fails with the
// system's error.
WinError moveAcrossFileSystems(const std::string& from, const struct stat& st, const std::string& to,
                               std::string_view targetWindowsPath, std::string_view sourceWindowsPath,
                               bool replace)
{
    const std::string folder = folderOf(to);
    std::string temp;
    if (S_ISLNK(st.st_mode)) {
        if (const WinError error = copyLinkText(from, to, replace))
            return error;
    } else {
        if (!S_ISREG(st.st_mode))
            return kErrorAccessDenied;
        const int src = openPath(from, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (src < 0)
            return lastErrnoAsWinError();
        const WinError error = copyToTemp(src, st, folder, baseNameOf(to), targetWindowsPath, temp);
        ::close(src);
        if (error)
            return error;
    }
    if (!temp.empty()) {
        if (putInPlace(temp, to, replace) != 0) {
            const WinError error = errno == EEXIST ? kErrorAlreadyExists : lastErrnoAsWinError();
            unlinkPath(temp);
            return error;
        }
        syncFolder(folder);
    }
    WinError removal = injectedFault(sourceWindowsPath, kFaultDelete);
    if (removal == kErrorSuccess && unlinkPath(from) != 0)
        removal = lastErrnoAsWinError();
    return removal;
}

// True when the folder `ancestor` (stat) is `path` or one of its parent folders on disk. The walk starts
// at the real path of the deepest part of `path` that exists, so links and ".." inside it cannot hide
// the ancestor; every step compares device and inode (bind mounts and other drive letters included).
bool isInside(const std::string& path, const struct stat& ancestor)
{
    std::string current = path;
    struct stat st = {};
    while (statPath(current, st) != 0) {
        if (current == "/" || current.empty() || current == ".")
            return false;
        current = folderOf(current);
    }
    if (char* real = ::realpath(current.c_str(), nullptr)) {
        current = real;
        std::free(real);
    }
    for (;;) {
        if (statPath(current, st) == 0 && st.st_dev == ancestor.st_dev && st.st_ino == ancestor.st_ino)
            return true;
        if (current == "/" || current.empty() || current == ".")
            return false;
        current = folderOf(current);
    }
}

} // namespace

bool isSameOrInside(std::string_view folderWindowsPath, std::string_view windowsPath)
{
    std::string folder, path;
    if (toPosixPath(folderWindowsPath, folder) != kErrorSuccess)
        return false;
    // The deepest part of windowsPath that can be resolved (its last folders may not exist yet).
    std::string rest(windowsPath);
    while (toPosixPath(rest, path) != kErrorSuccess) {
        std::string parent, name;
        splitWindowsPath(rest, parent, name);
        if (name.empty() || parent == rest)
            return false;
        rest = std::move(parent);
    }
    struct stat st = {};
    if (statPath(folder, st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    return isInside(path, st);
}

namespace {

// The one rename of a move: the entry `from` (its status st) takes the name `to`, never over an
// existing entry, or with overwrite over the entry of that name after the checks of checkReplaceable
// (another name of the same file: the source's name just goes). failure receives the rename's errno
// (EXDEV: another file system, nothing done).
WinError renameOnto(const PathAt& from, const struct stat& st, const PathAt& to, bool overwrite, int& failure)
{
    failure = 0;
    if (overwrite) {
        struct stat targetSt = {};
        if (const WinError error = replaceObstacle(to, targetSt))
            return error;
        if (targetSt.st_nlink != 0 && targetSt.st_dev == st.st_dev && targetSt.st_ino == st.st_ino) {
            // Two names of one file (a rename would leave both): the target holds the data already.
            return ::unlinkat(from.folder(), from.name(), 0) == 0 ? kErrorSuccess : lastErrnoAsWinError();
        }
    }
    if (from && to &&
        (overwrite ? ::renameat(from.folder(), from.name(), to.folder(), to.name()) : renameNoReplace(from, to)) == 0)
        return kErrorSuccess;
    failure = errno;
    if (failure == EEXIST || failure == ENOTEMPTY)
        return overwrite ? kErrorAccessDenied : kErrorAlreadyExists;
    if (failure == EISDIR)
        return kErrorAccessDenied;
    if (failure == EXDEV)
        return kErrorNotSameDevice;
    if (failure == ENOENT)
        return kErrorPathNotFound;
    return winErrorFromErrno(failure);
}

// moveFile, and with replace moveFileReplacing. checkedSource: the closed handle of a file that the
// caller wrote and whose sharing it checked through that handle (its paths and identity are known).
WinError moveEntry(std::string_view fromWindowsPath, std::string_view toWindowsPath, bool replace,
                   const FileHandle* checkedSource = nullptr)
{
    if (const WinError fault = injectedFault(toWindowsPath, kFaultRename))
        return fault;
    if (const WinError fault = injectedFault(fromWindowsPath, kFaultRename))
        return fault;
    std::string from, to;
    PathEntry source; // what the lookup found at the source: no second look
    if (checkedSource != nullptr) {
        from = checkedSource->posixPath();
        source.exists = true;
        source.st.st_mode = S_IFREG;
        source.st.st_dev = static_cast<dev_t>(checkedSource->fileId().device);
        source.st.st_ino = static_cast<ino_t>(checkedSource->fileId().inode);
    } else if (const WinError error = toPosixPath(fromWindowsPath, from, source)) {
        return error;
    }
    if (!source.exists)
        return source.error == ENOTDIR ? kErrorPathNotFound : winErrorFromErrno(source.error);
    const struct stat& st = source.st;
    if (namesDriveRoot(fromWindowsPath, from))
        return kErrorAccessDenied;
    if (!sameFolderTarget(fromWindowsPath, toWindowsPath, from, to)) {
        if (const WinError error = toPosixPath(toWindowsPath, to))
            return error;
    } else if (to.empty()) {
        return kErrorInvalidName;
    } else if (baseNameOf(to).size() > NAME_MAX) {
        return kErrorFilenameExcedRange;
    }
    if (namesDriveRoot(toWindowsPath, to))
        return kErrorAlreadyExists;
    if (from == to)
        return kErrorSuccess;
    // A folder never replaces anything.
    const bool overwrite = replace && !S_ISDIR(st.st_mode);
    // An existing target of exactly that spelling is refused by the rename itself unless it is to be
    // replaced (a name that another entry holds in another letter case is free: that entry is another
    // file).
    const std::string toFolder = folderOf(to);
    if (S_ISDIR(st.st_mode) && isInside(toFolder, st))
        return kErrorInvalidParameter;
    if (checkedSource == nullptr && S_ISREG(st.st_mode) && !sharingAllows(from, st, kShareDelete))
        return kErrorSharingViolation;
    int failure = 0;
    const WinError error = renameOnto(PathAt(from), st, PathAt(to), overwrite, failure);
    if (failure == EXDEV && !S_ISDIR(st.st_mode))
        return moveAcrossFileSystems(from, st, to, toWindowsPath, fromWindowsPath, overwrite);
    return error;
}

} // namespace

WinError moveFile(std::string_view fromWindowsPath, std::string_view toWindowsPath)
{
    return moveEntry(fromWindowsPath, toWindowsPath, false);
}

WinError moveFileReplacing(std::string_view fromWindowsPath, std::string_view toWindowsPath)
{
    return moveEntry(fromWindowsPath, toWindowsPath, true);
}

WinError putTemporaryInPlace(const FileHandle& temp, std::string_view toWindowsPath, bool replace)
{
    if (temp.posixPath().empty())
        return kErrorInvalidHandle;
    return moveEntry(temp.path(), toWindowsPath, replace, &temp);
}

WinError checkReplaceable(std::string_view windowsPath)
{
    std::string posix;
    if (const WinError error = resolve(windowsPath, kFaultDelete, posix))
        return error;
    struct stat st = {};
    if (const WinError error = replaceObstacle(posix, st))
        return error;
    // The folder must let its entry be replaced (a folder too deep to be named is left to the rename).
    if (st.st_nlink != 0 && ::faccessat(AT_FDCWD, folderOf(posix).c_str(), W_OK | X_OK, AT_EACCESS) != 0 &&
        errno != ENAMETOOLONG)
        return lastErrnoAsWinError();
    return kErrorSuccess;
}


WinError replaceFile(std::string_view fromWindowsPath, std::string_view toWindowsPath)
{
    if (const WinError fault = injectedFault(toWindowsPath, kFaultRename))
        return fault;
    if (const WinError fault = injectedFault(fromWindowsPath, kFaultRename))
        return fault;
    // The lookups tell what stands at both paths (no second look at either).
    std::string from, to;
    PathEntry source, target;
    if (const WinError error = toPosixPath(fromWindowsPath, from, source))
        return error;
    if (const WinError error = toPosixPath(toWindowsPath, to, target))
        return error;
    const struct stat& st = source.st;
    struct stat targetSt = target.st;
    if (!source.exists)
        return source.error == ENOTDIR ? kErrorPathNotFound : winErrorFromErrno(source.error);
    if (S_ISDIR(st.st_mode))
        return kErrorAccessDenied;
    if (!sharingAllows(from, st, kShareDelete))
        return kErrorSharingViolation;
    bool targetExists = target.exists;
    if (targetExists && S_ISLNK(targetSt.st_mode)) {
        // A symbolic link stays; the file it points to is the one replaced.
        if (char* real = ::realpath(to.c_str(), nullptr)) {
            to = real;
            std::free(real);
        }
        targetExists = lstatPath(to, targetSt) == 0;
    }
    if (targetExists) {
        if (S_ISDIR(targetSt.st_mode))
            return kErrorAccessDenied;
        if (!sharingAllows(to, targetSt, kShareDelete))
            return kErrorSharingViolation;
        if (from != to && targetSt.st_dev == st.st_dev && targetSt.st_ino == st.st_ino) {
            // Two names of one file: rename would leave both; the target already holds the data.
            if (unlinkPath(from) != 0)
                return lastErrnoAsWinError();
            syncFolder(folderOf(from));
            return kErrorSuccess;
        }
    }
    if (renamePath(from, to) != 0)
        return errno == ENOENT ? kErrorPathNotFound : lastErrnoAsWinError();
    syncFolder(folderOf(to));
    return kErrorSuccess;
}

WinError copyFile(std::string_view fromWindowsPath, std::string_view toWindowsPath, bool failIfExists)
{
    std::string from, to;
    if (const WinError error = resolve(fromWindowsPath, kFaultOpen, from))
        return error;
    if (const WinError error = resolve(toWindowsPath, kFaultOpen, to))
        return error;
    FileHandle source;
    if (const WinError error =
            source.open(fromWindowsPath, kAccessRead, kShareRead | kShareWrite, Disposition::kOpenExisting))
        return error;
    struct stat st = {};
    struct stat targetSt = {};
    if (::fstat(source.descriptor(), &st) != 0)
        return lastErrnoAsWinError();
    if (statPath(to, targetSt) == 0) {
        if (targetSt.st_dev == st.st_dev && targetSt.st_ino == st.st_ino)
            return kErrorSharingViolation;
        if (failIfExists)
            return kErrorFileExists;
        if (!S_ISREG(targetSt.st_mode) || !(targetSt.st_mode & S_IWUSR))
            return kErrorAccessDenied;
        if (!sharingAllows(to, targetSt, kShareWrite | kShareDelete))
            return kErrorSharingViolation;
    }
    std::string temp;
    const std::string folder = folderOf(to);
    if (const WinError error =
            copyToTemp(source.descriptor(), st, folder, baseNameOf(to), toWindowsPath, temp))
        return error;
    const int result = failIfExists ? renameNoReplace(temp, to) : renamePath(temp, to);
    if (result != 0) {
        const WinError error = errno == EEXIST ? kErrorFileExists : lastErrnoAsWinError();
        unlinkPath(temp);
        return error;
    }
    syncFolder(folder);
    return kErrorSuccess;
}

WinError copyModeBits(std::string_view fromWindowsPath, std::string_view toWindowsPath)
{
    std::string from, to;
    if (const WinError error = resolve(fromWindowsPath, kFaultAttributes, from))
        return error;
    if (const WinError error = resolve(toWindowsPath, kFaultAttributes, to))
        return error;
    struct stat st = {};
    if (statPath(from, st) != 0)
        return lastErrnoAsWinError();
    if (runsAsRoot() && chownPath(to, st.st_uid, st.st_gid) != 0)
        return lastErrnoAsWinError();
    if (chmodPath(to, st.st_mode & 07777) != 0)
        return lastErrnoAsWinError();
    return kErrorSuccess;
}

WinError copySymbolicLink(std::string_view fromWindowsPath, std::string_view toWindowsPath, bool replace)
{
    if (const WinError fault = injectedFault(toWindowsPath, kFaultOpen))
        return fault;
    std::string from, to;
    if (const WinError error = toPosixPath(fromWindowsPath, from))
        return error;
    if (const WinError error = toPosixPath(toWindowsPath, to))
        return error;
    return copyLinkText(from, to, replace);
}

WinError readWholeFile(std::string_view windowsPath, std::string& bytes)
{
    bytes.clear();
    FileHandle file;
    if (const WinError error =
            file.open(windowsPath, kAccessRead, kShareRead | kShareWrite, Disposition::kOpenExisting))
        return error;
    std::uint64_t size = 0;
    if (const WinError error = file.size(size))
        return error;
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    if (const WinError error = file.read(bytes.data(), bytes.size(), done)) {
        bytes.clear();
        return error;
    }
    bytes.resize(done);
    // A file that grew while it was read.
    char chunk[65536];
    for (;;) {
        if (const WinError error = file.read(chunk, sizeof chunk, done)) {
            bytes.clear();
            return error;
        }
        if (done == 0)
            break;
        bytes.append(chunk, done);
    }
    return kErrorSuccess;
}

namespace {

// The Linux name of a temporary file of createTemporaryIn in the folder (87 for another path).
WinError temporaryNameIn(const HeldFolder& folder, std::string_view tempWindowsPath, std::string& linuxName)
{
    std::string tempFolder, tempName;
    splitWindowsPath(tempWindowsPath, tempFolder, tempName);
    if (tempFolder != folder.path() || entryLinuxName(tempName, linuxName) != kErrorSuccess ||
        !isTemporaryName(linuxName))
        return kErrorInvalidParameter;
    return folder.isOpen() ? kErrorSuccess : kErrorInvalidHandle;
}

} // namespace

WinError createTemporaryBeside(std::string_view windowsPath, FileHandle& handle, std::string& tempWindowsPath,
                               unsigned share)
{
    handle.close();
    tempWindowsPath.clear();
    std::string folderPath, name, posixFolder;
    splitWindowsPath(windowsPath, folderPath, name);
    if (const WinError error = toPosixPath(folderPath, posixFolder))
        return error == kErrorFileNotFound ? kErrorPathNotFound : error;
    const int dirFd = openPath(posixFolder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return errno == ENOENT || errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    std::string tempName;
    const WinError error = handle.createOwnTemporaryIn(dirFd, folderPath, name, share, tempName, posixFolder);
    ::close(dirFd);
    if (error == kErrorSuccess)
        tempWindowsPath = joinWindowsPath(folderPath, tempName);
    return error;
}

WinError createTemporaryIn(const HeldFolder& folder, std::string_view name, FileHandle& handle,
                           std::string& tempWindowsPath, unsigned share)
{
    tempWindowsPath.clear();
    if (!folder.isOpen()) {
        handle.close();
        return kErrorInvalidHandle;
    }
    std::string tempName;
    if (const WinError error = handle.createOwnTemporaryIn(folder.descriptor(), folder.path(), name, share, tempName))
        return error;
    tempWindowsPath = joinWindowsPath(folder.path(), tempName);
    return kErrorSuccess;
}

WinError putTemporaryInPlace(const FileHandle& temp, const HeldFolder& folder, std::string_view name, bool replace)
{
    if (const WinError fault = injectedFault(joinWindowsPath(folder.path(), name), kFaultRename))
        return fault;
    if (const WinError fault = injectedFault(temp.path(), kFaultRename))
        return fault;
    std::string from, to;
    if (const WinError error = temporaryNameIn(folder, temp.path(), from))
        return error;
    if (const WinError error = entryLinuxName(name, to))
        return error;
    // The temporary file is known by its handle: a regular file of that identity.
    struct stat st = {};
    st.st_mode = S_IFREG;
    st.st_dev = static_cast<dev_t>(temp.fileId().device);
    st.st_ino = static_cast<ino_t>(temp.fileId().inode);
    int failure = 0;
    return renameOnto(PathAt(folder.descriptor(), from.c_str()), st, PathAt(folder.descriptor(), to.c_str()),
                      replace, failure);
}

WinError removeTemporary(std::string_view tempWindowsPath)
{
    std::string posix;
    if (const WinError error = toPosixPath(tempWindowsPath, posix))
        return error;
    if (!isTemporaryName(baseNameOf(posix)))
        return kErrorInvalidParameter;
    return unlinkPath(posix) == 0 ? kErrorSuccess : lastErrnoAsWinError();
}

WinError removeTemporary(const HeldFolder& folder, std::string_view tempWindowsPath)
{
    std::string name;
    if (const WinError error = temporaryNameIn(folder, tempWindowsPath, name))
        return error;
    return ::unlinkat(folder.descriptor(), name.c_str(), 0) == 0 ? kErrorSuccess : lastErrnoAsWinError();
}

std::string temporaryPathOf(std::string_view windowsPath, std::uint32_t number)
{
    std::string folder, name, linuxName;
    splitWindowsPath(windowsPath, folder, name);
    if (!decodeName(name, linuxName))
        linuxName = name;
    return joinWindowsPath(folder, encodeName(temporaryName(linuxName, number)));
}

std::uint32_t temporaryNumberOf(std::string_view tempWindowsPath)
{
    if (tempWindowsPath.size() < 8)
        return 0;
    return static_cast<std::uint32_t>(std::strtoul(std::string(tempWindowsPath.substr(tempWindowsPath.size() - 8)).c_str(), nullptr, 16));
}

bool isTemporaryName(std::string_view linuxName)
{
    constexpr std::size_t kSuffix = 12; // ".wux" + 8 hex digits
    if (linuxName.size() < 2 + kSuffix || linuxName.front() != '.')
        return false;
    const std::string_view suffix = linuxName.substr(linuxName.size() - kSuffix);
    if (!suffix.starts_with(".wux"))
        return false;
    return std::all_of(suffix.begin() + 4, suffix.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

namespace {

// Device and inode of every file on which some open file description holds a lock, as the system's
// lock table shows them ("N: KIND MODE TYPE PID MAJOR:MINOR:INODE START END", numbers of the device in
// hexadecimal).
std::vector<FileId> lockedFiles()
{
    std::vector<FileId> out;
    std::FILE* table = std::fopen("/proc/locks", "re");
    if (table == nullptr)
        return out;
    char line[512];
    while (std::fgets(line, sizeof line, table) != nullptr) {
        char* save = nullptr;
        for (char* field = ::strtok_r(line, " \t\n", &save); field != nullptr;
             field = ::strtok_r(nullptr, " \t\n", &save)) {
            unsigned major = 0, minor = 0;
            unsigned long long inode = 0;
            int used = 0;
            if (std::sscanf(field, "%x:%x:%llu%n", &major, &minor, &inode, &used) == 3 &&
                field[used] == '\0') {
                out.push_back({static_cast<std::uint64_t>(makedev(major, minor)), inode});
                break;
            }
        }
    }
    std::fclose(table);
    return out;
}

} // namespace

namespace {

// Removes the leftovers of the folder dirFd (not closed here).
std::size_t removeLeftoversIn(int dirFd, const FileHandle& living)
{
    const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return 0;
    DIR* dir = ::fdopendir(listFd);
    if (dir == nullptr) {
        ::close(listFd);
        return 0;
    }
    // Ours, of this user, not touched for a while, and no longer written by anyone.
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const FileTime settled = fileTimeFromUnix(now.tv_sec, now.tv_nsec) - static_cast<FileTime>(leftoverGrace());
    std::vector<std::pair<std::string, FileId>> candidates;
    const uid_t user = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        if ((entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN) || !isTemporaryName(entry->d_name))
            continue;
        EntryStat st;
        if (statAt(listFd, entry->d_name, false, st) && isOwnTemporary(entry->d_name, st) && st.owner == user &&
            fileTimeFromUnix(st.changeSeconds, st.changeNanoseconds) <= settled)
            candidates.push_back({entry->d_name, FileId{st.device, st.inode}});
    }
    std::size_t removed = 0;
    // Each candidate is held by a path handle before the lock table is read, so that its inode cannot be
    // freed and given to a new temporary file, whose name (made from the inode) would then be the same:
    // while it is held, its name stands for this file or for none.
    std::vector<std::pair<std::string, FileId>> held;
    std::vector<int> pins;
    for (const auto& [name, id] : candidates) {
        const int pin = ::openat(listFd, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
        if (pin < 0)
            continue;
        struct stat st = {};
        if (::fstat(pin, &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == id.device &&
            static_cast<std::uint64_t>(st.st_ino) == id.inode) {
            held.push_back({name, id});
            pins.push_back(pin);
        } else {
            ::close(pin);
        }
    }
    if (!held.empty()) {
        // A writer holds its locks until its file is complete; only a file system whose lock table
        // shows the locks of the living temporary file can tell a dead writer's file.
        const std::vector<FileId> locked = lockedFiles();
        const auto isLocked = [&](const FileId& id) { return std::find(locked.begin(), locked.end(), id) != locked.end(); };
        if (living.isOpen() && isLocked(living.fileId())) {
            for (const auto& [name, id] : held) {
                // Still the file that was looked at (a name taken over meanwhile is left alone).
                EntryStat now;
                if (!isLocked(id) && statAt(listFd, name.c_str(), false, now) && now.device == id.device &&
                    now.inode == id.inode && ::unlinkat(listFd, name.c_str(), 0) == 0)
                    ++removed;
            }
        }
    }
    for (const int pin : pins)
        ::close(pin);
    ::closedir(dir);
    return removed;
}

} // namespace

std::size_t removeLeftoverTemporaries(std::string_view folderWindowsPath, const FileHandle& living)
{
    std::string folder;
    if (toPosixPath(folderWindowsPath, folder) != kErrorSuccess)
        return 0;
    const int dirFd = openPath(folder, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return 0;
    const std::size_t removed = removeLeftoversIn(dirFd, living);
    ::close(dirFd);
    return removed;
}

std::size_t removeLeftoverTemporaries(const HeldFolder& folder, const FileHandle& living)
{
    return folder.isOpen() ? removeLeftoversIn(folder.descriptor(), living) : 0;
}

WinError atomicRewrite(std::string_view windowsPath, std::string_view bytes)
{
    std::string posix;
    if (const WinError error = resolve(windowsPath, kFaultOpen, posix))
        return error;
    if (namesDriveRoot(windowsPath, posix))
        return kErrorAccessDenied;
    struct stat st = {};
    bool exists = false;
    if (lstatPath(posix, st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            // Another user's link (made in a shared folder) never leads a write to its target.
            if (st.st_uid != ::geteuid())
                return kErrorAccessDenied;
            char* real = ::realpath(posix.c_str(), nullptr);
            if (real != nullptr) {
                posix = real;
                std::free(real);
            }
        }
        if (statPath(posix, st) == 0) {
            exists = true;
            if (!S_ISREG(st.st_mode) || !(st.st_mode & S_IWUSR))
                return kErrorAccessDenied;
            if (!sharingAllows(posix, st, kShareWrite))
                return kErrorSharingViolation;
        }
    } else if (errno != ENOENT) {
        return errno == ENOTDIR ? kErrorPathNotFound : lastErrnoAsWinError();
    }

    const std::string folder = folderOf(posix);
    int fd = -1;
    std::string temp;
    if (const WinError error = createTempBeside(folder, baseNameOf(posix), exists ? 0 : 0666, fd, temp))
        return error;
    WinError error = injectedFault(windowsPath, kFaultWrite);
    if (error == kErrorSuccess && exists && runsAsRoot() && ::fchown(fd, st.st_uid, st.st_gid) != 0)
        error = lastErrnoAsWinError();
    if (error == kErrorSuccess && exists && ::fchmod(fd, st.st_mode & 07777) != 0)
        error = lastErrnoAsWinError();
    if (error == kErrorSuccess)
        error = writeAll(fd, bytes.data(), bytes.size());
    if (error == kErrorSuccess && ::fsync(fd) != 0)
        error = lastErrnoAsWinError();
    if (::close(fd) != 0 && error == kErrorSuccess)
        error = lastErrnoAsWinError();
    if (error == kErrorSuccess)
        error = injectedFault(windowsPath, kFaultRename);
    if (error == kErrorSuccess && renamePath(temp, posix) != 0)
        error = lastErrnoAsWinError();
    if (error != kErrorSuccess) {
        unlinkPath(temp);
        return error;
    }
    syncFolder(folder);
    return kErrorSuccess;
}

} // namespace wux::platform
