// Helpers shared by the file layer's sources (not for other layers).
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace wux::platform::internal {

// The injected fault of the operation on the path, else the POSIX path of windowsPath.
WinError resolve(std::string_view windowsPath, unsigned faultOperation, std::string& posix);

// What statx tells about one entry.
struct EntryStat
{
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    std::uint64_t linkCount = 0;
    std::uint64_t size = 0;
    std::uint64_t device = 0; // as st_dev
    std::uint64_t inode = 0;
    FileTime lastAccess = 0;
    FileTime lastWrite = 0;
    FileTime birth = 0; // 0 when the file system has none
    // The last change of the file's content or status, to the nanosecond.
    std::int64_t changeSeconds = 0;
    std::int64_t changeNanoseconds = 0;
};
// One statx call on path relative to dirFd (AT_FDCWD, or an open folder; an empty path: the open file
// dirFd itself); follow: a link's target. False with errno on failure.
bool statAt(int dirFd, const char* path, bool follow, EntryStat& out);
// The entry itself and, for a link whose target exists, the target (hasTarget). False with errno.
bool statWithTarget(int dirFd, const char* path, EntryStat& entry, EntryStat& target, bool& hasTarget);
// Attributes of an entry: entry is the entry itself, target its link target when it is a link and the
// target exists (else null); name is its Linux name (hidden when it begins with ".").
std::uint32_t attributesOf(const EntryStat& entry, const EntryStat* target, std::string_view name);
// The three times (creation: birth time, else last write).
FileTimes timesOf(const EntryStat& data);
// The access and write times for utimensat/futimens; a null time is left as it is (UTIME_OMIT).
void toTimespecs(const FileTime* lastAccess, const FileTime* lastWrite, struct timespec (&times)[2]);
// The last component of a POSIX path.
std::string_view baseNameOf(std::string_view posixPath);
// The folder of a POSIX path ("/" for "/x").
std::string folderOf(std::string_view posixPath);

// ---- Paths of any length ----

// A POSIX path as a folder handle and a name for the *at calls. A path within the system's limit
// (PATH_MAX) is used as it is (AT_FDCWD); the folder of a longer one is opened in pieces that fit the
// limit, so that the depth of a tree is limited only by the file system. False (errno set) when a
// folder on the way cannot be opened.
class PathAt
{
public:
    explicit PathAt(const std::string& posixPath);
    // An entry of a folder held open by the caller (not closed here).
    PathAt(int folder, const char* name) noexcept : folder_(folder), name_(name) {}
    ~PathAt();
    PathAt(const PathAt&) = delete;
    PathAt& operator=(const PathAt&) = delete;
    explicit operator bool() const noexcept { return folder_ != -1; }
    int folder() const noexcept { return folder_; }
    const char* name() const noexcept { return name_; }

private:
    int folder_ = AT_FDCWD;
    bool owned_ = false;
    const char* name_ = "";
};

// The calls on a path, for paths of any length (as the plain calls: -1 or null with errno).
int lstatPath(const std::string& path, struct stat& st);
int statPath(const std::string& path, struct stat& st);
int openPath(const std::string& path, int flags, mode_t mode = 0);
int unlinkPath(const std::string& path);
int rmdirPath(const std::string& path);
int mkdirPath(const std::string& path, mode_t mode);
int chmodPath(const std::string& path, mode_t mode);
int chownPath(const std::string& path, uid_t owner, gid_t group);
int utimensPath(const std::string& path, const struct timespec (&times)[2]);
ssize_t readlinkPath(const std::string& path, char* buffer, std::size_t size);
int symlinkPath(const std::string& text, const std::string& path);
// renameat2 with its flags (0: a plain rename).
int renamePath(const std::string& from, const std::string& to, unsigned flags = 0);
int linkPath(const std::string& from, const std::string& to);
DIR* opendirPath(const std::string& path);

// True when the program runs as root (asked of the system once).
bool runsAsRoot();

// The Linux name of the entry `name` of a folder held open, for the *at calls: 6 when the folder is not
// open, 123 for a name that cannot be an entry's.
WinError nameInHeldFolder(const HeldFolder& folder, std::string_view name, std::string& linuxName);

// ---- Share table and lock bytes ----

// Registers an open handle; 0 (and nothing registered) when it conflicts with a handle of this process.
std::uint64_t registerOpen(std::uint64_t device, std::uint64_t inode, unsigned access, unsigned share);
// Forgets a registered handle.
void unregisterOpen(std::uint64_t id);
// True when another open file description (here or in another process) holds a lock that conflicts
// with an open of (access, share) on the file of fd.
bool lockConflict(int fd, unsigned access, unsigned share);
// Takes the lock bytes of (access, share) on fd; false when another description holds a conflicting one.
bool takeLocks(int fd, unsigned access, unsigned share);
// True when every handle on the file but the one registered as exceptId (0: none) allows the wanted
// access to a newcomer, in this process (the share table) and, per the lock bytes, in others (fd: an
// open description of the file).
bool othersAllow(int fd, std::uint64_t device, std::uint64_t inode, std::uint64_t exceptId, unsigned wantedShare);
// True when every handle on the file (here, and per the lock bytes in other processes) allows the
// wanted access (kShareDelete for delete or rename, kShareWrite for writing) to a newcomer.
bool sharingAllows(const std::string& posixPath, const struct stat& st, unsigned wantedShare);
bool sharingAllows(const PathAt& at, const struct stat& st, unsigned wantedShare);

// ---- Renames and copies ----

// rename without replacing (renameat2 RENAME_NOREPLACE, else link + unlink for files); -1 with errno.
int renameNoReplace(const std::string& from, const std::string& to);
int renameNoReplace(const PathAt& from, const PathAt& to);
// Copies the open regular file src (stat srcSt) to a new temporary file in targetFolder, with its data,
// times, mode bits and owner (when root), flushed; tempPath receives its name. On failure nothing is left.
// faultPath: the Windows path checked for injected write faults.
WinError copyToTemp(int src, const struct stat& srcSt, const std::string& targetFolder,
                    std::string_view targetName, std::string_view faultPath, std::string& tempPath);
// A hidden temporary name for a file that is to appear under name: "." + name (at most its first 200
// bytes, cut before a character) + ".wux" + the 8 lower-case hex digits of number.
std::string temporaryName(std::string_view name, std::uint32_t number);
// The same with a random number (for a symbolic link made beside its target name).
std::string temporaryName(std::string_view name);
// The number in the name of the program's own temporary file of that inode: a leftover is told from a
// user's file of the same form by it.
std::uint32_t temporaryMark(std::uint64_t inode);
// True for a temporary file of ours, while it is written or left by a killed run: a regular file with a
// temporary name whose number is the mark of its inode, and no other name.
bool isOwnTemporary(std::string_view name, const EntryStat& entry);
// Creates the program's own temporary file for a file that is to appear as targetName (a Linux name)
// in the folder dirFd: read and write, with the permission bits mode (less the process's mask), named
// by temporaryName with the mark of its inode. lock(fd) takes its writer's locks before its name is
// seen in the folder wherever the file system makes files without a name (elsewhere at once after);
// false from it fails with 32. fd and tempName (its Linux name) receive it; on failure nothing is left.
// Errors: the system's (80 never), 206, injected faults (kFaultOpen on folderWindowsPath joined with
// the temporary name; none when folderWindowsPath is empty).
WinError createOwnTemporary(int dirFd, std::string_view folderWindowsPath, std::string_view targetName,
                            mode_t mode, const std::function<bool(int)>& lock, int& fd, std::string& tempName);
// createOwnTemporary in a folder given by its POSIX path, with the locks of a handle that writes;
// tempPath receives its POSIX path.
WinError createTempBeside(const std::string& targetFolder, std::string_view targetName, mode_t mode, int& fd,
                          std::string& tempPath);
// How long (in FILETIME units of 100 ns) a temporary file must have been left unchanged before the
// clean-up of leftovers may take it: 5 seconds (a test may change it).
std::int64_t leftoverGrace();
void setLeftoverGrace(std::int64_t fileTimeUnits);
// fsync of a folder.
void syncFolder(const std::string& folder);
// Writes all bytes to fd; 0 or the error.
WinError writeAll(int fd, const char* data, std::size_t size);

// ---- Trash ----

// True when a path given back by the Trash is absolute and lies in a Trash's "files" folder
// (".../Trash/files/", ".../.Trash-<uid>/files/", ".../.Trash/<uid>/files/").
bool isTrashLocation(std::string_view path);

} // namespace wux::platform::internal
